// A cancelled, failed or interrupted install run puts the in-memory machine
// back byte for byte: cancelled at every question, stopped by each kind of
// failure, and cut by a power loss at every call that changes the machine
// and restored at the next start.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "engine/DelayedReplacement.h"
#include "engine/ExitCode.h"
#include "engine/InstallList.h"
#include "engine/InstallLog.h"
#include "engine/InstallRun.h"
#include "engine/RunJournal.h"
#include "engine/SetupState.h"
#include "engine/TextFile.h"
#include "os/OsRegistry.h"
#include "os/OsShell.h"
#include "os/OsUi.h"
#include "os/fake/FakeControl.h"
#include "os/fake/FakeRegistryControl.h"
#include "os/fake/FakeUiControl.h"
#include "sys/PathText.h"
#include "sys/SetupError.h"
#include "sys/WindowsVersion.h"
#include "tests/unit/ProgramTestUtil.h"

namespace {

constexpr char kClsid[] = "CLSID\\{D3E0}";
constexpr os::Hkey kRoots[] = {os::kHkeyClassesRoot, os::kHkeyCurrentUser, os::kHkeyLocalMachine};

// The server writes its class key when registered and takes it away when
// unregistered; when asked, it keeps the files it loads in use.
bool serverHoldsFiles = false;
std::int32_t RegisterDemoServer() {
  os::fake::SetRegString(os::kHkeyClassesRoot, kClsid, "", "Demo");
  if (serverHoldsFiles)
    for (const char* path : {"C:\\WINDOWS\\SYSTEM32\\shared.dll", "C:\\Program Files\\Demo\\demo.exe"})
      os::fake::SetInUse(path, true);
  return 0;
}
std::int32_t UnregisterDemoServer() {
  os::Hkey key = 0;
  if (os::RegOpenKeyExA(os::kHkeyClassesRoot, "CLSID", os::kKeyAllAccess, key) == 0) {
    os::RegDeleteKeyA(key, "{D3E0}");
    os::RegCloseKey(key);
  }
  return 0;
}

// Everything of the machine but the Windows temp folder (the log, the private folders).
using Machine = std::map<std::string, std::string>;
void AddFiles(const std::string& folder, Machine& m) {
  for (const std::string& name : os::fake::List(folder)) {
    const std::string path = folder + "\\" + name;
    if (UpperText(path) == "C:\\WINDOWS\\TEMP") continue;
    const std::uint32_t attributes = os::fake::Attributes(path);
    std::string& entry = m[UpperText(path)];
    entry = name + " " + std::to_string(attributes) + " " + std::to_string(os::fake::LastWriteTime(path).ticks);
    if (attributes & os::kAttrDirectory)
      AddFiles(path, m);
    else
      entry += " " + os::fake::Content(path);
  }
}
void AddKeys(os::Hkey root, const std::string& path, Machine& m) {
  m["key " + std::to_string(root) + "\\" + path] = "";
  for (const std::string& name : os::fake::RegValueNames(root, path)) {
    const os::fake::RegValue v = *os::fake::RegValueAt(root, path, name);
    m["value " + std::to_string(root) + "\\" + path + "\\" + name] = std::to_string(v.type) + " " + v.data;
  }
  for (const std::string& sub : os::fake::RegSubKeys(root, path)) AddKeys(root, path.empty() ? sub : path + "\\" + sub, m);
}
// What differs, one line a difference; empty when nothing does.
std::string Differences(const Machine& now, const Machine& then) {
  std::string out;
  for (const auto& [what, state] : now)
    if (auto old = then.find(what); old == then.end() || old->second != state) out += "now " + what + ": " + state + "\n";
  for (const auto& [what, state] : then)
    if (!now.count(what)) out += "gone " + what + ": " + state + "\n";
  return out;
}

Machine TheMachine() {
  Machine m;
  AddFiles("C:", m);
  for (os::Hkey root : kRoots) AddKeys(root, "", m);
  return m;
}

// Something of every kind a run changes: files new and replaced (a read-only
// shared library in the System folder among them), a file in use that must
// wait for the restart, a "*" file that stays, a file the list removes, the
// system backup, a server, shortcuts, the uninstall entry, registry values
// replaced and created, and the uninstall data file.
constexpr char kList[] =
    "\\Demo\r\nDemo\r\nDemo 1.0\r\n:SYSBACKUP\r\n:\r\n"
    ":REMOVEFILES\r\n<WINDIR>old.ini\r\n:\r\n"
    ":INSTALL\r\ndemo.ex_\r\n*readme.txt\r\nbusy.dat\r\n:\r\n"
    ":WIN\r\ndemo.dll\r\n:\r\n"
    ":SYSTEM\r\nshared.dll\r\n:\r\n"
    ":REGSVR\r\ndemo.dll\r\n:\r\n"
    ":SHORTCUTS\r\nDemo\r\ndemo.exe\r\n:\r\n"
    ":reg\r\nHKEY_LOCAL_MACHINE\r\nSoftware\\Demo\r\nVersion\r\n1.0\r\n"
    "HKEY_CURRENT_USER\r\nSoftware\\Demo\\Settings\r\nRuns\r\n#1#\r\n:\r\n"
    ":UNINSTALL\r\nDemo\r\nDemo 1.0\r\nuninst.exe\r\nr\r\n";

class Rollback : public ::testing::TestWithParam<int> {
 protected:
  void SetUp() override { Prepare(); }
  void TearDown() override { os::OleUninitialize(); }

