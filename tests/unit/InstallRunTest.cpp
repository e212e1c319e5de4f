// The install run over the in-memory Windows: file sections with renaming,
// keep-existing and caching, progress, cancellation, the uninstall data,
// registry items, servers, shortcuts, the extra setup program and the end.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "engine/DelayedReplacement.h"
#include "engine/InstallLog.h"
#include "engine/InstallRun.h"
#include "engine/SetupState.h"
#include "engine/TextFile.h"
#include "os/OsDelayedFiles.h"
#include "os/OsFiles.h"
#include "os/OsRegistry.h"
#include "os/OsShell.h"
#include "os/fake/FakeControl.h"
#include "os/fake/FakeDirControl.h"
#include "os/fake/FakeRegistryControl.h"
#include "os/fake/FakeShellControl.h"
#include "os/fake/FakeUiControl.h"
#include "sys/Folders.h"
#include "sys/PathText.h"
#include "sys/SetupError.h"
#include "sys/WindowsVersion.h"
#include "tests/unit/ProgramTestUtil.h"

namespace {

constexpr const char* kPrograms = programtest::kProgramsFolder;
constexpr char kUninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Demo";

struct Host : InstallHost {
  std::vector<std::string> steps;
  std::vector<int> progress;
  bool shown = false, below = false, copyClosed = false, wizardClosed = false;
  int presented = 0;
  void ShowCopyWindow(bool belowWizard) override { shown = true, below = belowWizard; }
  void ShowStep(const std::string& fileName) override { steps.push_back(fileName); }
  void ShowProgress(int percent) override { progress.push_back(percent); }
  void PresentProgress() override { ++presented; }
  void CloseCopyWindow() override { copyClosed = true; }
  void CloseWizard() override { wizardClosed = true; }
  os::Hwnd WizardWindow() override { return 0x4242; }
  os::Hwnd ApplicationWindow() override { return 0x4444; }
  std::string DestinationText() override { return "C:\\Program Files\\Demo\\"; }
};

class InstallRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    programtest::FreshInstall();
    os::OleInitialize();  // as the program does at its start
  }
  void TearDown() override { os::OleUninitialize(); }

  void Source(const std::string& name, const std::string& content) { os::fake::AddFile("C:\\SETUP\\" + name, content); }
  void Run(const std::string& body) {
    list.SetText("\\Demo\r\nDemo\r\nDemo 1.0\r\n" + body);
    RunInstallation(list, host);
  }
  void Version(std::uint32_t platform, std::uint32_t major, std::uint32_t minor) {
    os::fake::SetVersion(os::OsVersionInfo{major, minor, 0, platform, ""});
    ResetWinVersionCacheForTests();
  }
  static std::vector<std::string> Lines(const std::string& path) {
    std::vector<std::string> lines;
    ReadTextLines(path, lines);
    return lines;
  }
  static std::vector<std::string> Log() { return programtest::DemoLog(); }
  static bool Logged(const std::string& line) { return programtest::DemoLogged(line); }
  static std::vector<std::string> BoxTexts() {
    std::vector<std::string> texts;
    for (auto& b : os::fake::Boxes()) texts.push_back(b.text);
    return texts;
  }

  TSetupList list;
  Host host;
};

TEST_F(InstallRunTest, FilesAreRenamedKeptOrCachedAndRecorded) {
  Source("demo.ex_", "new exe");
  Source("lib.DL_", "new lib");
  Source("readme.txt", "new readme");
  Source("busy.dat", "new busy");
  os::fake::AddFile("C:\\Program Files\\Demo\\readme.txt", "old readme", os::kAttrReadonly);
  os::fake::AddFile("C:\\Program Files\\Demo\\busy.dat", "old busy");
  os::fake::SetInUse("C:\\Program Files\\Demo\\busy.dat", true);
  Source("win.ini.txt", "w");
  Run(":INSTALL\r\ndemo.ex_\r\nlib.DL_\r\n*readme.txt\r\nbusy.dat\r\nmissing.txt\r\n:\r\n:WIN\r\nwin.ini.txt\r\n:\r\n"
      ":UNINSTALL\r\nDemo\r\nDemo 1.0\r\nuninst.exe\r\nr\r\n");

  EXPECT_EQ(os::fake::Content("C:\\Program Files\\Demo\\demo.exe"), "new exe");
  EXPECT_EQ(os::fake::Content("C:\\Program Files\\Demo\\lib.dll"), "new lib");
  EXPECT_EQ(os::fake::Content("C:\\Program Files\\Demo\\readme.txt"), "old readme");  // "*": kept
  EXPECT_EQ(os::fake::Attributes("C:\\Program Files\\Demo\\readme.txt"), os::kAttrArchive);
  // In use: the new file waits beside it, for the next start of Windows.
  EXPECT_EQ(os::fake::Content("C:\\Program Files\\Demo\\busy.dat"), "old busy");
  EXPECT_EQ(os::fake::Content("C:\\Program Files\\Demo\\busy.MCC"), "new busy");
  EXPECT_TRUE(Shared().RebootNeeded);
  EXPECT_TRUE(IsRenamePending("C:\\Program Files\\Demo\\busy.dat"));
  EXPECT_EQ(os::fake::Content("C:\\WINDOWS\\win.ini.txt"), "w");

  std::vector<std::string> log = Log();
  for (const char* line : {"Installing Program Files", "Copy: C:\\Program Files\\Demo\\demo.exe",
                           "Copy: C:\\Program Files\\Demo\\readme.txt", "Caching: C:\\Program Files\\Demo\\busy.dat",
                           "Caching: C:\\Program Files\\Demo\\missing.txt",
                           "Caching failed: C:\\Program Files\\Demo\\missing.txt", "Installing Windows Files"})
    EXPECT_TRUE(Logged(line)) << line;
  EXPECT_EQ(host.steps, (std::vector<std::string>{"demo.ex_", "lib.DL_", "readme.txt", "busy.dat", "missing.txt",
                                                   "win.ini.txt"}));
  // Uninstall data: title, folder, every destination, the empty line, CR LF.
  EXPECT_EQ(Lines("C:\\Program Files\\Demo\\unin.ini"),
            (std::vector<std::string>{"Demo 1.0", "C:\\Program Files\\Demo", "C:\\Program Files\\Demo\\demo.exe",
                                      "C:\\Program Files\\Demo\\lib.dll", "C:\\Program Files\\Demo\\readme.txt",
                                      "C:\\Program Files\\Demo\\busy.dat", "C:\\Program Files\\Demo\\missing.txt",
                                      "C:\\WINDOWS\\win.ini.txt", ""}));
  EXPECT_EQ(os::fake::Content("C:\\Program Files\\Demo\\unin.ini").substr(0, 10), "Demo 1.0\r\n");
  EXPECT_EQ(os::fake::RegStringAt(os::kHkeyLocalMachine, kUninstallKey, "UninstallString").value_or(""),
            "\"C:\\WINDOWS\\uninst.exe\" \"C:\\Program Files\\Demo\\unin.ini\"");
  EXPECT_EQ(os::fake::RegStringAt(os::kHkeyLocalMachine, kUninstallKey, "DisplayName").value_or(""), "Demo 1.0");
  // Restart asked (a file was cached), answered OK by default.
  EXPECT_EQ(BoxTexts(), (std::vector<std::string>{"Installation must reboot your computer."}));
  EXPECT_TRUE(Shared().RebootFlag);
  EXPECT_EQ(Shared().RestartProgram, "");  // no winexit.exe installed: Windows restarts directly
  EXPECT_TRUE(host.wizardClosed);
}

