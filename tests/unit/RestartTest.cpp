// The restart at the end of an installation that asks for one, as a whole
// program on the in-memory Windows, whose NT family refuses a restart to a
// process that has not enabled its shutdown privilege.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "app/Setup.h"
#include "engine/ExitCode.h"
#include "os/fake/FakeControl.h"
#include "os/fake/FakeSessionControl.h"
#include "os/fake/FakeUiControl.h"
#include "sys/Restart.h"
#include "sys/WindowsVersion.h"
#include "tests/unit/ProgramTestUtil.h"

namespace {

using Calls = std::vector<std::string>;

struct RestartCase {
  const char* name;
  std::uint32_t platform, major, minor;
  bool privilegeHeld;  // the user's token holds the shutdown privilege
  Calls calls;
  bool told;  // the refusal box was shown
};

void PrintTo(const RestartCase& c, std::ostream* out) { *out << c.name; }

class Restart : public ::testing::TestWithParam<RestartCase> {};

TEST_P(Restart, PrivilegeComesFirstOnNtOnlyAndARefusalIsTold) {
  const RestartCase& c = GetParam();
  programtest::FreshProgram();
  os::fake::SetVersion(os::OsVersionInfo{c.major, c.minor, 1381, c.platform, ""});
  ResetWinVersionCacheForTests();
  os::fake::SetShutdownPrivilegeHeld(c.privilegeHeld);
  // Automatic mode walks the wizard and the run by itself; the list asks for
  // the restart, whose question is answered OK.
  os::fake::AddFile("C:\\SETUP\\autoin.dat", "");
  os::fake::AddFile("C:\\SETUP\\setup.ini", "\\Acme\r\nAcme\r\nAcme Mail\r\n:REBOOT\r\n");
  os::fake::SetUser([] { return false; });

  int code = SetupMain();

  EXPECT_EQ(os::fake::SessionCalls(), c.calls);
  std::vector<std::string> texts;
  for (auto& b : os::fake::Boxes()) texts.push_back(b.text);
  ASSERT_FALSE(texts.empty());
  EXPECT_EQ(texts.front(), "Installation must reboot your computer.");
  EXPECT_EQ(texts.back() == kRestartRefusedText, c.told);
  EXPECT_EQ(code, exitcode::kRestartNeeded);
}

const Calls kNtGranted = {"EnableShutdownPrivilege", "ExitWindowsEx granted"};
INSTANTIATE_TEST_SUITE_P(
    Families, Restart,
    ::testing::Values(RestartCase{"Windows98", 1, 4, 10, true, {"ExitWindowsEx granted"}, false},
                      RestartCase{"Windows95WithoutPrivileges", 1, 4, 0, false, {"ExitWindowsEx granted"}, false},
                      RestartCase{"NT4", 2, 4, 0, true, kNtGranted, false},
                      RestartCase{"WindowsXP", 2, 5, 1, true, kNtGranted, false},
                      RestartCase{"XPUserWithoutTheRight", 2, 5, 1, false,
                                  {"EnableShutdownPrivilege", "ExitWindowsEx refused"}, true}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
