// The engine's error codes, reported as the value of message and skip callbacks, and their texts.
#pragma once

#include <cstdint>

namespace unz {

enum class UnzError : std::int32_t {
  kNone = 0,
  kArchiveOpen = 1,        // the archive could not be opened
  kArchiveRead = 2,        // reading the archive failed or ended early
  kNoEndRecord = 3,        // no end-of-central-directory record
  kMultiPart = 4,          // one part of a multi-part set
  kZip64 = 5,              // a 64-bit archive or entry, which this engine does not read
  kBadDirectory = 6,       // the central directory lies outside the file or is cut short
  kBadEntry = 7,           // an entry's sizes or offsets do not fit the file
  kBadLocalHeader = 8,     // the local header is missing or does not fit
  kOverlap = 9,            // an entry's data overlaps another entry's
  kUnknownMethod = 10,     // a compression method other than stored or deflated
  kEncrypted = 11,         // an encrypted entry
  kBadData = 12,           // the compressed data is damaged or its size does not match
  kCrcMismatch = 13,       // the data does not match its stored CRC-32
  kBadName = 14,           // the name leaves nothing to write
  kCreateFolder = 15,      // a folder could not be created
  kCreateFile = 16,        // a file could not be created
  kWriteFile = 17,         // writing a file failed
  kFinishFile = 18,        // a file could not be moved into place or stamped
  kOutOfMemory = 19,       // memory ran out
  kBadRequest = 20,        // the request record is unusable
  kNameChanged = 21,       // an unsafe name was mended (a notice)
  kAborted = 22,           // the caller stopped the operation
};

// A short English description of the code, for messages.
const char* UnzErrorText(UnzError error);

}  // namespace unz