TEST_F(InstallRunTest, EveryCopyEndsWithTheArchiveAttributeAlone) {
  os::fake::AddFile("C:\\SETUP\\plain.txt", "p");
  os::fake::AddFile("C:\\SETUP\\locked.txt", "l", os::kAttrReadonly | os::kAttrHidden);  // as from a CD
  os::fake::AddFile("C:\\SETUP\\bare.txt", "b", os::kAttrNormal);
  Source("old.txt", "new");
  os::fake::AddFile("C:\\Program Files\\Demo\\old.txt", "old", os::kAttrReadonly);
  Run(":INSTALL\r\nplain.txt\r\nlocked.txt\r\nbare.txt\r\nold.txt\r\n:\r\n");
  for (const char* name : {"plain.txt", "locked.txt", "bare.txt", "old.txt"})
    EXPECT_EQ(os::fake::Attributes(std::string("C:\\Program Files\\Demo\\") + name), os::kAttrArchive) << name;
  EXPECT_EQ(os::fake::Content("C:\\Program Files\\Demo\\old.txt"), "new");
}

TEST_F(InstallRunTest, PendingReplacementIsRefreshedAndStaleCacheRemoved) {
  Source("a.dat", "newer");
  Source("b.dat", "b");
  os::fake::AddFile("C:\\Program Files\\Demo\\a.MCC", "older cached");
  os::fake::AddFile("C:\\Program Files\\Demo\\b.MCC", "stale");
  ScheduleReplace("C:\\Program Files\\Demo\\a.BAK", "C:\\Program Files\\Demo\\a.MCC", "C:\\Program Files\\Demo\\a.dat");
  Run(":INSTALL\r\na.dat\r\nb.dat\r\n\r\n:\r\n");
  EXPECT_EQ(os::fake::Content("C:\\Program Files\\Demo\\a.MCC"), "newer");
  EXPECT_TRUE(Logged("Updating: C:\\Program Files\\Demo\\a.MCC"));
  EXPECT_FALSE(os::fake::Exists("C:\\Program Files\\Demo\\b.MCC"));
  // An empty line is an entry: the folder itself, which cannot be copied.
  EXPECT_TRUE(Logged("Caching: C:\\Program Files\\Demo\\"));
  EXPECT_TRUE(Logged("Caching failed: C:\\Program Files\\Demo\\"));
}

