// An installation and its removal on Japanese Windows (code page 932): install folder, Start Menu
// folder, files, shortcuts, registry keys and log named with characters whose second byte reads as
// "\", "|" or a letter.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "engine/DelayedReplacement.h"
#include "engine/InstallList.h"
#include "engine/InstallLog.h"
#include "engine/InstallRun.h"
#include "engine/RegistryRemoval.h"
#include "engine/RemovalRules.h"
#include "engine/SetupState.h"
#include "engine/UninstallRun.h"
#include "os/OsRegistry.h"
#include "os/OsShell.h"
#include "os/fake/FakeControl.h"
#include "os/fake/FakeRegistryControl.h"
#include "os/fake/FakeShellControl.h"
#include "os/fake/FakeUiControl.h"
#include "sys/WindowsVersion.h"
#include "tests/unit/CodePageTestUtil.h"
#include "tests/unit/ProgramTestUtil.h"

namespace {

using codepagetest::ScopedCodePage;
using Lines = std::vector<std::string>;

constexpr char kPrograms[] = "C:\\Documents and Settings\\u\\Start Menu\\Programs";
const std::string kInstallDir = "C:\\Program Files\\" SJ_SEISEKIHYOU;
const std::string kDataFile = kInstallDir + "\\unin.ini";
const std::string kUninstallKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" SJ_SEISEKIHYOU;

using programtest::NoWizard;

struct NoProgress : UninstallHost {
  void ShowProgressWindow() override {}
  void ShowStep(const std::string&) override {}
  void ShowProgress(int) override {}
  void CloseProgressWindow() override {}
};

std::map<std::string, std::string> Files(const std::string& folder = "C:") {
  std::map<std::string, std::string> all;
  for (const std::string& name : os::fake::List(folder)) {
    const std::string path = folder + "\\" + name;
    if (os::fake::Attributes(path) & os::kAttrDirectory) {
      all[path] = "<folder>";
      all.merge(Files(path));
    } else {
      all[path] = os::fake::Content(path);
    }
  }
  return all;
}

Lines Keys(os::Hkey root, const std::string& path = "") {
  Lines all;
  for (const std::string& name : os::fake::RegSubKeys(root, path)) {
    const std::string sub = path.empty() ? name : path + "\\" + name;
    all.push_back(sub);
    for (const std::string& deeper : Keys(root, sub)) all.push_back(deeper);
  }
  return all;
}

class DoubleByteInstall : public ::testing::Test {
 protected:
  void SetUp() override {
    programtest::FreshInstall();
    ScopedCodePage::Switch(932);
    Shared().Title = SJ_SEISEKIHYOU " 1.0";
    Shared().InstallDir = DefaultInstallDir("\\" SJ_SEISEKIHYOU);
    Shared().StartMenu = SJ_SEISEKIHYOU;
    os::fake::SetRegString(os::kHkeyLocalMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion",
                           "ProgramFilesDir", "C:\\Program Files");
    // Windows holds other programs' entries: the uninstaller removes its own entry, never the list.
    os::fake::SetRegString(os::kHkeyLocalMachine,
                           "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Other", "DisplayName",
                           "Other");
    os::fake::AddFolder("C:\\Program Files");
    for (const char* name : {SJ_SOFUTO ".txt", SJ_REPOOTO ".txt", SJ_TESUTO ".exe", "uninst.exe"})
      os::fake::AddFile(std::string("C:\\SETUP\\") + name, name);
    os::OleInitialize();
  }
  void TearDown() override {
    os::OleUninitialize();
    ScopedCodePage::Switch(1252);
  }

