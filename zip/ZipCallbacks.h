// The callback record the unzip engine fills and hands to the archive component, and the codes it carries.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(_WIN32)
#define QV_ZCALLBACK __stdcall
#else
#define QV_ZCALLBACK
#endif

// What the engine reports or asks in a callback (the record's ActionCode).
enum ZCallbackCode : std::int32_t {
  kCbNewFile = 1,         // Text = name, Size = its size
  kCbProgress = 2,        // Size = bytes processed since the last report
  kCbEndOfBatch = 3,      // the batch is finished
  kCbMessage = 4,         // Text = message, ErrorCode = error code (0 for none)
  kCbTotalFiles = 5,      // Size = number of files to process
  kCbTotalSize = 6,       // Size = number of bytes to process
  kCbNewName = 7,         // Text = a name the caller may change (answer ErrorCode = 1)
  kCbPassword = 8,        // password request
  kCbCrcError = 9,        // Text = file, ErrorCode = found CRC, Size = expected CRC
  kCbOverwrite = 10,      // Text = file, ErrorCode = dir index | older << 16, Size = proposed answer
  kCbSkipped = 11,        // Text = file, Size = skip reason + 1, ErrorCode = error code
  kCbComment = 12,        // file comment exchange
  kCbMemoryNeeded = 13,   // Size = bytes wanted for output to memory
};

// Answers of the caller to code 9 in ErrorCode.
enum ZCrcAnswer : std::int32_t {
  kCrcDoNotExtract = 0,
  kCrcExtractAnyway = 1,
  kCrcNoDecision = 2,
};

// Why a file was skipped, in the order of the component's skip types; code 11 carries the
// reason + 1 in the low byte of Size.
enum ZSkipReason : std::int32_t {
  kSkipOnFreshen = 0,
  kSkipNoOverwrite,
  kSkipFileExists,
  kSkipBadPassword,
  kSkipNoEncryptionDLL,
  kSkipCompressionUnknown,
  kSkipUnknownZipHost,
  kSkipZipFileFormatWrong,
  kSkipGeneralExtractError,
};

constexpr std::size_t kCallbackTextSize = 512;

// Filled by the engine, 540 bytes on i686 Windows; the caller may write its answers back into it.
struct CallbackRecord {
  std::int32_t Reserved0;     // not read by the component
  void* Caller;               // the request's Caller, handed back unchanged
  std::int32_t Reserved8;     // not read by the component
  std::int32_t IsOperationZip;  // non-zero when the engine works for the zip-writing side
  std::int32_t ActionCode;    // a ZCallbackCode
  std::int32_t ErrorCode;     // "value": error code, flags or an answer, by code
  std::uint32_t Size;         // "size": a size, a count or an answer, by code
  char Text[kCallbackTextSize];  // file name or message, zero-terminated; answers may be written here
};

// The caller's callback: answers 0 to let the engine go on, -1 (any non-zero) to make it stop.
using ZFunctionPtrType = std::int32_t(QV_ZCALLBACK*)(CallbackRecord* record);

#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(void*) == 4);
static_assert(offsetof(CallbackRecord, Caller) == 4);
static_assert(offsetof(CallbackRecord, IsOperationZip) == 12);
static_assert(offsetof(CallbackRecord, ActionCode) == 16);
static_assert(offsetof(CallbackRecord, ErrorCode) == 20);
static_assert(offsetof(CallbackRecord, Size) == 24);
static_assert(offsetof(CallbackRecord, Text) == 28);
static_assert(sizeof(CallbackRecord) == 540);
#endif
