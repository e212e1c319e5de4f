// The seam's dynamic libraries: load, find an export, call it, unload.
// Every library the program loads is someone else's code (the publisher's
// libraries, COM servers, the unzip engine), so its start-up and shutdown
// and every export called through here run under a structured-exception
// guard: a crash inside ends that call, not the program.
#pragma once
#include <cstdint>
#include <string>

#include "os/Handle.h"
#include "os/OsTypes.h"

namespace os {

using Proc = void (*)();  // an export; called only through CallExport below

// Takes the current folder out of the search for libraries named without a path, where the
// system can (SetDllDirectoryA("")); elsewhere nothing changes. Called first thing.
void ExcludeCurrentFolderFromLibrarySearch();

// The library's start-up runs guarded: 0 when it failed or crashed.
Hmodule LoadLibraryA(const std::string& path);
Proc GetProcAddress(Hmodule module, const std::string& name);  // nullptr when missing
// The library's shutdown runs guarded: false when it failed or crashed.
bool FreeLibrary(Hmodule module);
using UniqueLibrary = Unique<Hmodule, Hmodule{0}, FreeLibrary>;

constexpr std::uint32_t kExceptionAccessViolation = 0xC0000005u;

// What a guarded call of an export came to.
struct ExportCall {
  bool faulted = false;             // a structured exception ended the call
  std::uint32_t exceptionCode = 0;  // its code, e.g. kExceptionAccessViolation
  std::int32_t result = 0;          // the export's answer; 0 after a fault
};

// The conventions of the exports the program calls:
// std::int32_t __stdcall entry(void), as DllRegisterServer and GetUnzDllVersion.
ExportCall CallExport(Proc entry);
// std::int32_t __stdcall entry(argument), as UnzDllExec.
ExportCall CallExport(Proc entry, void* argument);
// The register convention: the argument in EAX, the answer in EAX, as DoSetup.
ExportCall CallRegisterExport(Proc entry, std::uint32_t eax);

}  // namespace os
