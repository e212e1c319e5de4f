// The uninstaller on the in-memory Windows: the data file reader, the
// removal rules, and whole install-then-remove round trips.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "engine/DelayedReplacement.h"
#include "engine/InstallLog.h"
#include "engine/InstallRun.h"
#include "engine/RegistryRemoval.h"
#include "engine/RemovalRules.h"
#include "engine/SetupState.h"
#include "engine/TextFile.h"
#include "engine/UninstallData.h"
#include "engine/UninstallRun.h"
#include "os/OsFiles.h"
#include "os/OsRegistry.h"
#include "os/OsShell.h"
#include "os/fake/FakeControl.h"
#include "os/fake/FakeRegistryControl.h"
#include "os/fake/FakeUiControl.h"
#include "sys/Digest.h"
#include "sys/SetupRegistry.h"
#include "sys/WindowsVersion.h"
#include "tests/unit/ProgramTestUtil.h"

namespace {

using Lines = std::vector<std::string>;
constexpr const char* kPrograms = programtest::kProgramsFolder;
constexpr char kDataFile[] = "C:\\Program Files\\Demo\\unin.ini";
constexpr char kUninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Demo";
constexpr char kQuestion[] = "Are you sure you want to completely remove Demo 1.0 and all of its components?";

// The reader takes back exactly what the writer writes.
TEST(UninstallDataReader, ReadsEveryPartOfTheFileTheWriterWrites) {
  const std::string text =
      "Demo 1.0\r\nC:\\Demo\r\nC:\\Demo\\a.exe\r\nC:\\P\\Demo\\A.lnk\r\n+C:\\P\\Demo\r\n\r\n:reg\r\n"
      "HKEY_LOCAL_MACHINE\r\nSoftware\\Demo\r\n:\r\n:\r\nHKEY_CLASSES_ROOT\r\n.dem\r\n\r\nDemoFile\r\n:\r\n";
  TUninstallData d;
  UninstallDataResult r = ParseUninstallData(text, d);
  ASSERT_EQ(r.status, UninstallDataStatus::Ok);
  EXPECT_EQ(d.title, "Demo 1.0");
  EXPECT_EQ(d.installDir, "C:\\Demo");
  EXPECT_EQ(d.paths, (Lines{"C:\\Demo\\a.exe", "C:\\P\\Demo\\A.lnk"}));
  EXPECT_EQ(d.startMenu, "C:\\P\\Demo");
  ASSERT_EQ(d.regItems.size(), 2u);  // a name and data of ":" do not end the block
  EXPECT_EQ(d.regItems[0].data, ":");
  EXPECT_EQ(d.regItems[1].name, "");
  EXPECT_EQ(d.ProgramKey(), "Software\\Demo");
  const auto written = [](const TUninstallData& data) {
    std::string all;
    for (const std::string& line : UninstallDataLines(data)) all += line + "\r\n";
    return all;
  };
  EXPECT_EQ(written(d), text);
  // Without a Start Menu folder and a registry block the file still reads back.
  d.hasReg = false;
  d.startMenu.clear();
  ASSERT_EQ(ParseUninstallData(written(d), d).status, UninstallDataStatus::Ok);
  EXPECT_EQ(d.paths.size(), 2u);
}

TEST(UninstallDataReader, RefusesWhatTheInstallNeverWrites) {
  const struct {
    const char* text;
    UninstallDataStatus status;
    int line;
  } rows[] = {
      {"", UninstallDataStatus::Empty, 0},
      {" \r\n\r\n", UninstallDataStatus::Empty, 0},
      {"[Settings]\r\nColor=red\r\n\r\n", UninstallDataStatus::OtherFormat, 2},
      {"Demo\r\nDemo\r\n\r\n", UninstallDataStatus::OtherFormat, 2},
      {"Demo\r\nC:\\Demo\r\nC:\\Demo\\a.exe\r\n", UninstallDataStatus::Garbled,
       4},  // cut before the empty line
      {"Demo\r\nC:\\Demo\r\n+C:\\P\\D\r\nC:\\Demo\\a\r\n\r\n", UninstallDataStatus::Garbled, 4},
      {"Demo\r\nC:\\Demo\r\n+\r\n\r\n", UninstallDataStatus::Garbled, 3},
      {"Demo\r\nC:\\Demo\r\n\r\n:reg\r\nHKEY_USERS\r\nk\r\n", UninstallDataStatus::Garbled, 5},
      {"Demo\r\nC:\\Demo\r\n\r\n:reg\r\nHKEY_USERS\r\nk\r\nn\r\nd\r\n", UninstallDataStatus::Garbled, 9},
      // A group one line short before the terminator: the ":" is its data, the block never ends.
      {"Demo\r\nC:\\Demo\r\n\r\n:reg\r\nHKEY_USERS\r\nk\r\nn\r\n:\r\n", UninstallDataStatus::Garbled, 9},
      {"Demo\r\nC:\\Demo\r\n\r\n:reg\r\n:\r\nmore\r\n", UninstallDataStatus::Garbled, 6},
      {"Demo\r\nC:\\Demo\r\n\r\nC:\\Demo\\late.exe\r\n", UninstallDataStatus::Garbled, 4},
      {"Demo\r\nC:\\Demo\r\nC:\\De\x01mo\\a\r\n\r\n", UninstallDataStatus::Garbled, 3},
  };
  for (const auto& row : rows) {
    TUninstallData d;
    UninstallDataResult r = ParseUninstallData(row.text, d);
    EXPECT_EQ(r.status, row.status) << row.text;
    EXPECT_EQ(r.line, row.line) << row.text;
  }
  TUninstallData d;
  std::string withNul("Demo\r\nC:\\Demo\r\n\r\n\0junk", 21);
  EXPECT_EQ(ParseUninstallData(withNul, d).status, UninstallDataStatus::Garbled);
}

const TRemovalFolders kFolders{"C:\\WINDOWS", "C:\\WINDOWS\\SYSTEM32", "C:\\Program Files", kPrograms};

TEST(RemovalRules, InstallFolderMustBeAProgramsOwnFolder) {
  const struct {
    const char* dir;
    bool ok;
  } rows[] = {
      {"C:\\Program Files\\Demo", true},
      {"D:\\Apps\\Demo\\", true},
      {"C:\\WINDOWS\\Demo", true},
      {"C:\\", false},
      {"C:", false},
      {"c:\\windows", false},
      {"C:\\WINDOWS\\system32\\", false},
      {"C:\\program files", false},
      {"C:\\WINDOWS\\SYSTEM32\\x", false},
      {"Demo", false},
      {"C:\\Demo\\..", false},
      {"C:\\Demo\\...", true},  // Windows drops the periods: C:\Demo
      {"C:\\.", false},            // the root, however it is spelt
      {"C:\\Demo\\..\\.", false},
      {"C:\\Program Files/..", false},
      {"\\\\server\\share", false},
  };
  for (const auto& row : rows) EXPECT_EQ(InstallFolderProblem(row.dir, kFolders).empty(), row.ok) << row.dir;
}

TEST(RemovalRules, OnlyPathsInsideTheInstallFolderOrShortcutsInProgramsAreRemoved) {
  const std::string menu = std::string(kPrograms) + "\\Demo";
  const struct {
    std::string path;
    PathVerdict verdict;
  } rows[] = {
      {"C:\\Program Files\\Demo\\a.exe", PathVerdict::Remove},
      {"c:\\program files\\demo\\SUB\\b.dat", PathVerdict::Remove},
      {menu + "\\Demo.lnk", PathVerdict::Remove},
      {menu + "\\Read Me.LNK", PathVerdict::Remove},  // the extension in any letter case
      {menu + "\\Demo.exe", PathVerdict::Outside},  // only shortcuts in Programs
      {"C:\\WINDOWS\\uninst.exe", PathVerdict::Shared},
      {"C:\\WINDOWS\\SYSTEM32\\demo.dll", PathVerdict::Shared},
      {"C:\\Program Files\\Demo", PathVerdict::Outside},  // the folder itself is not inside
      {"C:\\Program Files\\Demo2\\a.exe", PathVerdict::Outside},
      {"C:\\autoexec.bat", PathVerdict::Outside},
      {"C:\\Program Files\\Demo\\..\\Other\\a.exe", PathVerdict::Outside},
      {"C:\\Program Files\\Demo\\../../WINDOWS/x", PathVerdict::Shared},
      {"C:\\Program Files\\Demo\\sub\\..\\a.exe", PathVerdict::Remove},
      {"C:\\Program Files\\Demo\\*.*", PathVerdict::Unsafe},
      {"C:\\Program Files\\Demo\\a.exe:stream", PathVerdict::Unsafe},
      {"Demo\\a.exe", PathVerdict::Unsafe},
      {"\\Program Files\\Demo\\a.exe", PathVerdict::Unsafe},
  };
  for (const auto& row : rows)
    EXPECT_EQ(JudgePath(row.path, "C:\\Program Files\\Demo", kFolders), row.verdict) << row.path;
  // The 95 family keeps the Start Menu inside the Windows folder.
  TRemovalFolders folders95 = kFolders;
  folders95.programs = "C:\\WINDOWS\\Start Menu\\Programs";
  EXPECT_EQ(JudgePath(folders95.programs + "\\Demo\\Demo.lnk", "C:\\Program Files\\Demo", folders95),
            PathVerdict::Remove);
  EXPECT_EQ(JudgePath(folders95.programs + "\\Demo\\Demo.exe", "C:\\Program Files\\Demo", folders95),
            PathVerdict::Shared);
  EXPECT_TRUE(MayRemoveStartMenuFolder(folders95.programs + "\\Demo", folders95));
  EXPECT_TRUE(MayRemoveStartMenuFolder(menu, kFolders));
  EXPECT_FALSE(MayRemoveStartMenuFolder(kPrograms, kFolders));
  EXPECT_FALSE(MayRemoveStartMenuFolder("C:\\WINDOWS\\Start Menu", kFolders));
}

TEST(UninstallArgs, DataFileThenOptionalSilentSwitch) {
  TUninstallArgs a = ParseUninstallArgs("\"C:\\Program Files\\Demo\\unin.ini\" /s");
  EXPECT_TRUE(a.valid && a.silent);
  EXPECT_EQ(a.dataFile, "C:\\Program Files\\Demo\\unin.ini");
  EXPECT_FALSE(ParseUninstallArgs("  C:\\Demo\\unin.ini ").silent);
  EXPECT_TRUE(ParseUninstallArgs("C:\\Demo\\unin.ini").valid);
  for (const char* bad : {"", "   ", "\"\"", "C:\\a.ini /x", "C:\\a.ini /S more"})
    EXPECT_FALSE(ParseUninstallArgs(bad).valid) << bad;
  // The whole command as the install writes it, read back by the removal of the entry.
  for (const char* program : {"C:\\WINDOWS\\uninst.exe", "C:\\My Windows\\uninst.exe"}) {
    a = ParseUninstallCommand(UninstallCommand(program, "C:\\Program Files\\Demo\\unin.ini"));
    EXPECT_TRUE(a.valid && !a.silent) << program;
    EXPECT_EQ(a.dataFile, "C:\\Program Files\\Demo\\unin.ini") << program;
  }
  EXPECT_EQ(ParseUninstallCommand("\"C:\\My Windows\\uninst.exe\" \"C:\\D\\unin.ini\" /S").dataFile, "C:\\D\\unin.ini");
  EXPECT_FALSE(ParseUninstallCommand("C:\\WINDOWS\\uninst.exe").valid);
}

using programtest::NoWizard;

struct Progress : UninstallHost {
  bool shown = false, closed = false;
  std::vector<int> percents;
  void ShowProgressWindow() override { shown = true; }
  void ShowStep(const std::string&) override {}
  void ShowProgress(int percent) override { percents.push_back(percent); }
  void CloseProgressWindow() override { closed = true; }
};

int unregisterCalls = 0;
std::int32_t Register() { return 0; }
std::int32_t Unregister() { return ++unregisterCalls, 0; }

// Everything a removal must put back: files and folders with their
// contents, registry keys.
std::map<std::string, std::string> Files(const std::string& folder = "C:") {
  std::map<std::string, std::string> all;
  for (const std::string& name : os::fake::List(folder)) {
    std::string path = folder + "\\" + name;
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
    std::string sub = path.empty() ? name : path + "\\" + name;
    all.push_back(sub);
    for (const std::string& deeper : Keys(root, sub)) all.push_back(deeper);
  }
  return all;
}

// Records a data file made by hand as an install records the one it writes: the uninstall entry
// with its command, the install folder and the digest of the file.
void Seal(const std::string& dataFile, const std::string& installDir,
          const std::string& keyName = "Hostile") {
  WriteUninstallEntry(keyName, keyName, "\"C:\\WINDOWS\\uninst.exe\" \"" + dataFile + "\"");
  WriteUninstallSeal(keyName, installDir, Sha256Hex(os::fake::Content(dataFile)));
}

TEST(UninstallSeal, TheDigestIsSha256) {
  const struct {
    std::string bytes;
    const char* hex;
  } rows[] = {
      {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",  // the padding needs a second block
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
      {std::string(1000, 'a'), "41edece42d63e8d9bf515a9ba6932e1c20cbc9f5a5d134645adb5db1b9737ea3"},
  };
  for (const auto& row : rows) EXPECT_EQ(Sha256Hex(row.bytes), row.hex) << row.bytes.size();
}

class UninstallRun : public ::testing::Test {
 protected:
  void SetUp() override {
    programtest::FreshInstall();
    os::fake::SetRegString(os::kHkeyLocalMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion",
                           "ProgramFilesDir", "C:\\Program Files");
    os::fake::SetRegString(os::kHkeyCurrentUser, "Software\\Other", "Keep", "1");
    os::fake::SetRegString(os::kHkeyLocalMachine,
                           "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Other", "DisplayName",
                           "Other");
    os::fake::AddFolder("C:\\Program Files");
    for (const char* name : {"demo.exe", "readme.txt", "uninst.exe", "demo.dll"})
      os::fake::AddFile(std::string("C:\\SETUP\\") + name, name);
    unregisterCalls = 0;
    os::OleInitialize();
  }
  void TearDown() override { os::OleUninitialize(); }

  // Installs the demo program, remembering the machine as it was before.
  void Install(const std::string& extra = "", const std::string& moreRegGroups = "") {
    os::fake::AddLibrary("C:\\WINDOWS\\demo.dll",
                         {{"DllRegisterServer", reinterpret_cast<os::Proc>(&Register)},
                          {"DllUnregisterServer", reinterpret_cast<os::Proc>(&Unregister)}});
    os::DeleteFileA("C:\\WINDOWS\\demo.dll");  // the install brings it
    filesBefore = Files();
    hklmBefore = Keys(os::kHkeyLocalMachine);
    hkcuBefore = Keys(os::kHkeyCurrentUser);
    hkcrBefore = Keys(os::kHkeyClassesRoot);
    TSetupList list;
    list.SetText(
        "\\Demo\r\nDemo\r\nDemo 1.0\r\n:INSTALL\r\ndemo.exe\r\nreadme.txt\r\n:\r\n"
        ":WIN\r\nuninst.exe\r\ndemo.dll\r\n:\r\n:REGSVR\r\ndemo.dll\r\n:\r\n"
        ":SHORTCUTS\r\nDemo\r\ndemo.exe\r\nReadme\r\nreadme.txt\r\n:\r\n"
        ":reg\r\nHKEY_LOCAL_MACHINE\r\nSoftware\\Demo\\1.0\r\nPath\r\n<RUN>\r\n"
        "HKEY_CLASSES_ROOT\r\n.dem\r\n\r\nDemoFile\r\n"
        "HKEY_CURRENT_USER\r\nSoftware\\Demo\\1.0\r\nRuns\r\n#1#\r\n" + moreRegGroups + ":\r\n"
        ":UNINSTALL\r\nDemo\r\nDemo 1.0\r\nuninst.exe\r\nr\r\n" +
        extra);
    NoWizard wizard;
    RunInstallation(list, wizard);
    ASSERT_TRUE(os::fake::Exists(Shared().InstallDir + "\\unin.ini"));
    ForgetLogForTests();
    installBoxes = os::fake::Boxes().size();
  }
  int Remove(const std::string& args = std::string("\"") + kDataFile + "\"") {
    return RunUninstall(args, progress);
  }

  static Lines Log() {
    Lines lines;
    lines =
        SplitLines(os::fake::Content("C:\\WINDOWS\\temp\\qvuninst_Demo1.0.txt"));  // past the run's handle
    return lines;
  }
  // The boxes the removal showed.
  Lines BoxTexts() const {
    Lines texts;
    for (std::size_t i = installBoxes; i < os::fake::Boxes().size(); ++i)
      texts.push_back(os::fake::Boxes()[i].text);
    return texts;
  }
  // The machine as before the install, apart from the shared files kept in
  // the Windows folder and the logs.
  void ExpectMachineAsBefore(const std::vector<std::string>& alsoLeft = {}) {
    std::map<std::string, std::string> now = Files();
    for (const char* kept :
         {"C:\\WINDOWS\\uninst.exe", "C:\\WINDOWS\\demo.dll", "C:\\WINDOWS\\Temp\\qvsetup_Demo1.0.txt",
          "C:\\WINDOWS\\Temp\\qvuninst_Demo1.0.txt"})
      EXPECT_EQ(now.erase(kept), 1u) << kept;
    for (const std::string& left : alsoLeft) EXPECT_EQ(now.erase(left), 1u) << left;
    EXPECT_EQ(now, filesBefore);
    EXPECT_EQ(Keys(os::kHkeyLocalMachine), hklmBefore);
    EXPECT_EQ(Keys(os::kHkeyCurrentUser), hkcuBefore);
    EXPECT_EQ(Keys(os::kHkeyClassesRoot), hkcrBefore);
  }

  Progress progress;
  std::map<std::string, std::string> filesBefore;
  Lines hklmBefore, hkcuBefore, hkcrBefore;
  std::size_t installBoxes = 0;
};

TEST_F(UninstallRun, RemovesWhatTheInstallRecordedAndNothingElse) {
  Install();
  os::fake::AddFile("C:\\Program Files\\Demo\\readme.MCC", "cached by a later install");
  os::fake::AnswerNextBoxes({os::kIdYes, os::kIdOk});
  EXPECT_EQ(Remove(), kUninstallDone);
  ExpectMachineAsBefore();
  EXPECT_EQ(unregisterCalls, 1);
  EXPECT_EQ(BoxTexts(), (Lines{kQuestion, "Demo 1.0 was removed."}));
  EXPECT_EQ(os::fake::Boxes()[installBoxes].caption, "Dialog");
  EXPECT_EQ(os::fake::Boxes()[installBoxes].type, os::kMbYesNo | os::kMbIconQuestion);
  EXPECT_TRUE(progress.shown && progress.closed);
  EXPECT_EQ(progress.percents.back(), 100);
  Lines log = Log();
  for (const std::string& line :
       {std::string("Unregister Server: C:\\WINDOWS\\demo.dll"),
        std::string("Remove: C:\\Program Files\\Demo\\demo.exe"),
        std::string("Kept: C:\\WINDOWS\\uninst.exe"),
        std::string("Remove: ") + kPrograms + "\\Demo\\Readme.lnk",
        std::string("Remove: ") + kPrograms + "\\Demo", std::string("Remove: ") + kDataFile,
        std::string("Remove: C:\\Program Files\\Demo")})
    EXPECT_NE(std::find(log.begin(), log.end(), line), log.end()) << line;
}

std::int32_t CrashingUnregister() { os::fake::RaiseFault(); }

TEST_F(UninstallRun, ACrashingServerIsLoggedAndACachedFileOfAnotherNameRemoved) {
  Install();
  os::fake::AddLibrary("C:\\WINDOWS\\demo.dll",
                       {{"DllRegisterServer", reinterpret_cast<os::Proc>(&Register)},
                        {"DllUnregisterServer", reinterpret_cast<os::Proc>(&CrashingUnregister)}});
  // readme.txt waits for its replacement in readme.MC1: readme.MCC was taken.
  os::fake::AddFile("C:\\Program Files\\Demo\\readme.MC1", "cached");
  ScheduleReplace("C:\\Program Files\\Demo\\readme.BA1", "C:\\Program Files\\Demo\\readme.MC1",
                  "C:\\Program Files\\Demo\\readme.txt");
  os::fake::AnswerNextBoxes({os::kIdYes, os::kIdOk});
  Remove();
  EXPECT_FALSE(os::fake::Exists("C:\\Program Files\\Demo\\readme.MC1"));
  Lines log = Log();
  EXPECT_NE(std::find(log.begin(), log.end(), "Unregister failed, the server crashed: C:\\WINDOWS\\demo.dll"),
            log.end());
}

TEST_F(UninstallRun, NoChangesNothingAndAutomaticModeDoesNotAsk) {
  Install();
  std::map<std::string, std::string> installed = Files();
  os::fake::AnswerNextBoxes({os::kIdNo});
  EXPECT_EQ(Remove(), kUninstallDeclined);
  EXPECT_EQ(Files(), installed);
  EXPECT_FALSE(progress.shown);

  os::fake::AddFile("C:\\Program Files\\Demo\\autoun.dat", "");  // not recorded: stays with its folder
  EXPECT_EQ(Remove(), kUninstallIncomplete);
  EXPECT_EQ(BoxTexts(),
            (Lines{kQuestion, "These items of Demo 1.0 could not be removed:\r\nC:\\Program Files\\Demo"}));
  ExpectMachineAsBefore({"C:\\Program Files\\Demo", "C:\\Program Files\\Demo\\autoun.dat"});
}

TEST_F(UninstallRun, SilentSwitchShowsNoBox) {
  Install();
  EXPECT_EQ(Remove(std::string(kDataFile) + " /S"), kUninstallBadInput);  // the blank splits the path
  EXPECT_EQ(
      BoxTexts(),
      (Lines{"Start the uninstaller with the full path of an uninstall data file. Nothing was removed."}));
  EXPECT_EQ(Remove(std::string("\"") + kDataFile + "\" /S"), kUninstallDone);
  EXPECT_EQ(BoxTexts().size(), 1u);
  ExpectMachineAsBefore();
}

TEST_F(UninstallRun, ChangedValuesAndUserFilesStay) {
  Install();
  os::fake::AddFile("C:\\Program Files\\Demo\\mine.txt", "the user's");
  os::fake::SetRegString(os::kHkeyClassesRoot, ".dem", "", "OtherProgram");
  EXPECT_EQ(Remove(), kUninstallIncomplete);
  EXPECT_EQ(os::fake::Content("C:\\Program Files\\Demo\\mine.txt"), "the user's");
  EXPECT_FALSE(os::fake::Exists("C:\\Program Files\\Demo\\demo.exe"));
  EXPECT_EQ(os::fake::RegStringAt(os::kHkeyClassesRoot, ".dem", "").value_or(""), "OtherProgram");
  EXPECT_FALSE(os::fake::RegKeyExists(os::kHkeyCurrentUser, "Software\\Demo"));
  EXPECT_TRUE(os::fake::RegStringAt(os::kHkeyCurrentUser, "Software\\Other", "Keep"));
}

TEST_F(UninstallRun, FilesInUseAreScheduledForTheNextStartOfWindows) {
  for (bool nt : {true, false}) {
    SCOPED_TRACE(nt ? "NT family" : "95 family");
    TearDown();
    SetUp();
    if (!nt) os::fake::SetVersion(os::OsVersionInfo{4, 10, 2222, 1, " A "});
    Install();
    const std::string busy = "C:\\Program Files\\Demo\\demo.exe";
    os::fake::SetInUse(busy, true);
    EXPECT_EQ(Remove(), kUninstallRestart);  // a caller must learn of the restart on either family
    EXPECT_TRUE(os::fake::Exists(busy));
    std::string pending = ReadPendingRenames();
    std::string wininit = os::fake::Content("C:\\WINDOWS\\WININIT.INI");
    if (nt) {
      EXPECT_NE(pending.find("\\??\\" + busy), std::string::npos) << pending;
      EXPECT_NE(pending.find("\\??\\C:\\Program Files\\Demo"), std::string::npos)
          << pending;  // the folder after it
    } else {
      EXPECT_EQ(wininit, "[RENAME]\r\nNUL=" + ShortPath(busy) + "\r\n");
    }
    Lines log = Log();
    EXPECT_NE(std::find(log.begin(), log.end(), "Scheduled: " + busy), log.end());
    EXPECT_NE(BoxTexts().back().find("a restart of Windows completes their removal:\r\n" + busy),
              std::string::npos);
  }
}

TEST_F(UninstallRun, BadDataFilesRemoveNothing) {
  Install();
  std::map<std::string, std::string> installed = Files();
  const struct {
    std::string content;
    std::string box;
  } rows[] = {
      {"", "The uninstall data file C:\\Program Files\\Demo\\unin.ini is empty. Nothing was removed."},
      {"Demo 1.0\r\nC:\\\r\nC:\\boot.ini\r\n\r\n",
       "The uninstall data file C:\\Program Files\\Demo\\unin.ini names the install folder C:\\, which is "
       "the root of a "
       "drive. Nothing was removed."},
      {"Demo 1.0\r\nC:\\WINDOWS\r\nC:\\WINDOWS\\win.ini\r\n\r\n",
       "The uninstall data file C:\\Program Files\\Demo\\unin.ini names the install folder C:\\WINDOWS, "
       "which is the "
       "Windows folder. Nothing was removed."},
  };
  for (const auto& row : rows) {
    os::fake::AddFile(kDataFile, row.content);
    if (!row.content.empty())  // recorded, so that the folder rule is what refuses it
      Seal(kDataFile, row.content.substr(10, row.content.find("\r\n", 10) - 10));
    installed[kDataFile] = row.content;
    os::fake::AnswerNextBoxes({os::kIdOk});
    EXPECT_EQ(Remove(), kUninstallBadInput);
    EXPECT_EQ(BoxTexts().back(), row.box);
    EXPECT_EQ(Files(), installed);
  }
  EXPECT_EQ(Remove("Program Files\\Demo\\unin.ini"), kUninstallBadInput);  // relative to where it was started
  EXPECT_EQ(Files(), installed);
  EXPECT_EQ(Remove("C:\\nowhere.ini"), kUninstallBadInput);
  EXPECT_EQ(BoxTexts().back(),
            "The uninstall data file C:\\nowhere.ini cannot be read. Nothing was removed.");
}

// A data file changed after the install, or one no install recorded, decides nothing: an edited
// one could name any folder (the Windows folder's Fonts is not a protected folder by itself).
TEST_F(UninstallRun, ADataFileTheInstallDidNotRecordRemovesNothing) {
  Install();
  os::fake::AddFile("C:\\WINDOWS\\Fonts\\arial.ttf", "font");
  std::string edited = os::fake::Content(kDataFile);
  const std::string folderLine = "C:\\Program Files\\Demo\r\n";
  edited.replace(edited.find(folderLine), folderLine.size(),
                 "C:\\WINDOWS\\Fonts\r\nC:\\WINDOWS\\Fonts\\arial.ttf\r\n");
  os::fake::AddFile(kDataFile, edited);
  std::map<std::string, std::string> before = Files();
  os::fake::AnswerNextBoxes({os::kIdOk});
  EXPECT_EQ(Remove(), kUninstallNotRecorded);
  EXPECT_EQ(BoxTexts().back(), std::string("The uninstall data file ") + kDataFile +
                                   " is not the one the installation recorded, or it was changed since. "
                                   "Nothing was removed.");
  EXPECT_EQ(Files(), before);
  os::fake::AddFile("C:\\Hostile\\unin.ini", "Evil\r\nC:\\Hostile\r\nC:\\Hostile\\own.txt\r\n\r\n");
  EXPECT_EQ(RunUninstall("C:\\Hostile\\unin.ini /S", progress), kUninstallNotRecorded);
  EXPECT_TRUE(os::fake::Exists("C:\\Hostile\\unin.ini"));
}

TEST_F(UninstallRun, HostileEntriesAreKeptAndReported) {
  os::fake::AddFile("C:\\Program Files\\Other\\a.exe", "other");
  os::fake::AddFile("C:\\Demo\\b.exe", "b");
  os::fake::AddFile("C:\\WINDOWS\\win.ini", "w");
  os::fake::AddFile("C:\\Demo\\own.exe", "own");
  os::fake::AddFolder("C:\\Demo\\sub");
  os::fake::AddFile("C:\\Documents and Settings\\u\\Desktop\\x.lnk", "l");
  os::fake::AddFile(
      "C:\\Demo\\unin.ini",
      "Evil\r\nC:\\Demo\r\nC:\\Demo\\..\\Program Files\\Other\\a.exe\r\nC:\\Program Files\\Other\\a.exe\r\n"
      "C:\\WINDOWS\\win.ini\r\nDemo\\b.exe\r\nC:\\Demo\\sub\r\nC:\\Documents and "
      "Settings\\u\\Desktop\\x.lnk\r\n"
      "C:\\Demo\\own.exe\r\n+" +
          std::string(kPrograms) + "\r\n\r\n");
  Seal("C:\\Demo\\unin.ini", "C:\\Demo");
  EXPECT_EQ(RunUninstall("C:\\Demo\\unin.ini /S", progress), kUninstallIncomplete);
  for (const char* kept : {"C:\\Program Files\\Other\\a.exe", "C:\\Demo\\b.exe", "C:\\WINDOWS\\win.ini",
                           "C:\\Documents and Settings\\u\\Desktop\\x.lnk", "C:\\Demo\\sub"})
    EXPECT_TRUE(os::fake::Exists(kept)) << kept;
  EXPECT_TRUE(os::fake::Exists(kPrograms));
  EXPECT_FALSE(os::fake::Exists("C:\\Demo\\own.exe"));
  EXPECT_FALSE(os::fake::Exists("C:\\Demo\\unin.ini"));
}

// The names Windows resolves to a protected folder are that folder: its 8.3
// name, trailing periods and blanks, "..", either slash, any letter case.
TEST_F(UninstallRun, AliasesOfProtectedFoldersAreThoseFolders) {
  os::fake::AddFile("C:\\Program Files\\Other\\a.exe", "other");
  TRemovalFolders folders = MachineFolders();
  EXPECT_EQ(folders.programFiles, "C:\\Program Files");
  const char* refused[] = {"C:\\PROGRA~1", "c:\\progra~1\\", "C:\\Program Files.", "C:\\Program Files .\\",
                           "C:\\WINDOWS.", "C:/windows/system32/..", "C:\\WINDOWS\\SYSTEM32\\..\\SYSTEM32",
                           "C:\\Demo\\..", "C:\\PROGRA~1\\..", "C:\\WINDOWS\\SYSTEM32\\Sub."};
  for (const char* dir : refused) EXPECT_NE(InstallFolderProblem(dir, folders), "") << dir;
  const struct {
    const char* path;
    PathVerdict verdict;
  } rows[] = {
      {"C:\\PROGRA~1\\Other\\a.exe", PathVerdict::Outside},
      {"C:\\Program Files.\\Other\\a.exe", PathVerdict::Outside},
      {"C:\\PROGRA~1\\Demo\\..\\Other\\a.exe", PathVerdict::Outside},
      {"C:\\WINDOWS.\\win.ini", PathVerdict::Shared},
      {"C:\\Hostile.\\own.txt ", PathVerdict::Remove},
  };
  for (const auto& row : rows) EXPECT_EQ(JudgePath(row.path, "C:\\Hostile", folders), row.verdict) << row.path;
}

// A data file the user can write (the program lies outside Program Files)
// names protected files through aliases: none goes.
TEST_F(UninstallRun, AHostileDataFileWithAliasesRemovesNothingOutside) {
  os::fake::AddFile("C:\\Program Files\\Other\\a.exe", "other");
  os::fake::AddFile("C:\\WINDOWS\\win.ini", "w");
  os::fake::AddFile("C:\\Hostile\\own.txt", "own");
  const std::string victims = "C:\\PROGRA~1\\Other\\a.exe\r\nC:\\Program Files.\\Other\\a.exe\r\n"
                              "C:\\WINDOWS.\\win.ini\r\nC:\\Hostile\\..\\PROGRA~1\\Other\\a.exe\r\n";
  for (const char* dir : {"C:\\PROGRA~1", "C:\\Program Files.", "C:\\WINDOWS."}) {
    os::fake::AddFile("C:\\Hostile\\unin.ini", std::string("Evil\r\n") + dir + "\r\n" + victims + "\r\n");
    Seal("C:\\Hostile\\unin.ini", dir);
    EXPECT_EQ(RunUninstall("C:\\Hostile\\unin.ini /S", progress), kUninstallBadInput) << dir;
  }
  os::fake::AddFile("C:\\Hostile\\unin.ini", "Evil\r\nC:\\Hostile\r\n" + victims + "C:\\Hostile\\own.txt\r\n\r\n");
  Seal("C:\\Hostile\\unin.ini", "C:\\Hostile");
  EXPECT_EQ(RunUninstall("C:\\Hostile\\unin.ini /S", progress), kUninstallIncomplete);
  EXPECT_EQ(os::fake::Content("C:\\Program Files\\Other\\a.exe"), "other");
  EXPECT_EQ(os::fake::Content("C:\\WINDOWS\\win.ini"), "w");
  EXPECT_FALSE(os::fake::Exists("C:\\Hostile"));
}

// Whatever the user typed as the destination, the uninstall command the
// install wrote removes the program again.
TEST_F(UninstallRun, EveryUninstallCommandTheInstallWritesIsAccepted) {
  for (const char* typed : {"C:\\Program Files\\Demo\\", "C:\\Program Files\\\\Demo", "C:\\Program Files\\Demo  ",
                            "c:/program files/demo", "C:\\PROGRA~1\\Demo\\\\", "C:\\Program Files\\Demo."}) {
    SCOPED_TRACE(typed);
    TearDown();
    SetUp();
    Shared().InstallDir = typed;
    Install();
    std::string command = os::fake::RegStringAt(os::kHkeyLocalMachine, kUninstallKey, "UninstallString").value_or("");
    ASSERT_EQ(command.rfind("\"C:\\WINDOWS\\uninst.exe\" \"", 0), 0u) << command;
    EXPECT_EQ(Remove(command.substr(std::string("\"C:\\WINDOWS\\uninst.exe\" ").size()) + " /S"),
              kUninstallDone);
    ExpectMachineAsBefore();
  }
  // A data file name without ".ini" is saved as unin.ini in the install folder.
  TearDown();
  SetUp();
  TSetupList list;
  list.SetText("\\Demo\r\nDemo\r\nDemo 1.0\r\n:INSTALL\r\ndemo.exe\r\n:\r\n"
               ":UNINSTALL\r\nDemo\r\nDemo 1.0\r\nuninst.exe\r\ndemo.dat\r\n:\r\n");
  NoWizard wizard;
  RunInstallation(list, wizard);
  std::string command = os::fake::RegStringAt(os::kHkeyLocalMachine, kUninstallKey, "UninstallString").value_or("");
  EXPECT_EQ(Remove(command.substr(std::string("\"C:\\WINDOWS\\uninst.exe\" ").size()) + " /S"),
            kUninstallDone);
  EXPECT_FALSE(os::fake::Exists("C:\\Program Files\\Demo"));
  // A data file in the Windows folder is recorded and removed like any other.
  list.SetText(
      "\\Demo\r\nDemo\r\nDemo 1.0\r\n:INSTALL\r\ndemo.exe\r\n:\r\n"
      ":UNINSTALL\r\nDemo\r\nDemo 1.0\r\nuninst.exe\r\ndemo.ini\r\n:\r\n");
  RunInstallation(list, wizard);
  ASSERT_TRUE(os::fake::Exists("C:\\WINDOWS\\demo.ini"));
  EXPECT_EQ(Remove("C:\\WINDOWS\\demo.ini /S"), kUninstallDone);
  EXPECT_FALSE(os::fake::Exists("C:\\WINDOWS\\demo.ini"));
  EXPECT_FALSE(os::fake::Exists("C:\\Program Files\\Demo"));
}

// What the install created goes: a class key right under HKEY_CLASSES_ROOT,
// a vendor's folders above the install and Start Menu folders; never a key
// every Windows has, nor the Programs folder.
TEST_F(UninstallRun, RemovalReturnsTheStateBeforeTheInstall) {
  Shared().InstallDir = "C:\\Program Files\\Vendor\\Demo";
  Shared().StartMenu = "Vendor\\Demo";
  Install("", "HKEY_CLASSES_ROOT\r\nDemo.Document\\shell\\open\\command\r\n\r\n<RUN> %1\r\n");
  ASSERT_TRUE(os::fake::RegKeyExists(os::kHkeyClassesRoot, "Demo.Document"));
  ASSERT_TRUE(os::fake::Exists(std::string(kPrograms) + "\\Vendor\\Demo"));
  EXPECT_EQ(Remove(std::string("\"") + "C:\\Program Files\\Vendor\\Demo\\unin.ini\" /S"), kUninstallDone);
  ExpectMachineAsBefore();
  EXPECT_TRUE(os::fake::Exists(kPrograms));
}

TEST_F(UninstallRun, WellKnownKeysStayEvenWhenEmptied) {
  const struct {
    const char* root;
    const char* key;
    bool known;
  } rows[] = {
      {"HKEY_LOCAL_MACHINE", "", true},
      {"HKEY_LOCAL_MACHINE", "SOFTWARE", true},
      {"HKEY_CURRENT_USER", "Software\\Classes", true},
      {"HKEY_CLASSES_ROOT", "CLSID", true},
      {"HKEY_CLASSES_ROOT", "", true},
      {"HKEY_LOCAL_MACHINE", "\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall", true},
      {"HKEY_USERS", ".DEFAULT\\Software\\Microsoft", true},
      {"HKEY_USERS", ".DEFAULT", true},
      {"HKEY_CLASSES_ROOT", "Demo.Document", false},
      {"HKEY_CLASSES_ROOT", ".dem", false},
      {"HKEY_LOCAL_MACHINE", "Software\\Vendor", false},
      {"HKEY_LOCAL_MACHINE", "Software\\Classes\\CLSID\\{0}", false},
      // where shell extensions are registered: the handler's own key goes, the lists stay
      {"HKEY_CLASSES_ROOT", "*\\shellex\\ContextMenuHandlers", true},
      {"HKEY_CLASSES_ROOT", "*\\shellex\\PropertySheetHandlers", true},
      {"HKEY_CLASSES_ROOT", "Directory\\shellex", true},
      {"HKEY_CLASSES_ROOT", "Directory\\shell", true},
      {"HKEY_CLASSES_ROOT", "Drive\\shellex", true},
      {"HKEY_LOCAL_MACHINE", "Software\\Classes\\Folder\\ShellEx\\ContextMenuHandlers", true},
      {"HKEY_CLASSES_ROOT", "CLSID\\{20D04FE0-3AEA-1069-A2D8-08002B30309D}\\shellex\\ContextMenuHandlers", true},
      {"HKEY_LOCAL_MACHINE", "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ShellIconOverlayIdentifiers",
       true},
      {"HKEY_CLASSES_ROOT", "*\\shellex\\ContextMenuHandlers\\DemoMenu", false},
      {"HKEY_CLASSES_ROOT", "Directory\\shell\\Demo", false},
      {"HKEY_CLASSES_ROOT", "CLSID\\{20D04FE0-3AEA-1069-A2D8-08002B30309D}\\shellex\\ContextMenuHandlers\\{0}",
       false},
  };
  for (const auto& row : rows) EXPECT_EQ(IsWellKnownKey(row.root, row.key), row.known) << row.root << row.key;
}

// A shortcut named "Help.lnk" is saved so and recorded as "Help.lnk.lnk".
TEST_F(UninstallRun, AShortcutRecordedWithLnkTwiceIsRemoved) {
  Install();
  const std::string menu = std::string(kPrograms) + "\\Demo";
  os::fake::AddFile(menu + "\\Help.lnk", "link");
  std::string data = os::fake::Content(kDataFile);
  data.insert(data.find("+"), menu + "\\Help.lnk.lnk\r\n");
  os::fake::AddFile(kDataFile, data);
  Seal(kDataFile, "C:\\Program Files\\Demo", "Demo");
  EXPECT_EQ(Remove(std::string("\"") + kDataFile + "\" /S"), kUninstallDone);
  EXPECT_FALSE(os::fake::Exists(menu));
  ExpectMachineAsBefore();
}

// An empty Start Menu name records the Programs folder itself.
TEST_F(UninstallRun, TheProgramsFolderStaysUnreported) {
  Shared().StartMenu = "";
  Install();
  EXPECT_EQ(Remove(std::string("\"") + kDataFile + "\" /S"), kUninstallDone);
  EXPECT_TRUE(os::fake::Exists(kPrograms));
  ExpectMachineAsBefore();
}

}  // namespace
