// Zip record layouts as named offsets, and little-endian readers that never look past a buffer.
#pragma once

#include <cstddef>
#include <cstdint>

namespace unz::zipfmt {

constexpr std::uint32_t kEndSignature = 0x06054B50;
constexpr std::size_t kEndSize = 22;
constexpr std::size_t kEndDiskOfs = 4;
constexpr std::size_t kEndCdDiskOfs = 6;
constexpr std::size_t kEndEntriesOnDiskOfs = 8;
constexpr std::size_t kEndEntriesOfs = 10;
constexpr std::size_t kEndCdSizeOfs = 12;
constexpr std::size_t kEndCdOffsetOfs = 16;
constexpr std::size_t kEndCommentLengthOfs = 20;
constexpr std::size_t kMaxEndSearch = kEndSize + 0xFFFF;

constexpr std::uint32_t kZip64LocatorSignature = 0x07064B50;
constexpr std::size_t kZip64LocatorSize = 20;
constexpr std::size_t kZip64LocEndOffsetOfs = 8;
constexpr std::uint32_t kZip64EndSignature = 0x06064B50;
constexpr std::size_t kZip64EndSize = 56;
constexpr std::size_t kZip64EndDiskOfs = 16;
constexpr std::size_t kZip64EndCdDiskOfs = 20;
constexpr std::size_t kZip64EndEntriesOnDiskOfs = 24;
constexpr std::size_t kZip64EndEntriesOfs = 32;
constexpr std::size_t kZip64EndCdSizeOfs = 40;
constexpr std::size_t kZip64EndCdOffsetOfs = 48;

constexpr std::uint32_t kCentralSignature = 0x02014B50;
constexpr std::size_t kCentralSize = 46;
constexpr std::size_t kCenMadeByOfs = 4;
constexpr std::size_t kCenFlagsOfs = 8;
constexpr std::size_t kCenMethodOfs = 10;
constexpr std::size_t kCenTimeOfs = 12;
constexpr std::size_t kCenCrcOfs = 16;
constexpr std::size_t kCenCompSizeOfs = 20;
constexpr std::size_t kCenSizeOfs = 24;
constexpr std::size_t kCenNameLengthOfs = 28;
constexpr std::size_t kCenExtraLengthOfs = 30;
constexpr std::size_t kCenCommentLengthOfs = 32;
constexpr std::size_t kCenDiskOfs = 34;
constexpr std::size_t kCenExternalAttrOfs = 38;
constexpr std::size_t kCenLocalOffsetOfs = 42;

constexpr std::uint32_t kLocalSignature = 0x04034B50;
constexpr std::size_t kLocalSize = 30;
constexpr std::size_t kLocNameLengthOfs = 26;
constexpr std::size_t kLocExtraLengthOfs = 28;

constexpr std::uint16_t kFlagEncrypted = 0x0001;
constexpr std::uint16_t kFlagUtf8 = 0x0800;
constexpr std::uint16_t kMethodStored = 0;
constexpr std::uint16_t kMethodDeflated = 8;
constexpr std::uint32_t kZip64Marker = 0xFFFFFFFF;

constexpr std::uint8_t kHostFat = 0;
constexpr std::uint8_t kHostUnix = 3;
constexpr std::uint8_t kDosAttrFolder = 0x10;

inline std::uint16_t Le16(const unsigned char* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
inline std::uint32_t Le32(const unsigned char* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

inline std::uint64_t Le64(const unsigned char* p) {
  return static_cast<std::uint64_t>(Le32(p)) | (static_cast<std::uint64_t>(Le32(p + 4)) << 32);
}

}  // namespace unz::zipfmt
