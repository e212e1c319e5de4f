// The single-file download's layout: the stub program, then the unzip engine
// and the setup folder's zip archive, then a fixed trailer at the very end
// that says where both lie and what their bytes' CRC is.
#pragma once
#include <cstdint>
#include <string>

#include "zip/Crc32.h"

namespace sfx {

// The trailer's fields, all little-endian.
constexpr unsigned kTrailerSize = 32;
constexpr unsigned kTrEngineOffset = 0;
constexpr unsigned kTrEngineSize = 4;
constexpr unsigned kTrArchiveOffset = 8;
constexpr unsigned kTrArchiveSize = 12;
constexpr unsigned kTrPayloadCrc = 16;  // over the engine and the archive
constexpr unsigned kTrFieldsCrc = 20;   // over the 20 bytes before it
constexpr unsigned kTrSignature = 24;   // 8 bytes
constexpr char kSignature[8] = {'Q', 'V', 'S', 'F', 'X', '\r', '\n', '\x1A'};

struct Payload {
  std::uint32_t engineOffset = 0, engineSize = 0;
  std::uint32_t archiveOffset = 0, archiveSize = 0;
  std::uint32_t crc = 0;  // CRC-32 of the bytes from engineOffset to the archive's end
};

enum class TrailerStatus {
  Ok,
  NoTrailer,    // no signature at the end: not a download, or one cut short
  BadFields,    // the trailer's own CRC does not match
  OutOfBounds,  // the parts it names do not tile the file up to the trailer
};
const char* TrailerStatusName(TrailerStatus status);

// Reads the trailer from the last kTrailerSize bytes of a file of fileSize
// bytes; tail holds those bytes (fewer when the file is shorter).
TrailerStatus ReadTrailer(std::uint64_t fileSize, const std::string& tail, Payload& payload);

// The trailer for a payload: engine and archive, back to back, right after
// a stub of stubSize bytes. crc is the CRC-32 of engine and archive together.
std::string MakeTrailer(std::uint32_t stubSize, std::uint32_t engineSize, std::uint32_t archiveSize,
                        std::uint32_t crc);

// The CRC-32 the trailer holds: the zip one.
using zip::Crc32;

}  // namespace sfx
