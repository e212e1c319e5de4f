// Launching against the in-memory shell: the request fields, the waits,
// server registration.
#include <gtest/gtest.h>

#include "os/OsLibrary.h"
#include "os/fake/FakeControl.h"
#include "os/fake/FakeShellControl.h"
#include "sys/Launch.h"

namespace {

int registerCalls = 0, unregisterCalls = 0;
std::int32_t DllRegister() { return ++registerCalls, 0; }
std::int32_t DllUnregister() { return ++unregisterCalls, 0; }
os::Proc P(std::int32_t (*f)()) { return reinterpret_cast<os::Proc>(f); }

class Run : public ::testing::Test {
 protected:
  void SetUp() override {
    os::fake::Reset();
    registerCalls = unregisterCalls = 0;
  }
  void TearDown() override { EXPECT_EQ(os::fake::OpenProcessHandleCount(), 0); }
};

TEST_F(Run, RunProgramAndWaitReturnsAfterTheProgramEnded) {
  os::fake::AddProgram("C:\\WINDOWS\\_presnt.exe", [](const os::fake::Launch&) {
    os::fake::AddFile("C:\\WINDOWS\\done.txt", "finished");
  });
  RunProgramAndWait("C:\\WINDOWS\\_presnt.exe", "");
  EXPECT_TRUE(os::fake::Exists("C:\\WINDOWS\\done.txt"));
  EXPECT_EQ(os::fake::ProcessEvents(),
            (std::vector<std::string>{"start C:\\WINDOWS\\_presnt.exe", "idle C:\\WINDOWS\\_presnt.exe",
                                      "exit C:\\WINDOWS\\_presnt.exe", "close C:\\WINDOWS\\_presnt.exe"}));
  auto launch = os::fake::Launches().at(0);
  EXPECT_EQ(launch.call, "ShellExecuteExA");
  EXPECT_EQ(launch.mask, 0x640u);
  EXPECT_EQ(launch.window, 0u);
  EXPECT_EQ(launch.verb, std::nullopt);
  EXPECT_EQ(launch.parameters, std::nullopt);  // empty parameters go as null
  EXPECT_EQ(launch.directory, std::nullopt);
  EXPECT_EQ(launch.show, 1);
}

TEST_F(Run, RunAndWaitPassesVerbParametersAndExpandsTheName) {
  os::fake::AddProgram("C:\\WINDOWS\\tool.exe");
  EXPECT_TRUE(RunAndWait("%WINDIR%\\tool.exe", "C:\\Source", "open", 3));
  auto launch = os::fake::Launches().at(0);
  EXPECT_EQ(launch.verb, "open");
  EXPECT_EQ(launch.parameters, "C:\\Source");
  EXPECT_EQ(launch.show, 3);
  EXPECT_EQ(launch.startedPath, "C:\\WINDOWS\\tool.exe");
}

TEST_F(Run, RunAndWaitAnswersFalseWhenNothingStarted) {
  EXPECT_FALSE(RunAndWait("C:\\nothing.exe", "", "", 1));
  EXPECT_EQ(os::fake::ProcessEvents(), std::vector<std::string>{});
}

TEST_F(Run, ADocumentWithoutProcessIsNotWaitedFor) {
  os::fake::AddFile("C:\\Docs\\readme.txt", "text");
  EXPECT_TRUE(RunAndWait("C:\\Docs\\readme.txt", "", "", 1));
  EXPECT_EQ(os::fake::ProcessEvents(), std::vector<std::string>{"detached C:\\Docs\\readme.txt"});
}

TEST_F(Run, OpenDocumentStartsInTheFilesFolderAndReturnsAtOnce) {
  os::fake::AddProgram("C:\\Prog\\app.exe");
  EXPECT_GT(OpenDocument("C:\\Prog\\app.exe", ""), 32);
  auto launch = os::fake::Launches().at(0);
  EXPECT_EQ(launch.call, "ShellExecuteA");
  EXPECT_EQ(launch.window, os::GetDesktopWindow());
  EXPECT_EQ(launch.verb, "OPEN");
  EXPECT_EQ(launch.parameters, "");  // empty, never null
  EXPECT_EQ(launch.directory, "C:\\Prog\\");
  EXPECT_EQ(launch.show, 1);
  EXPECT_EQ(os::fake::ProcessEvents().at(0), "detached C:\\Prog\\app.exe");
}

TEST_F(Run, OpenDocumentDoesNotExpandTheName) {
  os::fake::AddProgram("C:\\WINDOWS\\app.exe");
  EXPECT_LE(OpenDocument("%WINDIR%\\app.exe", "-x"), 32);
  EXPECT_EQ(os::fake::Launches().at(0).directory, "%WINDIR%\\");
  EXPECT_EQ(os::fake::Launches().at(0).parameters, "-x");
}

TEST_F(Run, RegisterServerNeedsBothExports) {
  os::fake::AddLibrary("C:\\WINDOWS\\both.dll",
                       {{"DllRegisterServer", P(DllRegister)}, {"DllUnregisterServer", P(DllUnregister)}});
  os::fake::AddLibrary("C:\\WINDOWS\\one.dll", {{"DllRegisterServer", P(DllRegister)}});
  RegisterServer("C:\\WINDOWS\\both.dll", true);
  EXPECT_EQ(registerCalls, 1);
  EXPECT_EQ(unregisterCalls, 0);
  EXPECT_FALSE(os::fake::IsLoaded("C:\\WINDOWS\\both.dll"));
  RegisterServer("C:\\WINDOWS\\both.dll", false);
  EXPECT_EQ(unregisterCalls, 1);
  RegisterServer("C:\\WINDOWS\\one.dll", true);
  EXPECT_EQ(os::fake::LoadCount("C:\\WINDOWS\\one.dll"), 1);
  EXPECT_FALSE(os::fake::IsLoaded("C:\\WINDOWS\\one.dll"));
  EXPECT_EQ(registerCalls, 1);
  EXPECT_NO_THROW(RegisterServer("C:\\WINDOWS\\missing.dll", true));
}

}  // namespace