  void Prepare() {
    if (prepared_) os::OleUninitialize();
    prepared_ = true;
    programtest::FreshInstall();
    os::fake::SetVersion(GetParam() == kWin98 ? os::OsVersionInfo{4, 10, 0x040A07CE, 1, " "}
                                              : os::OsVersionInfo{5, 1, 2600, 2, "Service Pack 2"});
    ResetWinVersionCacheForTests();
    os::OleInitialize();
    for (const char* name : {"demo.ex_", "readme.txt", "busy.dat", "demo.dll", "shared.dll"})
      os::fake::AddFile(std::string("C:\\SETUP\\") + name, std::string("new ") + name);
    os::fake::SetLibraryLoader([](const std::string& path) -> std::optional<std::map<std::string, os::Proc>> {
      if (UpperText(path) != "C:\\WINDOWS\\DEMO.DLL") return std::nullopt;
      return std::map<std::string, os::Proc>{
          {"DllRegisterServer", reinterpret_cast<os::Proc>(&RegisterDemoServer)},
          {"DllUnregisterServer", reinterpret_cast<os::Proc>(&UnregisterDemoServer)}};
    });
    os::fake::AddFile("C:\\WINDOWS\\SYSTEM32\\shared.dll", "old shared", os::kAttrReadonly | os::kAttrArchive);
    os::fake::SetLastWriteTime("C:\\WINDOWS\\SYSTEM32\\shared.dll", os::fake::MakeFileTime(2001, 5, 6));
    os::fake::AddFile("C:\\Program Files\\Demo\\readme.txt", "old readme", os::kAttrReadonly);
    os::fake::AddFile("C:\\Program Files\\Demo\\busy.dat", "old busy");
    os::fake::SetInUse("C:\\Program Files\\Demo\\busy.dat", true);
    os::fake::AddFile("C:\\WINDOWS\\old.ini", "old ini");
    os::fake::AddFile("C:\\CONFIG.SYS", "files=40", os::kAttrHidden);
    os::fake::AddFile("C:\\WINDOWS\\CONFIG.QVS", "older backup");
    os::fake::SetRegString(os::kHkeyLocalMachine, "Software\\Demo", "Version", "0.9");
    os::fake::AddRegKey(os::kHkeyCurrentUser, "Software");
    os::fake::AddRegKey(os::kHkeyClassesRoot, "CLSID");
    before = TheMachine();
  }

