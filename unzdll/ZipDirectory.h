// Reads a zip archive's end record and central directory, and locates each entry's data,
// checking every size and offset against the file before it is used.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "unzdll/UnzErrors.h"
#include "unzdll/UnzFiles.h"

namespace unz {

struct ZipEntry {
  int index = 0;                 // position in the central directory, from 0
  std::string name;              // the stored name, as stored
  std::uint8_t madeByVersion = 0;
  std::uint8_t hostSystem = 0;
  std::uint16_t flags = 0;
  std::uint16_t method = 0;
  std::uint32_t dosDateTime = 0;  // DOS time (low word) and date (high word)
  std::uint32_t crc = 0;
  std::uint32_t compressedSize = 0;
  std::uint32_t size = 0;
  std::uint32_t externalAttributes = 0;
  std::uint64_t localOffset = 0;  // where the local header is, corrected for data before the archive
  std::uint64_t dataOffset = 0;   // where the compressed data begins, once located
  bool isFolder = false;
  UnzError problem = UnzError::kNone;  // why the entry cannot be extracted, if it cannot
};

struct ZipDirectory {
  std::vector<ZipEntry> entries;
  std::uint64_t directoryStart = 0;  // entry data must end here
  std::uint32_t declaredEntries = 0;
  std::string comment;
  std::uint64_t prefixBytes = 0;  // bytes found before the archive proper (a self-extractor stub)
};

// Finds the end record and reads every central header. A directory that is cut short keeps the
// entries read before the damage and returns kBadDirectory.
// A name ending in a separator is a folder's; `lead` tells which bytes start double-byte characters
// in names not flagged as UTF-8.
UnzError ReadZipDirectory(ArchiveFile& archive, ZipDirectory& directory, const LeadBytes& lead = {});

// Reads each entry's local header to find its data, and marks entries whose data does not fit the
// archive or overlaps another entry's.
void LocateEntryData(ArchiveFile& archive, ZipDirectory& directory);

}  // namespace unz
