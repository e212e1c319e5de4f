// Zip record signatures, field offsets and little-endian access: the record
// definitions the archive component and the unzip engine share.
#pragma once
#include <cstdint>

namespace zip::rec {

constexpr std::uint32_t kSpanSignature = 0x08074B50;
constexpr std::uint32_t kLocalSignature = 0x04034B50;
constexpr std::uint32_t kCentralSignature = 0x02014B50;
constexpr std::uint32_t kEndSignature = 0x06054B50;

// End of central directory record: 22 bytes and a comment.
constexpr unsigned kEndSize = 22;
constexpr unsigned kEndThisDisk = 4;
constexpr unsigned kEndCentralDisk = 6;
constexpr unsigned kEndEntriesHere = 8;
constexpr unsigned kEndTotalEntries = 10;
constexpr unsigned kEndCentralSize = 12;
constexpr unsigned kEndCentralOffset = 16;
constexpr unsigned kEndCommentLength = 20;
constexpr unsigned kEndSearchSpan = 65557;  // 22 bytes and the longest comment

// The 64-bit end record and its locator, read where their values still fit 32 bits.
constexpr std::uint32_t kZip64LocatorSignature = 0x07064B50;
constexpr unsigned kZip64LocatorSize = 20;
constexpr unsigned kZip64LocEndOffset = 8;
constexpr std::uint32_t kZip64EndSignature = 0x06064B50;
constexpr unsigned kZip64EndSize = 56;
constexpr unsigned kZip64EndThisDisk = 16;
constexpr unsigned kZip64EndCentralDisk = 20;
constexpr unsigned kZip64EndEntriesHere = 24;
constexpr unsigned kZip64EndTotalEntries = 32;
constexpr unsigned kZip64EndCentralSize = 40;
constexpr unsigned kZip64EndCentralOffset = 48;
constexpr std::uint32_t kZip64Marker = 0xFFFFFFFF;

// Central directory header: 46 bytes, then name, extra field, comment.
constexpr unsigned kCentralSize = 46;
constexpr unsigned kCenMadeBy = 4;
constexpr unsigned kCenHost = 5;
constexpr unsigned kCenNeeded = 6;
constexpr unsigned kCenFlags = 8;
constexpr unsigned kCenMethod = 10;
constexpr unsigned kCenDosTime = 12;
constexpr unsigned kCenCrc = 16;
constexpr unsigned kCenCompressed = 20;
constexpr unsigned kCenUncompressed = 24;
constexpr unsigned kCenNameLength = 28;
constexpr unsigned kCenExtraLength = 30;
constexpr unsigned kCenCommentLength = 32;
constexpr unsigned kCenStartDisk = 34;
constexpr unsigned kCenInternal = 36;
constexpr unsigned kCenExternal = 38;
constexpr unsigned kCenLocalOffset = 42;

// Local header: 30 bytes, then name and extra field.
constexpr unsigned kLocalSize = 30;
constexpr unsigned kLocFlags = 6;
constexpr unsigned kLocCompressed = 18;
constexpr unsigned kLocNameLength = 26;
constexpr unsigned kLocExtraLength = 28;
constexpr unsigned kDescriptorSize = 16;
constexpr std::uint16_t kFlagEncrypted = 0x0001;
constexpr std::uint16_t kFlagLzmaEndMarker = 0x0002;  // an LZMA entry's data ends with the end marker
constexpr std::uint16_t kFlagDescriptor = 0x0008;
constexpr std::uint16_t kFlagUtf8 = 0x0800;
constexpr std::uint16_t kMethodStored = 0;
constexpr std::uint16_t kMethodDeflated = 8;
// LZMA: a 4-byte header (encoder version, size of the properties), the 5 bytes of properties
// (literal and position bits, dictionary size), then the raw LZMA stream.
constexpr std::uint16_t kMethodLzma = 14;
constexpr unsigned kLzmaHeaderSize = 4;
constexpr unsigned kLzmaPropsSize = 5;

// Made-by hosts, and the folder bit of DOS attributes.
constexpr std::uint8_t kHostFat = 0;
constexpr std::uint8_t kHostUnix = 3;
constexpr std::uint8_t kDosAttrFolder = 0x10;

inline std::uint16_t Le16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
inline std::uint32_t Le32(const std::uint8_t* p) {
  return std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) |
         (std::uint32_t{p[3]} << 24);
}
inline std::uint64_t Le64(const std::uint8_t* p) {
  return std::uint64_t{Le32(p)} | (std::uint64_t{Le32(p + 4)} << 32);
}
inline void Put16(std::uint8_t* p, std::uint16_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}
inline void Put32(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

}  // namespace zip::rec
