// The request record the archive component hands to the unzip engine, and the engine's entry point types.
#pragma once

#include <cstddef>
#include <cstdint>

#include "zip/ZipCallbacks.h"

#if defined(_WIN32)
#define QV_UNZ_STDCALL __stdcall
#else
#define QV_UNZ_STDCALL
#endif

// The engine library's file name, looked for beside the program that loads it.
constexpr char kUnzDllFileName[] = "UNZDLL.DLL";

// The interface version the component announces in every request.
constexpr std::int32_t kUnzInterfaceVersion = 160;
// Engines of this version and above take the current request layout.
constexpr std::int32_t kUnzCurrentLayoutVersion = 152;
// Engines of this version and above get the password request count.
constexpr std::int32_t kUnzPasswordCountVersion = 160;
// Flags are 32-bit: -1 for true, 0 for false.
constexpr std::int32_t kUnzTrue = -1;
constexpr std::int32_t kUnzFalse = 0;
// Size of the extraction folder buffer: up to 260 characters and the terminating zero.
constexpr std::size_t kUnzExtractDirSize = 261;

// One file specification of the current layout: 72 bytes, the string's address first, the rest zero.
struct UnzFileSpec {
  const char* FileSpec;
  std::uint8_t Reserved[72 - sizeof(const char*)];
};
static_assert(sizeof(UnzFileSpec) == 72);

// The request of the current layout (engines of version 152 and above): 148 bytes on i686 Windows.
// Memory for it is zero-filled, so every field not set stays 0.
struct ExtractRequest {
  void* Handle;                  // parent window for the engine's own dialogs, or 0
  void* Caller;                  // handed back in every CallbackRecord
  std::int32_t Version;          // the component's interface version (160)
  ZFunctionPtrType ZCallbackFunc;  // the component's callback
  std::int32_t TraceEnabled;     // trace flag
  std::int32_t Reserved20;       // 0
  const char* Password;          // password string
  std::int32_t Test;             // test flag: check the entries, write nothing
  std::int32_t Reserved32;       // 0
  std::int32_t Reserved36;       // 0
  std::int32_t Reserved40;       // -1
  std::int32_t Verbose;          // verbose flag
  std::int32_t Update;           // extract only newer entries or ones that do not exist yet
  std::int32_t Freshen;          // extract only entries whose file exists and is older
  std::int32_t Directories;      // recreate stored folder names
  std::int32_t Overwrite;        // overwrite existing files without asking
  std::int32_t ArgCount;         // number of file specifications (0: every entry)
  const char* ZipFileName;       // path of the archive to read
  UnzFileSpec* FileSpecs;        // ArgCount specifications
  std::int32_t Reserved76;       // 0
  std::int32_t OutputToMemory;   // memory-stream fields: 0 for file extraction
  void* OutputAddress;
  std::int32_t OutputSize;
  std::int32_t InputFromMemory;
  void* InputAddress;
  std::int32_t InputSize;
  std::int32_t PasswordReqCount;  // how often the engine may ask for a password (at most 15)
  char* ExtractDir;              // extraction folder: a buffer of kUnzExtractDirSize bytes
  std::int32_t Reserved112[8];   // 0
  std::int32_t Seven;            // the value 7
};

#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(void*) == 4);
static_assert(offsetof(ExtractRequest, Caller) == 4);
static_assert(offsetof(ExtractRequest, Version) == 8);
static_assert(offsetof(ExtractRequest, ZCallbackFunc) == 12);
static_assert(offsetof(ExtractRequest, TraceEnabled) == 16);
static_assert(offsetof(ExtractRequest, Password) == 24);
static_assert(offsetof(ExtractRequest, Test) == 28);
static_assert(offsetof(ExtractRequest, Reserved40) == 40);
static_assert(offsetof(ExtractRequest, Verbose) == 44);
static_assert(offsetof(ExtractRequest, Update) == 48);
static_assert(offsetof(ExtractRequest, Freshen) == 52);
static_assert(offsetof(ExtractRequest, Directories) == 56);
static_assert(offsetof(ExtractRequest, Overwrite) == 60);
static_assert(offsetof(ExtractRequest, ArgCount) == 64);
static_assert(offsetof(ExtractRequest, ZipFileName) == 68);
static_assert(offsetof(ExtractRequest, FileSpecs) == 72);
static_assert(offsetof(ExtractRequest, OutputToMemory) == 80);
static_assert(offsetof(ExtractRequest, InputSize) == 100);
static_assert(offsetof(ExtractRequest, PasswordReqCount) == 104);
static_assert(offsetof(ExtractRequest, ExtractDir) == 108);
static_assert(offsetof(ExtractRequest, Reserved112) == 112);
static_assert(offsetof(ExtractRequest, Seven) == 144);
static_assert(sizeof(ExtractRequest) == 148);
#endif

// The engine's entry points, found by name; the callee removes the arguments.
using GetUnzDllVersionFunc = std::int32_t(QV_UNZ_STDCALL*)();
using UnzDllExecFunc = std::int32_t(QV_UNZ_STDCALL*)(ExtractRequest* request);
