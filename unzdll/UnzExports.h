// The engine's two entry points, exported undecorated with the standard Win32 calling convention.
#pragma once

#include <cstdint>

#include "zip/UNZDLL.h"

#if defined(_WIN32)
#define UNZ_EXPORT __declspec(dllexport)
#else
#define UNZ_EXPORT
#endif

// The version this engine reports: hundredths, 160 stands for 1.60.
constexpr std::int32_t kUnzEngineVersion = 160;

extern "C" {
UNZ_EXPORT std::int32_t QV_UNZ_STDCALL GetUnzDllVersion();
UNZ_EXPORT std::int32_t QV_UNZ_STDCALL UnzDllExec(ExtractRequest* request);
}
