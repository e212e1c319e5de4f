// Starting a command line and restarting Windows over the real Win32 API.
#include <windows.h>

#include "os/OsSession.h"

namespace os {

bool WinExec(const std::string& commandLine, int show) {
  return ::WinExec(commandLine.c_str(), static_cast<UINT>(show)) > 31;
}

bool ExitWindowsEx(std::uint32_t flags) { return ::ExitWindowsEx(flags, 0) != 0; }

bool EnableShutdownPrivilege() {
  HANDLE token = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) return false;
  TOKEN_PRIVILEGES privileges = {};
  privileges.PrivilegeCount = 1;
  privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  bool enabled = ::LookupPrivilegeValueA(nullptr, SE_SHUTDOWN_NAME, &privileges.Privileges[0].Luid) &&
                 ::AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr) &&
                 ::GetLastError() != ERROR_NOT_ALL_ASSIGNED;  // succeeds also when the token lacks it
  ::CloseHandle(token);
  return enabled;
}

}  // namespace os
