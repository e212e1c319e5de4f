// The Windows entry point of setupsfx.exe, the single-file download's stub.
// As in setup.exe, the runtime calls WinMain by its C name with the Windows
// calling convention, and no system header is included.
#include "os/OsSystem.h"
#include "sfx/SelfExtractor.h"

extern "C" int __stdcall WinMain(void*, void*, char*, int) {
  return sfx::RunSelfExtractor(os::GetModuleFileNameA());
}
