// Reading and writing the single-file download's trailer.
#include "sfx/SfxTrailer.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "zip/ZipRecords.h"

namespace sfx {

using zip::rec::Le16;
using zip::rec::Le32;
using zip::rec::Put32;

const char* TrailerStatusName(TrailerStatus status) {
  switch (status) {
    case TrailerStatus::Ok:
      return "ok";
    case TrailerStatus::NoTrailer:
      return "no trailer";
    case TrailerStatus::BadFields:
      return "trailer damaged";
    case TrailerStatus::OutOfBounds:
      return "trailer does not fit the file";
  }
  return "unknown";
}

TrailerStatus ReadTrailer(std::uint64_t dataEnd, const std::string& tail, Payload& payload) {
  if (dataEnd < kTrailerSize || tail.size() != kTrailerSize ||
      std::memcmp(tail.data() + kTrSignature, kSignature, sizeof kSignature) != 0)
    return TrailerStatus::NoTrailer;
  const auto* t = reinterpret_cast<const std::uint8_t*>(tail.data());
  if (Crc32(0, t, kTrFieldsCrc) != Le32(t + kTrFieldsCrc)) return TrailerStatus::BadFields;
  Payload p;
  p.engineOffset = Le32(t + kTrEngineOffset);
  p.engineSize = Le32(t + kTrEngineSize);
  p.archiveOffset = Le32(t + kTrArchiveOffset);
  p.archiveSize = Le32(t + kTrArchiveSize);
  p.crc = Le32(t + kTrPayloadCrc);
  // The stub comes first, then the engine, the archive and the trailer, with
  // nothing between them; sums in 64 bits so no field can wrap around.
  const std::uint64_t engineEnd = std::uint64_t{p.engineOffset} + p.engineSize;
  const std::uint64_t archiveEnd = std::uint64_t{p.archiveOffset} + p.archiveSize;
  if (p.engineOffset == 0 || p.engineSize == 0 || p.archiveSize == 0 || engineEnd != p.archiveOffset ||
      archiveEnd + kTrailerSize != dataEnd)
    return TrailerStatus::OutOfBounds;
  payload = p;
  return TrailerStatus::Ok;
}

namespace {

// The program's headers: where the security directory's two fields lie.
constexpr std::uint64_t kNewHeaderOffset = 0x3C;  // in the MS-DOS header
constexpr unsigned kCoffOptionalSize = 4 + 16;    // after "PE\0\0"
constexpr unsigned kOptional = 4 + 20;
constexpr std::uint16_t kPe32Magic = 0x10B;
constexpr unsigned kOptDirectoryCount = 92;
constexpr unsigned kOptSecurityDirectory = 96 + 4 * 8;  // data directory 4: file offset and size
constexpr unsigned kSecurityEntry = 4;
constexpr unsigned kCertificateAlignment = 8;
constexpr std::size_t kCheckBlock = 64 * 1024;

bool ReadExactly(const ReadAt& read, std::uint64_t offset, void* buffer, std::size_t length) {
  return read(offset, buffer, length) == length;
}

}  // namespace

std::optional<std::uint64_t> OwnDataEnd(std::uint64_t fileSize, const ReadAt& read) {
  std::uint8_t dos[kNewHeaderOffset + 4];
  if (fileSize < sizeof dos || !ReadExactly(read, 0, dos, sizeof dos) || dos[0] != 'M' || dos[1] != 'Z')
    return std::nullopt;
  const std::uint64_t pe = Le32(dos + kNewHeaderOffset);
  std::uint8_t h[kOptional + kOptSecurityDirectory + 8];
  if (pe > fileSize || sizeof h > fileSize - pe || !ReadExactly(read, pe, h, sizeof h) ||
      std::memcmp(h, "PE\0\0", 4) != 0 || Le16(h + kOptional) != kPe32Magic ||
      Le16(h + kCoffOptionalSize) < kOptSecurityDirectory + 8 ||
      Le32(h + kOptional + kOptDirectoryCount) <= kSecurityEntry)
    return std::nullopt;
  const std::uint64_t table = Le32(h + kOptional + kOptSecurityDirectory);
  const std::uint64_t tableSize = Le32(h + kOptional + kOptSecurityDirectory + 4);
  if (table == 0 && tableSize == 0) return fileSize;
  if (tableSize == 0 || table + tableSize != fileSize || table % kCertificateAlignment != 0)
    return std::nullopt;
  // The trailer ends in a byte that is not zero: zeros before the table are its alignment.
  std::uint8_t before[kCertificateAlignment - 1];
  const std::uint64_t span = table < sizeof before ? table : sizeof before;
  if (!ReadExactly(read, table - span, before, static_cast<std::size_t>(span))) return std::nullopt;
  std::uint64_t end = table;
  while (end > table - span && before[end - 1 - (table - span)] == 0) --end;
  return end;
}

SelfCheck CheckDownload(std::uint64_t fileSize, const ReadAt& read) {
  SelfCheck check;
  const std::optional<std::uint64_t> end = OwnDataEnd(fileSize, read);
  if (!end || *end < kTrailerSize) return check;
  std::string tail(kTrailerSize, '\0');
  if (!ReadExactly(read, *end - kTrailerSize, tail.data(), kTrailerSize)) return check;
  check.status = ReadTrailer(*end, tail, check.payload);
  if (check.status != TrailerStatus::Ok) return check;
  std::uint32_t crc = 0;
  std::vector<char> block(kCheckBlock);
  for (std::uint64_t done = 0; done < check.payload.Length();) {
    const auto n =
        static_cast<std::size_t>(std::min<std::uint64_t>(kCheckBlock, check.payload.Length() - done));
    if (!ReadExactly(read, check.payload.engineOffset + done, block.data(), n)) return check;
    crc = Crc32(crc, block.data(), n);
    done += n;
  }
  check.crcMatches = crc == check.payload.crc;
  return check;
}

std::string MakeTrailer(std::uint32_t stubSize, std::uint32_t engineSize, std::uint32_t archiveSize,
                        std::uint32_t crc) {
  std::uint8_t t[kTrailerSize] = {};
  Put32(t + kTrEngineOffset, stubSize);
  Put32(t + kTrEngineSize, engineSize);
  Put32(t + kTrArchiveOffset, stubSize + engineSize);
  Put32(t + kTrArchiveSize, archiveSize);
  Put32(t + kTrPayloadCrc, crc);
  Put32(t + kTrFieldsCrc, Crc32(0, t, kTrFieldsCrc));
  std::memcpy(t + kTrSignature, kSignature, sizeof kSignature);
  return std::string(reinterpret_cast<const char*>(t), kTrailerSize);
}

}  // namespace sfx