// From the run's own temporary folder a file is moved into place, and then has exactly the access
// a file created there has; a source that a later entry names again is copied until that entry.
TEST_F(InstallRunTest, PackageFilesAreMovedIntoPlaceWithTheirFoldersSecurity) {
  const std::vector<os::Trustee> own{os::Trustee::Administrators, os::Trustee::LocalSystem,
                                     os::Trustee::CurrentUser};
  const std::vector<os::Trustee> admins{os::Trustee::Administrators};
  struct Row {
    std::uint32_t platform, major;
    bool moves;
  };
  for (const Row& row : {Row{2, 5, true}, Row{2, 4, false}, Row{1, 4, true}}) {
    SCOPED_TRACE("platform " + std::to_string(row.platform) + ", version " + std::to_string(row.major));
    SetUp();
    Version(row.platform, row.major, 0);
    const std::string temp = "C:\\WINDOWS\\TEMP\\QVINST1";
    ASSERT_TRUE(os::CreateDirectoryForA(temp, own));
    ASSERT_TRUE(os::CreateDirectoryForA("C:\\Program Files", admins));
    Shared().TempInstallDir = Shared().SourceDir = temp;
    for (const char* name : {"a.txt", "twice.dll", "b.dat"}) os::fake::AddFile(temp + "\\" + name, name);
    const os::FileTime written = os::fake::MakeFileTime(2001, 2, 3, 4, 5, 6);
    os::fake::SetLastWriteTime(temp + "\\a.txt", written);
    // An earlier install's replacement of b.dat still waits for the NT restart: it gets the new content.
    os::fake::AddFile("C:\\Program Files\\Demo\\b.MCC", "older");
    ScheduleReplace("C:\\Program Files\\Demo\\b.BAK", "C:\\Program Files\\Demo\\b.MCC",
                    "C:\\Program Files\\Demo\\b.dat");
    Run(":INSTALL\r\na.txt\r\ntwice.dll\r\nb.dat\r\n:\r\n:SYSTEM\r\ntwice.dll\r\n:\r\n");

    const std::string dest = "C:\\Program Files\\Demo\\";
    for (const char* name : {"a.txt", "twice.dll", "b.dat"}) {
      EXPECT_EQ(os::fake::Content(dest + name), name);
      EXPECT_TRUE(Logged("Copy: " + dest + name)) << name;
      EXPECT_EQ(os::fake::Attributes(dest + name), os::kAttrArchive) << name;
      if (row.platform == 2) {  // the 95 family has no security on files
        EXPECT_EQ(os::fake::FolderTrustees(dest + name), admins)
            << name << " has the access of a file made there";
      }
    }
    EXPECT_EQ(os::fake::LastWriteTime(dest + "a.txt").ticks, written.ticks);
    if (row.platform == 2) {
      EXPECT_EQ(os::fake::Content(dest + "b.MCC"), "b.dat");
    }
    EXPECT_EQ(os::fake::Content(SystemFolder() + "\\twice.dll"), "twice.dll");
    EXPECT_EQ(os::fake::Exists(temp + "\\a.txt"), !row.moves);
    EXPECT_EQ(os::fake::Exists(temp + "\\twice.dll"), !row.moves)
        << "the last entry that names it may move it";
  }
}

TEST(MovesIntoPlaceTest, OnlyAFileNothingElseNeedsOnItsOwnVolume) {
  struct Row {
    const char* what;
    PlacementFacts facts;
    bool moves;
  };
  const PlacementFacts base{"C:\\WINDOWS\\TEMP\\QVINST1\\a.exe",
                            "C:\\Program Files\\Demo\\a.exe",
                            kWinXP,
                            true,
                            false,
                            true,
                            false};
  auto with = [&](auto change) {
    PlacementFacts f = base;
    change(f);
    return f;
  };
  const Row rows[] = {
      {"a new file from the private folder", base, true},
      {"on the first Windows 95", with([](PlacementFacts& f) { f.version = kWin95A; }), true},
      {"NT 4.0 cannot give it its folder's security", with([](PlacementFacts& f) { f.version = kWinNT4; }),
       false},
      {"from the setup folder", with([](PlacementFacts& f) { f.fromPrivateFolder = false; }), false},
      {"named again later", with([](PlacementFacts& f) { f.usedLater = true; }), false},
      {"a file is in its place", with([](PlacementFacts& f) { f.destinationNew = false; }), false},
      {"an extra setup program gets the folder", with([](PlacementFacts& f) { f.sourcesKept = true; }),
       false},
      {"another drive", with([](PlacementFacts& f) { f.destination = "d:\\Demo\\a.exe"; }), false},
      {"the drive in other case", with([](PlacementFacts& f) { f.destination = "c:\\Demo\\a.exe"; }), true},
      {"the same share", with([](PlacementFacts& f) {
         f.source = "\\\\srv\\apps\\t\\a.exe", f.destination = "\\\\SRV\\Apps\\Demo\\a.exe";
       }),
       true},
      {"another share", with([](PlacementFacts& f) {
         f.source = "\\\\srv\\apps\\t\\a.exe", f.destination = "\\\\srv\\apps2\\Demo\\a.exe";
       }),
       false},
  };
  for (const Row& row : rows) EXPECT_EQ(MovesIntoPlace(row.facts), row.moves) << row.what;
}

TEST_F(InstallRunTest, ProgressCountsEntriesAndTheSystemBackup) {
  os::fake::AddFile("C:\\CONFIG.SYS", "files=40", os::kAttrReadonly | os::kAttrHidden);
  Source("a", "a");
  Source("b", "b");
  Run(":SYSBACKUP\r\nOLD\r\n:INSTALL\r\na\r\nb\r\n:\r\n");
  EXPECT_EQ(host.progress, (std::vector<int>{16, 33, 50, 83, 100}));
  EXPECT_EQ(os::fake::Content("C:\\WINDOWS\\CONFIG.OLD"), "files=40");
  EXPECT_EQ(os::fake::Attributes("C:\\CONFIG.SYS"), os::kAttrArchive);
  EXPECT_TRUE(Logged("MSDOS.SYS"));  // logged although there is none
  EXPECT_TRUE(host.shown);
  EXPECT_TRUE(host.below);
  EXPECT_TRUE(host.copyClosed);

  SetUp();
  host = Host{};
  Source("a", "a");
  Run(":INSTALL\r\na\r\n:\r\n:WIN\r\na\r\n:\r\n");  // no backup: the total is the sections' lines
  EXPECT_EQ(host.progress, (std::vector<int>{25, 50}));
  EXPECT_EQ(BoxTexts(), (std::vector<std::string>{"Installation is complete"}));
}