  void Run(const std::string& list = kList) {
    TSetupList setupList;
    setupList.SetText(list);
    programtest::NoWizard wizard;
    RunInstallation(setupList, wizard);
  }
  // Cancel is pressed before the run; the question is answered No until
  // its `yesAt`-th time (0: never Yes), and Cancel pressed again after each No.
  // How many times it was asked.
  int RunCancelledAt(int yesAt) {
    os::fake::AddForeignWindow("Copy", "copy");
    os::SetAppMessageHook([](os::Hwnd, std::uint32_t message, std::uintptr_t, std::intptr_t) {
      if (message == 0x0401) Shared().CancelPressed = true;
      return message == 0x0401;
    });
    int asked = 0;
    os::fake::SetBoxAnswerer([&](const std::string& text, std::uint32_t) -> std::optional<int> {
      if (text != "Cancel Setup?") return std::nullopt;
      if (++asked == yesAt) return os::kIdYes;
      os::PostMessageA(os::FindWindowA("Copy", "copy"), 0x0401, 0, 0);
      return os::kIdNo;
    });
    Shared().CancelPressed = true;
    Run();
    os::SetAppMessageHook(nullptr);
    os::fake::SetBoxAnswerer(nullptr);
    return asked;
  }
  static std::vector<std::string> Log() { return programtest::DemoLog(); }
  static bool Logged(const std::string& line) { return programtest::DemoLogged(line); }
  Machine before;

