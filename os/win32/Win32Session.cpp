// Starting a command line and restarting Windows over the real Win32 API.
#include <windows.h>

#include "os/OsSession.h"

namespace os {

bool WinExec(const std::string& commandLine, int show) {
  return ::WinExec(commandLine.c_str(), static_cast<UINT>(show)) > 31;
}

bool ExitWindowsEx(std::uint32_t flags) { return ::ExitWindowsEx(flags, 0) != 0; }

}  // namespace os
