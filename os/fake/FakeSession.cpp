// The in-memory session: it records what would start or restart.
#include "os/OsSession.h"
#include "os/fake/FakeSessionControl.h"

namespace os::fake {
namespace {
struct Session {
  std::vector<Executed> executed;
  std::vector<std::uint32_t> restarts;
};
Session& TheSession() {
  static Session session;
  return session;
}
}  // namespace

void ResetSession() { TheSession() = Session{}; }
const std::vector<Executed>& ExecutedCommands() { return TheSession().executed; }
const std::vector<std::uint32_t>& RestartRequests() { return TheSession().restarts; }

}  // namespace os::fake

namespace os {

bool WinExec(const std::string& commandLine, int show) {
  fake::TheSession().executed.push_back({commandLine, show});
  return true;
}

bool ExitWindowsEx(std::uint32_t flags) {
  fake::TheSession().restarts.push_back(flags);
  return true;
}

}  // namespace os