  void Install() {
    filesBefore = Files();
    hklmBefore = Keys(os::kHkeyLocalMachine);
    hkcuBefore = Keys(os::kHkeyCurrentUser);
    TSetupList list;
    list.SetText("\\" SJ_SEISEKIHYOU "\r\n" SJ_SEISEKIHYOU "\r\n" SJ_SEISEKIHYOU
                 " 1.0\r\n"
                 ":INSTALL\r\n" SJ_SOFUTO ".txt\r\n" SJ_REPOOTO ".txt\r\n" SJ_TESUTO
                 ".exe\r\n:\r\n"
                 ":WIN\r\nuninst.exe\r\n:\r\n"
                 ":SHORTCUTS\r\n" SJ_TESUTO "\r\n" SJ_TESUTO
                 ".exe\r\n:\r\n"
                 ":reg\r\nHKEY_CURRENT_USER\r\nSoftware\\" SJ_SEISEKIHYOU "\\" SJ_JUU SJ_NOU
                 "\r\nPath\r\n<RUN>\r\n:\r\n"
                 ":UNINSTALL\r\n" SJ_SEISEKIHYOU "\r\n" SJ_SEISEKIHYOU " 1.0\r\nuninst.exe\r\nr\r\n");
    NoWizard wizard;
    RunInstallation(list, wizard);
    ForgetLogForTests();
  }

  std::map<std::string, std::string> filesBefore;
  Lines hklmBefore, hkcuBefore;
};

TEST_F(DoubleByteInstall, EverythingLandsUnderItsWholeName) {
  Install();
  EXPECT_EQ(Shared().InstallDir, kInstallDir);
  EXPECT_EQ(os::fake::List("C:\\Program Files"), Lines{SJ_SEISEKIHYOU});  // no stray 成績 or 十
  EXPECT_EQ(os::fake::List(kInstallDir),
            (Lines{SJ_SOFUTO ".txt", SJ_REPOOTO ".txt", SJ_TESUTO ".exe", "unin.ini"}));
  EXPECT_EQ(os::fake::Content(kInstallDir + "\\" SJ_REPOOTO ".txt"), SJ_REPOOTO ".txt");
  EXPECT_EQ(os::fake::List(kPrograms), Lines{SJ_SEISEKIHYOU});
  const std::string link = std::string(kPrograms) + "\\" SJ_SEISEKIHYOU "\\" SJ_TESUTO ".lnk";
  const auto properties = os::fake::LinkAt(link);
  ASSERT_TRUE(properties) << "no shortcut in the group";
  EXPECT_EQ(properties->path, kInstallDir + "\\" SJ_TESUTO ".exe");
  EXPECT_EQ(properties->workingDirectory, kInstallDir + "\\");
  EXPECT_TRUE(os::fake::Exists("C:\\WINDOWS\\Temp\\qvsetup_" SJ_SEISEKIHYOU "1.0.txt"));
  const auto command = os::fake::RegStringAt(os::kHkeyLocalMachine, kUninstallKey, "UninstallString");
  ASSERT_TRUE(command);
  EXPECT_EQ(*command, "\"C:\\WINDOWS\\uninst.exe\" \"" + kDataFile + "\"");
  const auto path =
      os::fake::RegStringAt(os::kHkeyCurrentUser, "Software\\" SJ_SEISEKIHYOU "\\" SJ_JUU SJ_NOU, "Path");
  ASSERT_TRUE(path);
  EXPECT_EQ(*path, kInstallDir);
  EXPECT_EQ(Keys(os::kHkeyCurrentUser, "Software\\" SJ_SEISEKIHYOU),
            Lines{"Software\\" SJ_SEISEKIHYOU "\\" SJ_JUU SJ_NOU});
}

TEST_F(DoubleByteInstall, RemovalThroughTheEntrysCommandLeavesNothing) {
  Install();
  const auto command = os::fake::RegStringAt(os::kHkeyLocalMachine, kUninstallKey, "UninstallString");
  ASSERT_TRUE(command);
  const std::string arguments = command->substr(command->find(' ') + 1);
  os::fake::AnswerNextBoxes({os::kIdYes, os::kIdOk});
  NoProgress progress;
  EXPECT_EQ(RunUninstall(arguments, progress), kUninstallDone);
  std::map<std::string, std::string> now = Files();
  for (const std::string kept :
       {"C:\\WINDOWS\\uninst.exe", "C:\\WINDOWS\\Temp\\qvsetup_" SJ_SEISEKIHYOU "1.0.txt",
        "C:\\WINDOWS\\Temp\\qvuninst_" SJ_SEISEKIHYOU "1.0.txt"})
    EXPECT_EQ(now.erase(kept), 1u) << kept;
  EXPECT_EQ(now, filesBefore);
  EXPECT_EQ(Keys(os::kHkeyLocalMachine), hklmBefore);
  EXPECT_EQ(Keys(os::kHkeyCurrentUser), hkcuBefore);
}

TEST_F(DoubleByteInstall, AStaleCachedFileIsFoundInAFolderWithLettersAsSecondBytes) {
  Shared().InstallDir = "C:\\Program Files\\" SJ_TESUTO;
  const std::string stale = Shared().InstallDir + "\\" SJ_TESUTO ".MCC";
  os::fake::AddFile(stale, "left by an earlier install");
  os::fake::AddFile(Shared().InstallDir + "\\" SJ_TESUTO ".exe", "old");
  Install();
  EXPECT_EQ(os::fake::Content(Shared().InstallDir + "\\" SJ_TESUTO ".exe"), SJ_TESUTO ".exe");
  EXPECT_FALSE(os::fake::Exists(stale));
}

TEST(DoubleByteRemovalRules, NamesAreJudgedByWholeCharacters) {
  os::fake::Reset();
  ScopedCodePage scope(932);
  const TRemovalFolders folders{"C:\\WINDOWS", "C:\\WINDOWS\\SYSTEM32", "C:\\Program Files", kPrograms};
  struct Row {
    const char* path;
    const char* installDir;
    PathVerdict verdict;
  };
  const Row rows[] = {
      {"C:\\Program Files\\" SJ_SEISEKIHYOU "\\" SJ_REPOOTO ".txt", "C:\\Program Files\\" SJ_SEISEKIHYOU,
       PathVerdict::Remove},
      {"C:\\Program Files\\" SJ_NOU "\\a.txt", "C:\\Program Files\\" SJ_NOU "\\", PathVerdict::Remove},
      // Upper case made テスト and ウスエ one folder: a data file could reach the other program's.
      {"C:\\Program Files\\" SJ_TESUTO "\\a.txt", "C:\\Program Files\\" SJ_USUE, PathVerdict::Outside},
      {"C:\\Program Files\\" SJ_SEISEKI "\\a|b.txt", "C:\\Program Files\\" SJ_SEISEKI, PathVerdict::Unsafe},
      {"C:\\Program Files\\" SJ_SEISEKI "\\..\\x.txt", "C:\\Program Files\\" SJ_SEISEKI, PathVerdict::Outside},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.path);
    EXPECT_EQ(JudgePath(row.path, row.installDir, folders), row.verdict);
  }
  EXPECT_EQ(InstallFolderProblem("C:\\Program Files\\" SJ_NOU "\\" SJ_JUU, folders), "");
  EXPECT_TRUE(IsSafeKeyPath("Software\\" SJ_SEISEKIHYOU "\\" SJ_NOU));
  EXPECT_FALSE(IsSafeKeyPath("Software\\" SJ_SEISEKIHYOU "\\\\x"));
  EXPECT_FALSE(IsSafeKeyPath("Software\\x\\"));
}