TEST_F(InstallRunTest, CancelAsksAndYesEndsTheRunWithoutUninstallData) {
  Source("a", "a");
  Source("b", "b");
  Shared().CancelPressed = true;
  os::fake::AnswerNextBoxes({os::kIdNo});
  Run(":INSTALL\r\na\r\nb\r\n:\r\n:UNINSTALL\r\nDemo\r\nDemo\r\nu.exe\r\nr\r\n");
  EXPECT_FALSE(Shared().CancelPressed);  // No: cleared, the run goes on
  EXPECT_TRUE(os::fake::Exists("C:\\Program Files\\Demo\\b"));
  EXPECT_TRUE(os::fake::Exists("C:\\Program Files\\Demo\\unin.ini"));

  SetUp();
  host = Host{};
  Source("a", "a");
  Shared().CancelPressed = true;
  os::fake::AnswerNextBoxes({os::kIdYes});
  int presentedAtQuestion = -1;
  os::fake::SetBoxObserver([&](const os::fake::ShownBox&) {
    if (presentedAtQuestion < 0) presentedAtQuestion = host.presented;
  });
  Run(":INSTALL\r\na\r\n:\r\n:UNINSTALL\r\nDemo\r\nDemo\r\nu.exe\r\nr\r\n");
  os::fake::SetBoxObserver({});
  EXPECT_EQ(presentedAtQuestion, 1);  // the copy window caught up before it asked
  EXPECT_EQ(BoxTexts(), (std::vector<std::string>{"Cancel Setup?", "Setup did not complete."}));
  EXPECT_EQ(os::fake::Boxes()[0].owner, 0x4242u);
  EXPECT_EQ(os::fake::Boxes()[0].type, os::kMbYesNo | os::kMbIconQuestion);
  EXPECT_FALSE(os::fake::Exists("C:\\Program Files\\Demo\\a"));
  EXPECT_FALSE(os::fake::Exists("C:\\Program Files\\Demo\\unin.ini"));
  EXPECT_TRUE(host.wizardClosed);
}

long registerCalls = 0;
std::int32_t CountRegister() { return ++registerCalls, 0; }
std::int32_t Unregister() { return 0; }

TEST_F(InstallRunTest, ServersShortcutsAndRegistryItemsAreWrittenAndRecorded) {
  for (const char* dll : {"C:\\WINDOWS\\one.dll", "C:\\WINDOWS\\three.dll"})
    os::fake::AddLibrary(dll, {{"DllRegisterServer", reinterpret_cast<os::Proc>(&CountRegister)},
                              {"DllUnregisterServer", reinterpret_cast<os::Proc>(&Unregister)}});
  registerCalls = 0;
  os::fake::SetRegString(os::kHkeyClassesRoot, ".dem", "", "DemoFile");
  os::fake::SetRegString(os::kHkeyLocalMachine, "Software\\Demo\\Old", "x", "gone");
  os::fake::AddFile("C:\\Program Files\\Demo\\demo.exe", "");
  Run(":REGSVR\r\none.dll\r\ntwo.dll\r\nthree.dll\r\n:\r\n"
      ":SHORTCUTS\r\nDemo\r\ndemo.exe*-x\r\n|NT Only Off\r\ndemo.exe\r\n:\r\n"
      ":reg\r\nHKEY_LOCAL_MACHINE\r\nSoftware\\Demo\r\nPath\r\n<RUN>\r\n"
      "HKEY_CLASSES_ROOT\r\n>.dem<\\shell\\open\\command\r\n\r\n<EXEPARAMS1>\r\n"
      "HKEY_LOCAL_MACHINE\r\nSoftware\\Demo\r\nCount\r\n#10#\r\n:\r\n"
      ":UNINSTALL\r\nDemo\r\nDemo 1.0\r\nuninst.exe\r\ndemo.dat\r\n");
  const std::string menu = std::string(kPrograms) + "\\Demo";
  EXPECT_EQ(registerCalls, 2);
  EXPECT_EQ(os::fake::RegStringAt(os::kHkeyLocalMachine, "Software\\Demo", "regsvr1").value_or(""), "one.dll");
  EXPECT_EQ(os::fake::RegStringAt(os::kHkeyLocalMachine, "Software\\Demo", "regsvr2").value_or(""), "three.dll");
  EXPECT_EQ(os::fake::RegStringAt(os::kHkeyLocalMachine, "Software\\Demo", "smpath").value_or(""), menu);
  EXPECT_TRUE(os::fake::RegKeyExists(os::kHkeyLocalMachine, "Software\\Demo\\Old"));
  EXPECT_EQ(os::fake::RegStringAt(os::kHkeyLocalMachine, "Software\\Demo", "Path").value_or(""), "C:\\Program Files\\Demo");
  EXPECT_EQ(os::fake::RegDwordAt(os::kHkeyLocalMachine, "Software\\Demo", "Count").value_or(0), 10u);
  EXPECT_EQ(os::fake::RegStringAt(os::kHkeyClassesRoot, "DemoFile\\shell\\open\\command", "").value_or(""),
            "\"C:\\Program Files\\Demo\\demo.exe*-x\" \"%1\"");  // RunFile from the first shortcut
  ASSERT_TRUE(os::fake::LinkAt(menu + "\\Demo.lnk"));
  EXPECT_EQ(os::fake::LinkAt(menu + "\\Demo.lnk")->arguments, "-x");
  EXPECT_TRUE(os::fake::LinkAt(menu + "\\NT Only Off.lnk"));  // not NT 4: made without the mark
  // The command names the list's file; the data goes to unin.ini in the folder.
  EXPECT_EQ(os::fake::RegStringAt(os::kHkeyLocalMachine, kUninstallKey, "UninstallString").value_or(""),
            "\"C:\\WINDOWS\\uninst.exe\" \"C:\\Program Files\\Demo\\unin.ini\"");  // where the data is saved
  EXPECT_EQ(Lines("C:\\Program Files\\Demo\\unin.ini"),
            (std::vector<std::string>{"Demo 1.0", "C:\\Program Files\\Demo", menu + "\\Demo.lnk",
                                      menu + "\\NT Only Off.lnk", "+" + menu, "", ":reg", "HKEY_LOCAL_MACHINE",
                                      "Software\\Demo", "Path", "C:\\Program Files\\Demo", "HKEY_CLASSES_ROOT",
                                      "DemoFile\\shell\\open\\command", "",
                                      "\"C:\\Program Files\\Demo\\demo.exe*-x\" \"%1\"", "HKEY_LOCAL_MACHINE",
                                      "Software\\Demo", "Count", "#10#", ":"}));
  EXPECT_TRUE(Logged("Register Server: one.dll"));
  EXPECT_FALSE(Logged("Register Server: two.dll"));
  EXPECT_TRUE(Logged("Shortcut: " + menu + "\\Demo, C:\\Program Files\\Demo\\demo.exe*-x"));
  EXPECT_TRUE(Logged("Reg Add: HKEY_LOCAL_MACHINE, Software\\Demo, Count, #10#"));
  EXPECT_EQ(BoxTexts(), (std::vector<std::string>{"Installation is complete"}));  // no :RUNFILE: nothing offered
}

