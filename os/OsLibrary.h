// The seam's dynamic libraries: load, find an export, unload.
#pragma once
#include <string>

#include "os/Handle.h"
#include "os/OsTypes.h"

namespace os {

using Proc = void (*)();  // cast to the export's real type by the caller

Hmodule LoadLibraryA(const std::string& path);  // 0 on failure
Proc GetProcAddress(Hmodule module, const std::string& name);  // nullptr when missing
bool FreeLibrary(Hmodule module);
using UniqueLibrary = Unique<Hmodule, Hmodule{0}, FreeLibrary>;

}  // namespace os
