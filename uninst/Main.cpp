// The Windows entry point of uninst.exe: OLE for the thread (servers are
// unregistered in this process), then the program with its command line.
// The runtime calls WinMain by its C name with the Windows calling
// convention; the signature names its parameters with plain types, so no
// system header is included.
#include "os/OsLibrary.h"
#include "os/OsShell.h"
#include "uninst/Uninst.h"

extern "C" int __stdcall WinMain(void*, void*, char* commandLine, int) {
  os::ExcludeCurrentFolderFromLibrarySearch();  // before anything loads a library
  os::HResult ole = os::OleInitialize();
  int result = UninstallMain(commandLine ? commandLine : "");
  if (os::Succeeded(ole)) os::OleUninitialize();
  return result;
}
