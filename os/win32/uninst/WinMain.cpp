// The Windows entry point of uninst.exe: COM for the thread (servers are
// unregistered in this process), then the program with its command line.
#include <windows.h>
#include <ole2.h>

#include "uninst/Uninst.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
  HRESULT ole = ::OleInitialize(nullptr);
  int result = UninstallMain(commandLine ? commandLine : "");
  if (SUCCEEDED(ole)) ::OleUninitialize();
  return result;
}