TEST(DoubleByteWininit, NinetyFiveFamilyLinesKeepDoubleByteNames) {
  os::fake::Reset();
  ResetWinVersionCacheForTests();
  ScopedCodePage scope(932);
  os::fake::SetVersion({4, 10, 1998, 1, ""});
  ResetWinVersionCacheForTests();
  const std::string folder = "C:\\" SJ_TESUTO;
  os::fake::AddFile(folder + "\\DEMO.DLL", "old");  // 8.3 names all through: the lines name them as they are
  os::fake::AddFile(folder + "\\DEMO.MCC", "new");
  EXPECT_TRUE(ScheduleReplace(folder + "\\DEMO.BAK", folder + "\\DEMO.MCC", folder + "\\DEMO.DLL"));
  EXPECT_EQ(os::fake::Content("C:\\WINDOWS\\WININIT.INI"),
            "[RENAME]\r\nNUL=C:\\" SJ_TESUTO "\\DEMO.DLL\r\nC:\\" SJ_TESUTO "\\DEMO.DLL=C:\\" SJ_TESUTO
            "\\DEMO.MCC\r\n");
  EXPECT_TRUE(IsRenamePending(folder + "\\demo.dll"));
  EXPECT_FALSE(IsRenamePending("C:\\" SJ_USUE "\\DEMO.DLL"));
  ResetWinVersionCacheForTests();
}

}  // namespace
