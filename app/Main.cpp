// The Windows entry point of setup.exe: OLE for the thread, then the program.
// The runtime calls WinMain by its C name with the Windows calling
// convention; the handles and the show state are not needed, so the
// signature names them with plain types and no system header is included.
#include "app/Setup.h"
#include "os/OsLibrary.h"
#include "os/OsShell.h"

extern "C" int __stdcall WinMain(void*, void*, char*, int) {
  os::ExcludeCurrentFolderFromLibrarySearch();  // before anything loads a library
  // The shell's link object needs OLE on this thread before any window exists.
  os::HResult ole = os::OleInitialize();
  int result = SetupMain();
  if (os::Succeeded(ole)) os::OleUninitialize();
  return result;
}
