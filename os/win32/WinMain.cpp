// The Windows entry point of setup.exe: COM for the thread, then the program.
#include <windows.h>
#include <ole2.h>

#include "app/Setup.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  // The shell's link object needs OLE on this thread before any window exists.
  HRESULT ole = ::OleInitialize(nullptr);
  int result = SetupMain();
  if (SUCCEEDED(ole)) ::OleUninitialize();
  return result;
}
