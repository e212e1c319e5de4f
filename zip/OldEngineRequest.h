// The request record of engines older than version 152: the shared fields,
// then the value 7 and room for 4097 file-specification addresses.
#pragma once
#include <cstddef>
#include <cstdint>

#include "zip/UNZDLL.h"

namespace zip {

constexpr std::size_t kOldSpecRoom = 4097;

struct ExtractRequestOld {
  void* Handle;
  void* Caller;
  std::int32_t Version;
  ZFunctionPtrType ZCallbackFunc;
  std::int32_t TraceEnabled;
  std::int32_t Reserved20;
  const char* Password;
  std::int32_t Test;
  std::int32_t Reserved32;
  std::int32_t Reserved36;
  std::int32_t Reserved40;
  std::int32_t Verbose;
  std::int32_t Update;
  std::int32_t Freshen;
  std::int32_t Directories;
  std::int32_t Overwrite;
  std::int32_t ArgCount;
  const char* ZipFileName;
  std::int32_t Seven;  // the value 7
  const char* FileSpecs[kOldSpecRoom];
};

#if defined(_WIN32) && !defined(_WIN64)
static_assert(offsetof(ExtractRequestOld, ArgCount) == 64);
static_assert(offsetof(ExtractRequestOld, ZipFileName) == 68);
static_assert(offsetof(ExtractRequestOld, Seven) == 72);
static_assert(offsetof(ExtractRequestOld, FileSpecs) == 76);
static_assert(sizeof(ExtractRequestOld) == 16464);
#endif

}  // namespace zip