 private:
  bool prepared_ = false;
};

TEST_P(Rollback, ACancelAtEveryQuestionLeavesTheMachineAsItWas) {
  const int questions = RunCancelledAt(0);
  ASSERT_GT(questions, 10);
  for (int yesAt = 1; yesAt <= questions; ++yesAt) {
    SCOPED_TRACE("Yes at question " + std::to_string(yesAt));
    Prepare();
    RunCancelledAt(yesAt);
    EXPECT_EQ(Differences(TheMachine(), before), "");
    EXPECT_EQ(os::fake::Boxes().back().text, "Setup did not complete.");
    EXPECT_EQ(Shared().Outcome, RunOutcome::Cancelled);
    EXPECT_FALSE(Shared().RestartNeeded);
  }
  // The last question comes after the shortcuts: every kind of step was undone, and logged.
  for (const char* line : {"Unregister Server: C:\\WINDOWS\\demo.dll", "Removed: C:\\WINDOWS\\demo.dll",
                           "Restored: C:\\WINDOWS\\SYSTEM32\\shared.dll", "Restored: C:\\WINDOWS\\old.ini",
                           "Removed: C:\\Program Files\\Demo\\demo.exe", "Removed: C:\\Program Files\\Demo\\busy.MCC",
                           "Replacement cancelled: C:\\Program Files\\Demo\\busy.dat",
                           "Removed: HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Demo"})
    EXPECT_TRUE(Logged(line)) << line;
}

TEST_P(Rollback, AFailureOfEachKindPutsTheMachineBack) {
  const std::string list = kList;
  const struct {
    const char* what;
    std::string list;
    std::function<void()> arrange;
  } cases[] = {
      {"a number that does not convert", list.substr(0, list.find("#1#")) + "#1x#" + list.substr(list.find("#1#") + 3),
       [] {}},
      {"a value the registry refuses", list.substr(0, list.find("Runs")) + std::string(16384, 'x') +
                                           list.substr(list.find("Runs") + 4),
       [] {}},
      {"an uninstall data file that cannot be written", list,
       [] {
         os::fake::AddFile("C:\\Program Files\\Demo\\unin.ini", "older data");
         os::fake::SetInUse("C:\\Program Files\\Demo\\unin.ini", true);
       }},
      {"a section without its terminator", list + ":RUNFILE\r\n", [] {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Prepare();
    c.arrange();
    before = TheMachine();
    EXPECT_THROW(Run(c.list), SetupError);
    EXPECT_EQ(Differences(TheMachine(), before), "");
    EXPECT_FALSE(Shared().RestartNeeded);
    EXPECT_TRUE(Logged("Removed: C:\\Program Files\\Demo\\demo.exe"));
  }
}

// What cannot be put back now waits for the restart, and the user and the exit code say so.
TEST_P(Rollback, FilesInUseAreRestoredAtTheNextStart) {
  const int questions = RunCancelledAt(0);
  Prepare();
  serverHoldsFiles = true;
  RunCancelledAt(questions);
  serverHoldsFiles = false;
  EXPECT_EQ(os::fake::Boxes().back().text,
            "Setup did not complete. Restart Windows to finish restoring the files that were in use.");
  EXPECT_EQ(ExitCodeOf(Shared().Outcome, Shared().RestartNeeded), exitcode::kRestartNeeded);
  EXPECT_TRUE(Logged("Restored at the next start of Windows: C:\\WINDOWS\\SYSTEM32\\shared.dll"));
  EXPECT_TRUE(Logged("Removed at the next start of Windows: C:\\Program Files\\Demo\\demo.exe"));
  EXPECT_TRUE(IsRenamePending("C:\\WINDOWS\\SYSTEM32\\shared.dll"));
  EXPECT_TRUE(IsRenamePending("C:\\Program Files\\Demo\\demo.exe"));
  EXPECT_EQ(os::fake::Content(PendingReplacements::Read().CachedFileFor("C:\\WINDOWS\\SYSTEM32\\shared.dll")),
            "old shared");
}

constexpr char kJournalsKey[] = "SOFTWARE\\Marrowfield\\Setup\\Journals";
constexpr char kJournal[] = "C:\\WINDOWS\\Temp\\QVINST1\\QVJOURNL.TXT";

TEST_P(Rollback, APowerLossAtEveryCallIsUndoneAtTheNextStart) {
  const int start = os::fake::ChangingCalls();
  Run();
  const int calls = os::fake::ChangingCalls() - start;
  int installed = 0;
  for (int cut = 1; cut <= calls; ++cut) {
    SCOPED_TRACE("power lost at call " + std::to_string(cut));
    Prepare();
    os::fake::CutPowerAtCall(cut);
    EXPECT_THROW(Run(), os::fake::PowerLoss);
    os::fake::PowerRestored();
    const bool dataWritten = os::fake::Exists("C:\\Program Files\\Demo\\unin.ini");
    const bool journalOpen = os::fake::Exists(kJournal);
    // The next start: a new process, which answers the box Yes.
    Shared() = SetupState{};
    ForgetLogForTests();
    const size_t boxes = os::fake::Boxes().size();
    RecoverUnfinishedRuns();
    if (!Differences(TheMachine(), before).empty()) {
      // Only a run that had ended its journal may stay: it is installed.
      EXPECT_TRUE(dataWritten && !journalOpen) << Differences(TheMachine(), before);
      ++installed;
      continue;
    }
    if (journalOpen && os::fake::Boxes().size() > boxes) {
      EXPECT_EQ(os::fake::Boxes()[boxes].text,
                "Setup of Demo 1.0 into C:\\Program Files\\Demo did not finish. Restore this computer as it was "
                "before it?");
    }
    EXPECT_TRUE(os::fake::RegSubKeys(os::kHkeyLocalMachine, kJournalsKey).empty());
    EXPECT_EQ(installed, 0);  // the run ends its journal once, at its end
  }
  EXPECT_GT(installed, 0);
}

// A journal that a running setup holds open is not restored, nor is one that
// no administrator recorded (planted by a user in the shared temporary folder).
TEST_P(Rollback, OnlyAnUnfinishedRunsOwnJournalIsRestored) {
  os::fake::AddFile("C:\\WINDOWS\\Temp\\QVINST7\\QVJOURNL.TXT",
                    "QVJOURNAL 1\r\nx\r\nC:\\\r\nN\tC:\\WINDOWS\\SYSTEM32\\shared.dll\r\n");
  os::fake::CutPowerAtCall(40);
  EXPECT_THROW(Run(), os::fake::PowerLoss);
  os::fake::PowerRestored();
  const std::string journal = kJournal;
  {
    os::UniqueFile alive(os::CreateFileA(journal, os::Access::Write, os::Disposition::OpenExisting));
    ASSERT_TRUE(alive);
    RecoverUnfinishedRuns();
    EXPECT_TRUE(os::fake::Boxes().empty());
  }
  os::fake::AnswerNextBoxes({os::kIdNo});
  RecoverUnfinishedRuns();  // No: kept for the next start
  EXPECT_TRUE(os::fake::Exists(journal));
  RecoverUnfinishedRuns();
  EXPECT_EQ(Differences(TheMachine(), before), "");
  EXPECT_EQ(os::fake::Boxes().size(), 2u);
}

INSTANTIATE_TEST_SUITE_P(Windows, Rollback, ::testing::Values(kWin98, kWinXP),
                         [](const auto& info) { return info.param == kWin98 ? "Win98" : "WinXP"; });

}  // namespace
