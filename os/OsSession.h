// The seam's end-of-session operations: starting a command line without
// waiting, and asking Windows to restart.
#pragma once
#include <cstdint>
#include <string>

namespace os {

constexpr int kSwShowNormal = 1;
constexpr std::uint32_t kEwxReboot = 0x02;

// WinExec: true when the program was started.
bool WinExec(const std::string& commandLine, int show);
// ExitWindowsEx: true when Windows accepted the request.
bool ExitWindowsEx(std::uint32_t flags);
// Enables the shutdown privilege (SE_SHUTDOWN_NAME) of the process token,
// without which the NT family refuses ExitWindowsEx: true when the token
// holds it and it is enabled now. NT family only.
bool EnableShutdownPrivilege();

}  // namespace os
