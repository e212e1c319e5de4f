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
// ExitWindowsEx; the caller does not look at the answer.
bool ExitWindowsEx(std::uint32_t flags);

}  // namespace os
