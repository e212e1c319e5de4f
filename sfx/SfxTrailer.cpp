// Reading and writing the single-file download's trailer.
#include "sfx/SfxTrailer.h"

#include <cstring>

#include "zip/ZipRecords.h"

namespace sfx {

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

TrailerStatus ReadTrailer(std::uint64_t fileSize, const std::string& tail, Payload& payload) {
  if (fileSize < kTrailerSize || tail.size() != kTrailerSize ||
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
      archiveEnd + kTrailerSize != fileSize)
    return TrailerStatus::OutOfBounds;
  payload = p;
  return TrailerStatus::Ok;
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
