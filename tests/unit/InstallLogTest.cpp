// The install log against the in-memory file system.
#include <gtest/gtest.h>

#include "engine/InstallLog.h"
#include "os/OsFiles.h"
#include "os/fake/FakeControl.h"

namespace {

class Log : public ::testing::Test {
 protected:
  void SetUp() override {
    os::fake::Reset();
    ForgetLogForTests();
  }
  void TearDown() override { ForgetLogForTests(); }
};

TEST_F(Log, FileNameDropsTheCharactersAFileNameCannotHold) {
  const struct {
    const char* windows;
    const char* title;
    const char* path;
  } rows[] = {
      {"C:\\WINDOWS", "My App: Pro/Lite", "C:\\WINDOWS\\temp\\qvsetup_MyAppProLite.txt"},
      {"C:\\", "A>B\\C*D", "C:\\temp\\qvsetup_ABCD.txt"},
      {"C:\\WINNT", "Ünïcode & Co.", "C:\\WINNT\\temp\\qvsetup_Ünïcode&Co..txt"},
  };
  for (auto& row : rows) EXPECT_EQ(LogFileName(row.windows, row.title), row.path) << row.title;
}

TEST_F(Log, WritesTheHeadAndEveryLineWithCrLf) {
  os::fake::AddFolder("C:\\WINDOWS\\temp");
  LogLine("before the start");  // no log yet: nothing
  StartLog("Demo App", "C:\\Program Files\\Demo");
  LogLine("Installing Program Files");
  LogLine("Copy: C:\\Program Files\\Demo\\demo.exe");
  EXPECT_EQ(os::fake::Content("C:\\WINDOWS\\temp\\qvsetup_DemoApp.txt"),
            "Title: Demo App\r\nDestination: C:\\Program Files\\Demo\r\n"
            "Installing Program Files\r\nCopy: C:\\Program Files\\Demo\\demo.exe\r\n");
  EXPECT_EQ(os::fake::List("C:\\WINDOWS\\temp").size(), 1u);
}

TEST_F(Log, ASecondInstallOverwritesTheLog) {
  os::fake::AddFile("C:\\WINDOWS\\temp\\qvsetup_Demo.txt", "old run\r\nmany lines\r\n");
  StartLog("Demo", "C:\\D");
  EXPECT_EQ(os::fake::Content("C:\\WINDOWS\\temp\\qvsetup_Demo.txt"),
            "Title: Demo\r\nDestination: C:\\D\r\n");
}

TEST_F(Log, FailuresAreSilentAndTheTempFolderIsNotCreated) {
  StartLog("Demo", "C:\\D");  // no temp folder
  EXPECT_EQ(LogPath(), "C:\\WINDOWS\\temp\\qvsetup_Demo.txt");
  EXPECT_NO_THROW(LogLine("Copy: x"));
  EXPECT_FALSE(os::fake::Exists("C:\\WINDOWS\\temp"));
  // A log file held by another program is not written, and nothing breaks.
  os::fake::AddFile("C:\\WINDOWS\\temp\\qvsetup_Demo.txt", "held");
  os::fake::SetInUse("C:\\WINDOWS\\temp\\qvsetup_Demo.txt", true);
  LogLine("Copy: y");
  EXPECT_EQ(os::fake::Content("C:\\WINDOWS\\temp\\qvsetup_Demo.txt"), "held");
}

TEST_F(Log, IsCreatedAsANewFileAndWrittenThroughOneHandle) {
  os::fake::AddFolder("C:\\WINDOWS\\temp");
  const std::string path = "C:\\WINDOWS\\temp\\qvsetup_Demo.txt";
  StartLog("Demo", "C:\\D");
  LogLine("Copy: a");
  // Written through: a run that dies here leaves the line behind.
  EXPECT_EQ(os::fake::Content(path), "Title: Demo\r\nDestination: C:\\D\r\nCopy: a\r\n");
  EXPECT_FALSE(os::DeleteFileA(path));  // open for the whole run: nobody swaps it meanwhile

  // A name that cannot be cleared is someone else's: the log takes the next numbered name and
  // leaves that file as it was.
  ForgetLogForTests();
  os::fake::SetInUse(path, true);
  os::fake::AddFile("C:\\WINDOWS\\temp\\qvsetup_Demo2.txt", "planted");
  os::fake::SetInUse("C:\\WINDOWS\\temp\\qvsetup_Demo2.txt", true);
  StartLog("Demo", "C:\\E");
  LogLine("Copy: b");
  EXPECT_EQ(LogPath(), "C:\\WINDOWS\\temp\\qvsetup_Demo3.txt");
  EXPECT_EQ(os::fake::Content("C:\\WINDOWS\\temp\\qvsetup_Demo2.txt"), "planted");
  EXPECT_EQ(os::fake::Content(LogPath()), "Title: Demo\r\nDestination: C:\\E\r\nCopy: b\r\n");
}

}  // namespace
