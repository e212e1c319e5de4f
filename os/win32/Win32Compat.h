// Calls that have a newer Windows function and an old way to do the same job. The newer
// function is looked up at run time, never imported, so the program loads on the first
// Windows 95 and on NT 4.0; where it is missing the old way is taken.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

namespace os::win32 {

// The export `name` of the already loaded system library `module`, or null where that library
// lacks it (or it is reported missing, below).
FARPROC FindNewerFunction(const char* module, const char* name);

template <typename F>
F FindNewer(const char* module, const char* name) {
  return reinterpret_cast<F>(reinterpret_cast<void*>(FindNewerFunction(module, name)));
}

// A system library that the programs do not import (only NT 4.0's KnownDLLs are imported, which
// the loader never takes from beside the program): loaded once, by its full path in the System
// folder, or by its name where the program's manifest makes the side-by-side store answer for
// it. Null where it cannot be loaded. The library stays loaded for the life of the process.
HMODULE SystemLibrary(const char* name);

// The export `name` of the system library `module`, loaded as above; null where either is missing.
template <typename F>
F SystemFunction(const char* module, const char* name) {
  HMODULE library = SystemLibrary(module);
  return library ? reinterpret_cast<F>(reinterpret_cast<void*>(::GetProcAddress(library, name))) : nullptr;
}

// For the Windows test programs: from now on FindNewerFunction reports these names missing, so
// the old ways can be tried on a system that has the new ones. An empty list ends that.
void ReportMissingForTests(std::vector<std::string> names);

// The top-level window that `window` is a child (or grandchild ...) of; the window itself when
// it is not a child. An owned window is its own root: ownership is not parenthood.
HWND RootWindow(HWND window);

// The major version of the shell library (shell32.dll): 4 where it cannot say (it learnt to
// with 4.71).
unsigned ShellMajorVersion();

// Registers the common control classes the forms use (progress bar, tooltips, the standard ones).
void InitCommonControlClasses();

}  // namespace os::win32
