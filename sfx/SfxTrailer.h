// The single-file download's layout: the stub program, then the unzip engine
// and the setup folder's zip archive, then a fixed trailer at the very end
// that says where both lie and what their bytes' CRC is.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
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
  // Engine and archive together, counted in 64 bits so that no sum of two fields can wrap.
  std::uint64_t Length() const { return std::uint64_t{engineSize} + archiveSize; }
};

enum class TrailerStatus {
  Ok,
  NoTrailer,    // no signature at the end: not a download, or one cut short
  BadFields,    // the trailer's own CRC does not match
  OutOfBounds,  // the parts it names do not tile the file up to the trailer
};
const char* TrailerStatusName(TrailerStatus status);

// Reads the trailer from the last kTrailerSize bytes of a download whose own
// bytes end at dataEnd (see OwnDataEnd); tail holds those bytes.
TrailerStatus ReadTrailer(std::uint64_t dataEnd, const std::string& tail, Payload& payload);

// Reads up to length bytes at offset of the download; the count read.
using ReadAt = std::function<std::size_t(std::uint64_t offset, void* buffer, std::size_t length)>;

// Where the download's own bytes end. Signing appends a certificate table to
// the program and names it in the program's security directory; the table is
// aligned to 8 bytes by up to seven zero bytes before it. So the download
// ends at the file's end when the directory is empty, or where the table's
// alignment begins when the table reaches exactly to the file's end. Nothing
// when the file is no 32-bit program, or when its directory names anything
// else: bytes appended after signing, or a table inside the file.
std::optional<std::uint64_t> OwnDataEnd(std::uint64_t fileSize, const ReadAt& read);

// Why a download cannot be used: the trailer's verdict, or TrailerStatus::Ok
// with crcMatches false for bytes that changed.
struct SelfCheck {
  TrailerStatus status = TrailerStatus::NoTrailer;
  bool crcMatches = false;
  Payload payload;
  bool Sound() const { return status == TrailerStatus::Ok && crcMatches; }
};
// The whole check of a download of fileSize bytes: where its own bytes end,
// its trailer there, and the CRC of the engine and the archive, read in blocks.
SelfCheck CheckDownload(std::uint64_t fileSize, const ReadAt& read);

// The trailer for a payload: engine and archive, back to back, right after
// a stub of stubSize bytes. crc is the CRC-32 of engine and archive together.
std::string MakeTrailer(std::uint32_t stubSize, std::uint32_t engineSize, std::uint32_t archiveSize,
                        std::uint32_t crc);

// The CRC-32 the trailer holds: the zip one.
using zip::Crc32;

}  // namespace sfx
