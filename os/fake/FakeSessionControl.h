// Test-only record of what the program asked of the session: command lines
// started without waiting, restart requests, and the shutdown privilege.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace os::fake {

struct Executed {
  std::string commandLine;
  int show = 0;
};
const std::vector<Executed>& ExecutedCommands();
const std::vector<std::uint32_t>& RestartRequests();
// The session's calls in order: "EnableShutdownPrivilege" and
// "ExitWindowsEx" (granted or refused). As on Windows, the NT family grants
// a restart only to a process that has enabled its shutdown privilege,
// which the token holds unless a test takes it away.
const std::vector<std::string>& SessionCalls();
void SetShutdownPrivilegeHeld(bool held);

}  // namespace os::fake
