// The in-memory session: it records what would start or restart.
#include "os/OsSession.h"
#include "os/fake/FakeControl.h"
#include "os/fake/FakeSessionControl.h"
#include "os/fake/FakeState.h"

namespace os::fake {
namespace {
struct Session {
  std::vector<Executed> executed;
  std::vector<std::uint32_t> restarts;
  std::vector<std::string> calls;
  bool privilegeHeld = true, privilegeEnabled = false;
};
Session& TheSession() { return AreaState<Session>(); }
}  // namespace

const std::vector<Executed>& ExecutedCommands() { return TheSession().executed; }
const std::vector<std::uint32_t>& RestartRequests() { return TheSession().restarts; }
const std::vector<std::string>& SessionCalls() { return TheSession().calls; }
void SetShutdownPrivilegeHeld(bool held) { TheSession().privilegeHeld = held; }

}  // namespace os::fake

namespace os {

bool WinExec(const std::string& commandLine, int show) {
  // The program is the quoted text or the text up to the first blank; a path to no file starts
  // nothing, as on Windows (a bare name would be looked for along the path: it is taken as found).
  std::string program = commandLine;
  if (!program.empty() && program[0] == '"') {
    program = program.substr(1, program.find('"', 1) - 1);
  } else if (const std::size_t blank = program.find(' '); blank != std::string::npos) {
    program.resize(blank);
  }
  if (program.find('\\') != std::string::npos && !fake::Exists(program) && !fake::Exists(program + ".exe"))
    return false;
  fake::TheSession().executed.push_back({commandLine, show});
  return true;
}

bool ExitWindowsEx(std::uint32_t flags) {
  fake::Session& session = fake::TheSession();
  session.restarts.push_back(flags);
  bool nt = fake::TheState().version.platformId == 2;
  bool granted = !nt || session.privilegeEnabled;
  session.calls.push_back(granted ? "ExitWindowsEx granted" : "ExitWindowsEx refused");
  return granted;
}

bool EnableShutdownPrivilege() {
  fake::Session& session = fake::TheSession();
  session.calls.push_back("EnableShutdownPrivilege");
  session.privilegeEnabled = session.privilegeHeld;
  return session.privilegeEnabled;
}

}  // namespace os