TEST_F(InstallRunTest, DinkDeletesTheFirstKeyWithWhatTheRunWroteThere) {
  os::fake::AddFile("C:\\WINDOWS\\one.dll", "");
  os::fake::SetRegString(os::kHkeyLocalMachine, "Software\\Demo\\Old", "x", "gone");
  Run(":REGSVR\r\none.dll\r\n:\r\n:DINK\r\n:reg\r\nHKEY_LOCAL_MACHINE\r\nSoftware\\Demo\r\nPath\r\nr\r\n:\r\n");
  EXPECT_FALSE(os::fake::RegKeyExists(os::kHkeyLocalMachine, "Software\\Demo\\Old"));
  EXPECT_FALSE(os::fake::RegStringAt(os::kHkeyLocalMachine, "Software\\Demo", "smpath").has_value());
  EXPECT_FALSE(os::fake::RegStringAt(os::kHkeyLocalMachine, "Software\\Demo", "regsvr1").has_value());
  EXPECT_EQ(os::fake::RegStringAt(os::kHkeyLocalMachine, "Software\\Demo", "Path").value_or(""), "C:\\Program Files\\Demo");
}

TEST_F(InstallRunTest, NtFourSkipsMarkedItems) {
  Version(2, 4, 0);
  os::fake::AddFile("C:\\Program Files\\Demo\\demo.exe", "");
  Run(":SHORTCUTS\r\n|Hidden\r\ndemo.exe\r\n:\r\n:reg\r\nHKEY_LOCAL_MACHINE\r\n|Software\\Demo\\NTOnlyOff\r\nv\r\nx\r\n:\r\n"
      ":UNINSTALL\r\nDemo\r\nDemo\r\nu.exe\r\nr\r\n");
  EXPECT_FALSE(os::fake::LinkAt(std::string(kPrograms) + "\\Demo\\Hidden.lnk"));
  EXPECT_FALSE(os::fake::RegKeyExists(os::kHkeyLocalMachine, "Software\\Demo\\NTOnlyOff"));
  EXPECT_EQ(Lines("C:\\Program Files\\Demo\\unin.ini"),
            (std::vector<std::string>{"Demo 1.0", "C:\\Program Files\\Demo", "+" + std::string(kPrograms) + "\\Demo",
                                      "", ":reg", ":"}));
}

