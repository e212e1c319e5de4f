// Texts of the engine's error codes.
#include "unzdll/UnzErrors.h"

namespace unz {

const char* UnzErrorText(UnzError error) {
  switch (error) {
    case UnzError::kNone: return "no error";
    case UnzError::kArchiveOpen: return "the archive could not be opened";
    case UnzError::kArchiveRead: return "the archive could not be read";
    case UnzError::kNoEndRecord: return "this is not a zip archive (no end of central directory record)";
    case UnzError::kMultiPart: return "this is one part of a multi-part archive; join the parts first";
    case UnzError::kZip64: return "64-bit zip records are not supported";
    case UnzError::kBadDirectory: return "the central directory is damaged or cut short";
    case UnzError::kBadEntry: return "the entry's sizes or offsets do not fit the archive";
    case UnzError::kBadLocalHeader: return "the entry's local header is missing or damaged";
    case UnzError::kOverlap: return "the entry's data overlaps another entry";
    case UnzError::kUnknownMethod: return "the compression method is not supported";
    case UnzError::kEncrypted: return "encrypted entries are not supported";
    case UnzError::kBadData: return "the compressed data is damaged";
    case UnzError::kCrcMismatch: return "the data does not match its CRC-32";
    case UnzError::kBadName: return "the name leaves nothing to write";
    case UnzError::kCreateFolder: return "a folder could not be created";
    case UnzError::kCreateFile: return "the file could not be created";
    case UnzError::kWriteFile: return "the file could not be written";
    case UnzError::kFinishFile: return "the file could not be moved into place";
    case UnzError::kOutOfMemory: return "out of memory";
    case UnzError::kBadRequest: return "the extraction request is incomplete";
    case UnzError::kNameChanged: return "an unsafe name was changed";
    case UnzError::kAborted: return "the operation was stopped";
  }
  return "unknown error";
}

}  // namespace unz
