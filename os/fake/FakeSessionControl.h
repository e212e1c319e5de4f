// Test-only record of what the program asked of the session: command lines
// started without waiting, restart requests.
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

}  // namespace os::fake