TEST_F(InstallRunTest, TheEndFollowsMarkersFlagsAndAnswers) {
  struct Case {
    std::string name, body, marker;
    bool ctrl;
    std::vector<int> answers;
    std::vector<std::string> boxes;
    bool started;
  } cases[] = {
      {"offer, yes", ":RUNFILE\r\ndemo.exe\r\n", "", false, {os::kIdYes},
       {"Installation is complete, would you like to run Demo 1.0 now?"}, true},
      {"offer, no", ":RUNFILE\r\ndemo.exe\r\n", "", false, {os::kIdNo},
       {"Installation is complete, would you like to run Demo 1.0 now?"}, false},
      {"forced", ":RUNFILE\r\ndemo.exe\r\n:FORCERUN\r\n", "", false, {}, {"Installation is complete, Demo 1.0 will start now."}, true},
      {"forced, Ctrl held", ":RUNFILE\r\ndemo.exe\r\n:FORCERUN\r\n", "", true, {}, {"Installation is complete, Demo 1.0 will start now."}, false},
      {"autorun", ":RUNFILE\r\ndemo.exe\r\n", "autorun.dat", false, {}, {}, true},
      {"batch", ":RUNFILE\r\ndemo.exe\r\n:REBOOT\r\n", "batch.dat", false, {}, {}, false},
      {"no reboot", ":REBOOT\r\n:NOREBOOT\r\n", "", false, {}, {"Installation is complete"}, false},
      {"reboot cancelled", ":REBOOT\r\n", "", false, {os::kIdCancel},
       {"Installation must reboot your computer.", "Installation is complete"}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetUp();
    host = Host{};
    os::fake::AddProgram("C:\\Program Files\\Demo\\demo.exe");
    Source("demo.exe", "demo");
    if (!c.marker.empty()) os::fake::AddFile("C:\\SETUP\\" + c.marker, "");
    os::fake::SetCtrlDown(c.ctrl);
    os::fake::AnswerNextBoxes(c.answers);
    Run(":INSTALL\r\ndemo.exe\r\n:\r\n" + c.body);
    EXPECT_EQ(BoxTexts(), c.boxes);
    EXPECT_EQ(!os::fake::Launches().empty(), c.started);
    EXPECT_FALSE(Shared().RebootFlag);
    EXPECT_EQ(os::fake::RegStringAt(os::kHkeyLocalMachine, "SOFTWARE\\Marrowfield\\BatchInstall", "reboot").has_value(),
              c.marker == "batch.dat");
  }

  SetUp();  // :NOREBOOTNT on NT 4: neither question nor message
  Version(2, 4, 0);
  Run(":REBOOT\r\n:NOREBOOTNT\r\n");
  EXPECT_TRUE(BoxTexts().empty());
  EXPECT_TRUE(Logged("Install Complete"));
}

TEST_F(InstallRunTest, ExtraSetupProgramRunsWithTheSourceFolderAndIsDeleted) {
  os::fake::AddProgram("C:\\Program Files\\Demo\\_setup.exe");
  Source("_setup.exe", "extra");
  Shared().SourceDir = "C:\\Setup Disk";
  os::fake::AddFile("C:\\Setup Disk\\_setup.exe", "extra");
  Run(":INSTALL\r\n_setup.exe\r\n:\r\n");
  ASSERT_EQ(os::fake::Launches().size(), 1u);
  EXPECT_EQ(os::fake::Launches()[0].parameters.value_or(""),
            "\"C:\\Setup Disk\"");  // one argument, blanks and all
  EXPECT_FALSE(os::fake::Exists("C:\\Program Files\\Demo\\_setup.exe"));
  EXPECT_TRUE(Logged("no _setup.dll"));
  EXPECT_TRUE(Logged("Running extra setup items"));
}

std::int32_t DoSetup(std::uint32_t window) { return window == 0x4444 ? 7 : -1; }

TEST_F(InstallRunTest, ExtraSetupLibraryGetsTheApplicationWindow) {
  os::fake::AddLibrary("C:\\Program Files\\Demo\\_setup.dll", {{"DoSetup", reinterpret_cast<os::Proc>(&DoSetup)}});
  Source("_setup.dll", "library");
  Run(":INSTALL\r\n_setup.dll\r\n:\r\n");
  EXPECT_TRUE(Logged("loading DoSetup"));
  EXPECT_TRUE(Logged("DoSetup returned: 7"));
  EXPECT_FALSE(os::fake::IsLoaded("C:\\Program Files\\Demo\\_setup.dll"));
}

// An install folder that existed before the run may hold what users put there: only what this
// run copied is loaded or started, and nothing is copied through a folder swapped for a link.
TEST_F(InstallRunTest, OnlyWhatThisRunInstalledIsStartedAndNoLinkIsWrittenThrough) {
  const std::string dir = "C:\\Program Files\\Demo\\";
  os::fake::AddLibrary(dir + "_setup.dll", {{"DoSetup", reinterpret_cast<os::Proc>(&DoSetup)}});
  for (const char* program : {"_setup.exe", "demo.exe", "winexit.exe"}) os::fake::AddProgram(dir + program);
  os::fake::AddFile("C:\\SETUP\\autorun.dat", "");
  Run(":RUNFILE\r\ndemo.exe\r\n:REBOOT\r\n");
  EXPECT_EQ(os::fake::LoadCount(dir + "_setup.dll"), 0);
  EXPECT_TRUE(os::fake::Launches().empty());
  EXPECT_TRUE(os::fake::Exists(dir + "_setup.exe"));
  EXPECT_TRUE(Shared().RebootFlag);
  EXPECT_EQ(Shared().RestartProgram, "");
  EXPECT_TRUE(Logged("_setup.dll not installed by this run"));
  EXPECT_TRUE(Logged("_setup.exe not installed by this run"));

  SetUp();  // the restart program and the program to run, both copied by this run
  host = Host{};
  for (const char* program : {"demo.exe", "winexit.exe"}) {
    os::fake::AddProgram(dir + program);
    Source(program, program);
  }
  os::fake::AddFile("C:\\SETUP\\autorun.dat", "");
  Run(":INSTALL\r\ndemo.exe\r\nwinexit.exe\r\n:\r\n:RUNFILE\r\ndemo.exe\r\n");
  EXPECT_EQ(os::fake::Launches().size(), 1u);
  SetUp();
  host = Host{};
  Source("winexit.exe", "w");
  Run(":INSTALL\r\nwinexit.exe\r\n:\r\n:REBOOT\r\n");
  EXPECT_EQ(Shared().RestartProgram, dir + "winexit.exe");

  // The install folder swapped for a link: nothing is copied or removed through it.
  SetUp();
  host = Host{};
  os::fake::AddFile(dir + "demo.exe", "someone else's");
  os::fake::AddFile(dir + "old.txt", "someone else's");
  os::fake::MarkFolderAsLink("C:\\Program Files\\Demo");
  Source("demo.exe", "new");
  EXPECT_THROW(Run(":REMOVEFILES\r\n<RUN>\\old.txt\r\n:\r\n:INSTALL\r\ndemo.exe\r\n:\r\n"
                   ":UNINSTALL\r\nDemo\r\nDemo 1.0\r\nuninst.exe\r\nr\r\n"),
               SetupError);  // nor the uninstall data
  EXPECT_EQ(os::fake::Content(dir + "demo.exe"), "someone else's");
  EXPECT_TRUE(os::fake::Exists(dir + "old.txt"));
  EXPECT_FALSE(os::fake::Exists(dir + "unin.ini"));
  EXPECT_TRUE(Logged("Not copied, a link is on the way: " + dir + "demo.exe"));
}

TEST_F(InstallRunTest, MalformedListAndBadNumbersStopTheRun) {
  Source("a", "a");
  // The progress count reads the file sections first, so nothing is copied yet.
  EXPECT_THROW(Run(":INSTALL\r\na\r\n"), ListError);
  EXPECT_FALSE(os::fake::Exists("C:\\Program Files\\Demo\\a"));
  EXPECT_THROW(Run(":reg\r\nHKEY_LOCAL_MACHINE\r\nSoftware\\Demo\r\nn\r\n#1x#\r\n:\r\n"), ConvertError);
}

// Carries out what waits for the next start of Windows, as Windows would:
// WININIT.INI's rename section on the 95 family (its short names mapped back
// to the files the test names), the pending rename list on NT.
void RestartWindows(const std::vector<std::string>& files) {
  std::map<std::string, std::string> named;
  for (const std::string& f : files) named[UpperText(ShortPath(f))] = f;
  auto path = [&](const std::string& p) {
    auto it = named.find(UpperText(p));
    return it == named.end() ? p : it->second;
  };
  for (const std::string& f : files) os::fake::SetInUse(f, false);
  if (GetWinVersion() < kWinNT4) {
    std::vector<std::string> lines;
    ReadTextLines("C:\\WINDOWS\\WININIT.INI", lines);
    bool inside = false;
    for (const std::string& line : lines) {
      size_t eq = line.find('=');
      if (!line.empty() && line[0] == '[') inside = UpperText(line) == "[RENAME]";
      if (!inside || eq == std::string::npos) continue;
      std::string key = line.substr(0, eq), value = line.substr(eq + 1);
      if (UpperText(key) == "NUL") {
        os::DeleteFileA(path(value));
      } else {
        os::DeleteFileA(path(key));
        os::MoveFileExA(path(value), path(key), 0);
      }
    }
    os::DeleteFileA("C:\\WINDOWS\\WININIT.INI");
    return;
  }
  std::vector<std::string> entries;
  std::string list = ReadPendingRenames();
  for (size_t pos = 0; pos < list.size();) {
    size_t end = std::min(list.find("\r\n", pos), list.size());
    std::string entry = list.substr(pos, end - pos);
    if (!entry.empty() && entry[0] == '!') entry.erase(0, 1);
    entries.push_back(entry.empty() ? entry : entry.substr(4));
    pos = end + 2;
  }
  for (size_t i = 0; i + 1 < entries.size(); i += 2)
    os::MoveFileExA(entries[i], entries[i + 1], os::kMoveFileReplaceExisting);
  os::fake::SetRegValue(os::kHkeyLocalMachine, "SYSTEM\\CurrentControlSet\\Control\\Session Manager",
                        "PendingFileRenameOperations",
                        os::fake::RegValue{os::kRegMultiSz, std::string(2, '\0')});
}

constexpr char kDir[] = "C:\\Program Files\\Demo\\";

TEST_F(InstallRunTest, FilesOfOneBaseNameInUseEachGetTheirOwnBytesAtTheRestart) {
  for (bool ninetyFive : {false, true}) {
    SCOPED_TRACE(ninetyFive ? "95 family" : "NT family");
    SetUp();
    if (ninetyFive) Version(1, 4, 10);
    Source("app.dll", "new dll");
    Source("app.ex_", "new exe");
    for (const char* name : {"app.dll", "app.exe"}) {
      os::fake::AddFile(kDir + std::string(name), "old");
      os::fake::SetInUse(kDir + std::string(name), true);
    }
    Run(":INSTALL\r\napp.dll\r\napp.ex_\r\n:\r\n");
    EXPECT_EQ(os::fake::Content(kDir + std::string("app.MCC")), "new dll");  // the ordinary name first
    EXPECT_EQ(os::fake::Content(kDir + std::string("app.MC1")), "new exe");
    RestartWindows({kDir + std::string("app.dll"), kDir + std::string("app.exe"),
                    kDir + std::string("app.MCC"), kDir + std::string("app.MC1")});
    EXPECT_EQ(os::fake::Content(kDir + std::string("app.dll")), "new dll");
    EXPECT_EQ(os::fake::Content(kDir + std::string("app.exe")), "new exe");
  }
}

TEST_F(InstallRunTest, AFileFreedBeforeTheRestartKeepsTheNewestBytes) {
  // First install: a.dll in use waits in a.MCC; the program holding it ends,
  // but Windows is not restarted before the second install copies straight.
  for (bool ninetyFive : {true, false}) {
    for (bool cachedFileLocked : {false, true}) {
      SCOPED_TRACE(
          std::string(ninetyFive ? "95 family, " : "NT family, ") +
          (cachedFileLocked ? "the cached file cannot be refreshed" : "the cached file is refreshed"));
      SetUp();
      if (ninetyFive) Version(1, 4, 10);
      const std::string dll = kDir + std::string("a.dll"), cached = kDir + std::string("a.MCC");
      os::fake::AddFile(dll, "old");
      os::fake::SetInUse(dll, true);
      Source("a.dll", "first");
      Run(":INSTALL\r\na.dll\r\n:\r\n");
      ASSERT_EQ(os::fake::Content(cached), "first");
      os::fake::SetInUse(dll, false);
      os::fake::SetInUse(cached, cachedFileLocked);
      Source("a.dll", "second");
      Run(":INSTALL\r\na.dll\r\n:\r\n");
      EXPECT_EQ(os::fake::Content(dll), "second");
      EXPECT_TRUE(Logged("Updating: " + cached));
      EXPECT_EQ(Logged("Replacement cancelled: " + dll), cachedFileLocked);
      RestartWindows({dll, cached, kDir + std::string("a.BAK")});
      EXPECT_EQ(os::fake::Content(dll), "second");
    }
  }
}

std::int32_t CrashingExport() { os::fake::RaiseFault(); }
std::int32_t CrashingDoSetup(std::uint32_t) { os::fake::RaiseFault(); }

TEST_F(InstallRunTest, CrashesInThePublishersLibrariesAreLoggedAndTheRunGoesOn) {
  os::fake::AddLibrary("C:\\WINDOWS\\bad.dll",
                       {{"DllRegisterServer", reinterpret_cast<os::Proc>(&CrashingExport)},
                        {"DllUnregisterServer", reinterpret_cast<os::Proc>(&Unregister)}});
  os::fake::AddLibrary(kDir + std::string("_setup.dll"),
                       {{"DoSetup", reinterpret_cast<os::Proc>(&CrashingDoSetup)}});
  Source("_setup.dll", "library");
  Run(":INSTALL\r\n_setup.dll\r\n:\r\n:REGSVR\r\nbad.dll\r\n:\r\n");
  EXPECT_TRUE(Logged("Register Server failed: bad.dll (exception C0000005)"));
  EXPECT_TRUE(Logged("DoSetup failed (exception C0000005)"));
  EXPECT_TRUE(Logged("Install Complete"));
  EXPECT_FALSE(os::fake::IsLoaded("C:\\WINDOWS\\bad.dll"));
  EXPECT_FALSE(os::fake::IsLoaded(kDir + std::string("_setup.dll")));
  EXPECT_EQ(Shared().Outcome, RunOutcome::Installed);
}

// A quick server registers before the pump's interval is over: the click on
// Cancel that came meanwhile is answered before the next server.
std::int32_t RegisterAndClickCancel() {
  ++registerCalls;
  os::PostMessageA(os::FindWindowA("Copy", "copy"), 0x0401, 0, 0);
  return 0;
}

TEST_F(InstallRunTest, CancelIsAnsweredBeforeTheNextEntry) {
  os::fake::AddForeignWindow("Copy", "copy");
  os::SetAppMessageHook([](os::Hwnd, std::uint32_t message, std::uintptr_t, std::intptr_t) {
    if (message == 0x0401) Shared().CancelPressed = true;
    return message == 0x0401;
  });
  for (const char* dll : {"C:\\WINDOWS\\one.dll", "C:\\WINDOWS\\two.dll"})
    os::fake::AddLibrary(dll, {{"DllRegisterServer", reinterpret_cast<os::Proc>(&RegisterAndClickCancel)},
                              {"DllUnregisterServer", reinterpret_cast<os::Proc>(&Unregister)}});
  registerCalls = 0;
  os::fake::AnswerNextBoxes({os::kIdYes, os::kIdOk});
  Run(":REGSVR\r\none.dll\r\ntwo.dll\r\n:\r\n:SHORTCUTS\r\nDemo\r\ndemo.exe\r\n:\r\n");
  os::SetAppMessageHook(nullptr);
  EXPECT_EQ(registerCalls, 1);
  EXPECT_EQ(BoxTexts(), (std::vector<std::string>{"Cancel Setup?", "Setup did not complete."}));
  EXPECT_FALSE(os::fake::Exists(std::string(kPrograms) + "\\Demo"));
}

// Where a copy neither refuses a read-only, hidden or system file nor
// changes its attributes (a network share, Wine run as root), the file
// would stay so: the listing's attributes say to make it normal first.
TEST_F(InstallRunTest, AProtectedDestinationIsMadeNormalBeforeItIsReplaced) {
  os::fake::SetCopiesKeepAttributes(true);
  Source("readme.txt", "new");
  const std::string destination = "C:\\Program Files\\Demo\\readme.txt";
  os::fake::AddFile(destination, "old", os::kAttrReadonly | os::kAttrHidden | os::kAttrSystem);
  Run(":INSTALL\r\nreadme.txt\r\n:\r\n");
  EXPECT_EQ(os::fake::Content(destination), "new");
  EXPECT_EQ(os::fake::Attributes(destination) & (os::kAttrReadonly | os::kAttrHidden | os::kAttrSystem), 0u);
}

// Nothing could be installed: the run stops with an error before it leaves
// an uninstall entry, instead of ending as complete.
TEST_F(InstallRunTest, AnInstallFolderThatCannotBeCreatedStopsTheRun) {
  Source("readme.txt", "r");
  // The last two could be made, but the uninstaller would refuse to remove from them.
  for (const char* dir : {"C:\\Qvs<Bad>|Name", "C:\\SETUP\\readme.txt\\Demo", "C:\\.", "C:\\WINDOWS\\"}) {
    SCOPED_TRACE(dir);
    Shared().InstallDir = dir;
    EXPECT_THROW(Run(":INSTALL\r\nreadme.txt\r\n:\r\n:UNINSTALL\r\nDemo\r\nDemo 1.0\r\nuninst.exe\r\nr\r\n:\r\n"),
                 SetupError);
    EXPECT_FALSE(os::fake::RegKeyExists(os::kHkeyLocalMachine, kUninstallKey));
    EXPECT_FALSE(Logged("Install Complete"));
    EXPECT_TRUE(BoxTexts().empty());
  }
}

}  // namespace
