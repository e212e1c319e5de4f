// The archive component's message numbers and the lookup of their texts.
#pragma once
#include <string>

namespace zip {

// Message numbers reported through ErrorCode, LastMessage and OnMessage.
enum ZipMsg : int {
  ZipMsgArchiveMissing = 10102,         // ExtractFiles: no such archive
  ZipMsgOutOfMemory = 10103,            // out of memory reading the directory or joining
  ZipMsgPasswordsDiffer = 10104,        // the two password entries differ
  ZipMsgCopying = 10105,                // prefix of the per-entry message of a join
  ZipMsgPasswordNeededConfirm = 10150,  // unattended, a confirmed password was asked for
  ZipMsgPasswordNeeded = 10151,         // unattended, a password was asked for
  ZipMsgPwOk = 10152,
  ZipMsgPwCancel = 10153,
  ZipMsgPwTitle = 10154,
  ZipMsgPwPrompt = 10155,
  ZipMsgPwConfirm = 10156,
  ZipMsgPwCancelAll = 10157,
  ZipMsgPwAbort = 10158,
  ZipMsgDirSeek = 10201,          // seeking to the central directory, or an extra field, failed
  ZipMsgDirOther = 10202,         // other error while reading the directory
  ZipMsgOffsetsDisagree = 10203,  // stored central directory offset differs from the computed one
  ZipMsgTrailingBytes = 10204,    // other bytes follow the end record's comment
  ZipMsgEngineError = 10501,      // an error while building the request or in the engine call
  ZipMsgNoPassword = 10502,       // unattended without a password or a password handler
  ZipMsgEngineLoaded = 10701,     // trace: engine library loaded
  ZipMsgNoExec = 10702,           // the library lacks UnzDllExec
  ZipMsgNoVersion = 10703,        // the library lacks GetUnzDllVersion
  ZipMsgNoEngine = 10704,         // the engine library could not be loaded
  ZipMsgOpenFailed = 11001,       // a part or the archive could not be opened
  ZipMsgOpenFailedQuiet = 11002,  // the archive could not be opened (quiet search)
  ZipMsgBadDriveLetter = 11003,
  ZipMsgDriveNotReady = 11004,
  ZipMsgDiskCancelled = 11007,
  ZipMsgSeekFailed = 11008,
  ZipMsgCreateOutput = 11009,
  ZipMsgReadTail = 11011,
  ZipMsgLocalShort = 11012,
  ZipMsgCentralShort = 11013,
  ZipMsgLocalSignature = 11014,
  ZipMsgCentralSignature = 11015,
  ZipMsgLocalName = 11016,
  ZipMsgCentralName = 11017,
  ZipMsgCopyLocalExtra = 11018,
  ZipMsgCopyCentralExtra = 11019,
  ZipMsgCopyDescriptor = 11020,
  ZipMsgCopyData = 11021,
  ZipMsgCopyFileComment = 11022,
  ZipMsgCopyArchiveComment = 11023,
  ZipMsgJoinOther = 11024,
  ZipMsgUnattendedDisk = 11025,
  ZipMsgNoCentralEntry = 11026,
  ZipMsgNoTempName = 11027,
  ZipMsgWriteLocal = 11028,
  ZipMsgWriteCentral = 11029,
  ZipMsgWriteEnd = 11030,
  ZipMsgNoSpanSignature = 11031,
  ZipMsgInsertLast = 11033,
  ZipMsgInsertVolume = 11034,
  ZipMsgInDrive = 11035,
  ZipMsgNoEndRecord = 11036,
  ZipMsgEndNotOnFirst = 11037,
  ZipMsgEndNotOnPart = 11038,
  ZipMsgEndNotOnSpanned = 11045,
  ZipMsgInsertVolumeNoTotal = 11046,
};

// The text of a message number: the program carries no texts of its own in
// the component's range, so the default text given at the call site is
// used, or, without one, a line that names the missing number.
std::string LoadMessageText(int number, const std::string& fallback = "");

// The default texts named at their call sites.
inline constexpr const char* kCopyingText = "Copying: ";
inline constexpr const char* kInsertLastText = "Please insert last disk in set";
inline constexpr const char* kInsertVolumeText = "Please insert disk volume %.1d of %.1d";
inline constexpr const char* kInDriveText = "\r\nin drive: %s";
inline constexpr const char* kInsertVolumeNoTotalText = "Please insert disk volume %.1d";

// Fills the "%d", "%.1d" and "%s" places of a message text in order; places
// without an argument stay as they are, arguments without a place are dropped.
std::string FormatMessageText(const std::string& text, const std::string& arg);
std::string FormatMessageText(const std::string& text, int arg);
std::string FormatMessageText(const std::string& text, int first, int second);

}  // namespace zip
