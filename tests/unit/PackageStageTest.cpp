// Package mode at start-up: the parts are gathered from the setup disks,
// joined last part first, extracted with the progress shown, overlaid with
// the loose extra files, and the setup goes on from the temporary folder.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "app/Setup.h"
#include "engine/SetupState.h"
#include "os/fake/FakeControl.h"
#include "os/fake/FakeDiskControl.h"
#include "os/fake/FakeUiControl.h"
#include "sys/WindowsVersion.h"
#include "tests/unit/ProgramTestUtil.h"
#include "tests/unit/ZipTestUtil.h"
#include "zip/UNZDLL.h"
#include "zip/ZipCallbacks.h"

namespace {

using os::fake::Info;

// A scripted engine: it sees the joined package, lays out the files of
// the script in the extraction folder and announces each one.
struct Engine {
  std::string package;  // the archive's bytes as the engine found them
  std::string extractDir;
  std::vector<std::pair<std::string, std::string>> files;
  std::vector<int> bar;  // the bar's position after each announcement
  int calls = 0;
  void* parent = reinterpret_cast<void*>(1);  // the window the engine may own dialogs with
};
Engine& E() {
  static Engine engine;
  return engine;
}

os::Hwnd ExtractionWindow() {
  for (os::Hwnd h : os::fake::TopLevelWindows())
    if (Info(h) && Info(h)->text == "Extracting Setup Files") return h;
  return 0;
}

std::int32_t QV_UNZ_STDCALL Version() { return 160; }

std::int32_t QV_UNZ_STDCALL Exec(ExtractRequest* request) {
  Engine& e = E();
  ++e.calls;
  e.package = os::fake::Content(request->ZipFileName);
  e.extractDir = request->ExtractDir ? request->ExtractDir : "";
  e.parent = request->Handle;
  for (auto& [name, content] : e.files) {
    os::fake::AddFile(e.extractDir + "\\" + name, content);
    CallbackRecord record{};
    record.Caller = request->Caller;
    record.ActionCode = kCbNewFile;
    record.Size = static_cast<std::uint32_t>(content.size());
    std::memcpy(record.Text, name.data(), name.size());
    os::fake::AdvanceTicks(1000);  // a file a second: every one is shown
    request->ZCallbackFunc(&record);
    os::Hwnd window = ExtractionWindow();
    e.bar.push_back(window ? Info(os::fake::Children(window)[2])->progress : -1);
  }
  return static_cast<std::int32_t>(e.files.size());
}

class PackageStage : public ::testing::Test {
 protected:
  void SetUp() override {
    programtest::FreshProgram();
    os::fake::ResetDisk();
    E() = Engine{};
    os::fake::AddLibrary("C:\\SETUP\\UNZDLL.DLL", {{"GetUnzDllVersion", reinterpret_cast<os::Proc>(&Version)},
                                                   {"UnzDllExec", reinterpret_cast<os::Proc>(&Exec)}});
    // A real archive of two entries, cut into three parts; the last-listed part is its beginning.
    std::string zip = ziptest::ReadData("stored.zip");
    size_t third = zip.size() / 3;
    os::fake::AddFile("C:\\SETUP\\demo.p01", zip.substr(2 * third));
    os::fake::AddFile("C:\\SETUP\\demo.p02", zip.substr(third, third));
    os::fake::AddFile("C:\\SETUP\\demo.p03", zip.substr(0, third));
    whole = zip;
    E().files = {{"setup.ini", "\\Pkg\r\nPkg\r\nPackaged 1.0\r\n"}, {"readme.txt", "from the package"}};
  }

  void PackageList(const std::string& text) { os::fake::AddFile("C:\\SETUP\\setup.lst", text); }

  // Runs the program; the wizard's caption when it shows (then, after
  // whileShown has looked around, it is closed).
  std::string Run(const std::function<void()>& whileShown = {}) {
    std::string caption;
    os::fake::SetUser([&] {
      os::Hwnd wizard = programtest::FormOfKind(os::FormKind::Dialog);
      if (!wizard || !Info(wizard)->visible) return false;
      caption = Info(wizard)->text;
      if (whileShown) whileShown();
      os::CloseWindow(wizard);
      return true;
    });
    SetupMain();
    return caption;
  }

  std::vector<std::string> BoxTexts() const {
    std::vector<std::string> texts;
    for (auto& b : os::fake::Boxes()) texts.push_back(b.text);
    return texts;
  }

  std::string whole;
};

TEST_F(PackageStage, PartsAreJoinedExtractedAndTheSetupGoesOnFromTheTemporaryFolder) {
  os::fake::AddFolder("C:\\WINDOWS\\TEMP\\QVINST1");
  os::fake::AddFile("C:\\WINDOWS\\TEMP\\QVINST2", "a stray file takes its number too");
  os::fake::AddFile("C:\\SETUP\\readme.txt", "loose copy");
  PackageList(":EXTRA\r\nreadme.txt\r\n:\r\n:PACKAGE\r\ndemo.p01\r\ndemo.p02\r\ndemo.p03\r\n:\r\n");
  bool tempDuringRun = false;
  std::vector<std::string> temp;
  std::string caption = Run([&] {
    tempDuringRun = os::fake::Content("C:\\WINDOWS\\TEMP\\QVINST3\\readme.txt") == "loose copy";
    temp = os::fake::List("C:\\WINDOWS\\TEMP\\QVINST3");
  });
  std::sort(temp.begin(), temp.end());
  EXPECT_EQ(temp, (std::vector<std::string>{"EXTRA", "readme.txt", "setup.ini"}));  // no part, no package
  EXPECT_EQ(E().package, whole);  // P3 + P2 + P1
  EXPECT_EQ(E().extractDir, "C:\\WINDOWS\\TEMP\\QVINST3");
  EXPECT_EQ(E().bar, (std::vector<int>{50, 100}));
  EXPECT_EQ(E().parent, nullptr);      // the component is unattended: no window for the engine
  EXPECT_EQ(caption, "Packaged 1.0");  // the list came out of the package
  EXPECT_TRUE(tempDuringRun);          // the extra file replaced the packaged one
  EXPECT_EQ(Shared().SetupDir, "C:\\WINDOWS\\TEMP\\QVINST3");
  EXPECT_EQ(Shared().SourceDir, "C:\\WINDOWS\\TEMP\\QVINST3");
  EXPECT_FALSE(os::fake::Exists("C:\\WINDOWS\\TEMP\\QVINST3"));  // gone at the end
  EXPECT_TRUE(os::fake::Exists("C:\\WINDOWS\\TEMP\\QVINST1"));
  EXPECT_TRUE(BoxTexts().empty());
}

TEST_F(PackageStage, APackageOfOnePartIsExtractedWhereItLies) {
  os::fake::AddFile("C:\\SETUP\\demo.pk1", whole);
  PackageList(":PACKAGE\r\ndemo.pk1\r\n:\r\n");
  std::vector<std::string> temp;
  EXPECT_EQ(Run([&] { temp = os::fake::List("C:\\WINDOWS\\TEMP\\QVINST1"); }), "Packaged 1.0");
  EXPECT_EQ(E().package, whole);
  std::sort(temp.begin(), temp.end());
  EXPECT_EQ(temp, (std::vector<std::string>{"readme.txt", "setup.ini"}));  // no copy of the package
}

// The package's declared sizes are checked against the temporary folder's free space before
// anything is written: the joined package and its extracted files.
TEST_F(PackageStage, TooLittleFreeSpaceEndsTheSetupBeforeAnythingIsWritten) {
  PackageList(":PACKAGE\r\ndemo.p01\r\ndemo.p02\r\ndemo.p03\r\n:\r\n");
  os::fake::Drive('C').freeBytes = 10;
  EXPECT_EQ(Run(), "");
  EXPECT_EQ(BoxTexts(), (std::vector<std::string>{"There is not enough free disk space to unpack the install package: "
                                                  "Setup needs 1 MB free in C:\\WINDOWS\\TEMP."}));
  EXPECT_EQ(Shared().Outcome, RunOutcome::Failed);
  EXPECT_EQ(E().calls, 0);
  EXPECT_FALSE(os::fake::Exists("C:\\WINDOWS\\TEMP\\QVINST1"));
}

TEST_F(PackageStage, MissingDisksAreAskedForAndCancelEndsTheProgram) {
  os::fake::AddFile("C:\\SETUP\\demo.p02", "");
  os::DeleteFileA("C:\\SETUP\\demo.p02");
  PackageList(":PACKAGE\r\ndemo.p01\r\ndemo.p02\r\n:\r\n");
  os::fake::AnswerNextBoxes({os::kIdOk, os::kIdCancel});
  EXPECT_EQ(Run(), "");
  EXPECT_EQ(BoxTexts(), (std::vector<std::string>{"Please insert setup disk number 2", "Please insert setup disk number 2"}));
  EXPECT_EQ(os::fake::Boxes()[0].type, os::kMbOkCancel | os::kMbIconInformation);
  EXPECT_EQ(E().calls, 0);
  EXPECT_FALSE(os::fake::Exists("C:\\WINDOWS\\TEMP\\QVINST1"));  // removed at the end
}

TEST_F(PackageStage, BrokenPackageListsEndStartUpWithTheirMessage) {
  struct Case {
    std::string list, message;
  } cases[] = {
      {":EXTRA\r\nreadme.txt\r\n:\r\n", "No install package information."},
      {":PACKAGE\r\n:\r\n", "Error decompressing install package."},
      // The first part without the package's end (a cut download), and a part lost between.
      {":PACKAGE\r\ndemo.p02\r\ndemo.p03\r\n:\r\n", "Error decompressing install package."},
      {":PACKAGE\r\ndemo.p01\r\ndemo.p03\r\n:\r\n", "Error decompressing install package."},
      {":PACKAGE\r\ndemo.p01\r\n",
       "The package list is malformed: :PACKAGE has no terminator line \":\" before the end of the list"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.list);
    SetUp();
    PackageList(c.list);
    EXPECT_EQ(Run(), "");
    EXPECT_EQ(BoxTexts(), (std::vector<std::string>{c.message}));
    EXPECT_EQ(E().calls, 0);
  }
}

TEST_F(PackageStage, AFailureAfterExtractionStillRemovesTheTemporaryFolder) {
  E().files = {{"setup.ini", "\\Pkg\r\nPkg\r\nPackaged 1.0\r\n:NRMSG"}, {"readme.txt", "r"}};
  PackageList(":PACKAGE\r\ndemo.p01\r\ndemo.p02\r\ndemo.p03\r\n:\r\n");
  EXPECT_EQ(Run(), "");
  ASSERT_EQ(BoxTexts().size(), 1u);
  EXPECT_EQ(BoxTexts()[0].rfind("The installation list is malformed: :NRMSG", 0), 0u);
  EXPECT_FALSE(os::fake::Exists("C:\\WINDOWS\\TEMP\\QVINST1"));
  EXPECT_EQ(Shared().Outcome, RunOutcome::Failed);
}

TEST_F(PackageStage, ADamagedPackageOrAMissingEngineShowsNoBoxOfTheComponent) {
  // Bytes after the end record: the component finds them when the progress
  // handler counts the entries, and only stores its message.
  os::fake::AddFile("C:\\SETUP\\demo.p01", whole.substr(2 * (whole.size() / 3)) + "trailing bytes");
  PackageList(":PACKAGE\r\ndemo.p01\r\ndemo.p02\r\ndemo.p03\r\n:\r\n");
  EXPECT_EQ(Run(), "Packaged 1.0");
  EXPECT_TRUE(BoxTexts().empty());

  SetUp();
  os::DeleteFileA("C:\\SETUP\\UNZDLL.DLL");
  PackageList(":PACKAGE\r\ndemo.p01\r\ndemo.p02\r\ndemo.p03\r\n:\r\n");
  EXPECT_EQ(Run(), "");
  EXPECT_EQ(BoxTexts(), (std::vector<std::string>{"Error decompressing install package."}));
  EXPECT_EQ(Shared().Outcome, RunOutcome::Refused);
}

TEST_F(PackageStage, FromAFloppyTheUserConfirmsFirst) {
  os::fake::AddDrive('A');
  os::fake::SetModuleFileName("A:\\setup.exe");
  os::fake::AddFile("A:\\setup.lst", ":PACKAGE\r\ndemo.p01\r\n:\r\n");
  os::fake::AnswerNextBoxes({os::kIdCancel});
  EXPECT_EQ(Run(), "");
  EXPECT_EQ(BoxTexts(), (std::vector<std::string>{"This program will install Setup Wizard 2.42"}));
  EXPECT_EQ(os::fake::Boxes()[0].type, os::kMbOkCancel);
  EXPECT_FALSE(os::fake::Exists("C:\\WINDOWS\\TEMP\\QVINST1"));
}

TEST_F(PackageStage, PartNamesThatWouldEscapeOrBeOverwrittenAreHandledSafely) {
  // A part already named .zip keeps its bytes: the package gets a name of its own.
  os::fake::AddFile("C:\\SETUP\\whole.zip", whole);
  PackageList(":EXTRA\r\n..\\..\\boot.ini\r\n:\r\n:PACKAGE\r\nwhole.zip\r\n:\r\n");
  os::fake::AddFile("C:\\boot.ini", "untouched");
  EXPECT_EQ(Run(), "Packaged 1.0");
  EXPECT_EQ(E().package, whole);
  EXPECT_EQ(os::fake::Content("C:\\boot.ini"), "untouched");
}

// A QVINST folder someone else made (on the NT family any user may, in the
// Windows TEMP folder) is never used: the stage takes the next number, and
// on the NT family gives its own folder an access list of its own.
TEST_F(PackageStage, TheTemporaryFolderIsOneTheStageCreatedItself) {
  for (bool nt : {true, false}) {
    SCOPED_TRACE(nt ? "NT family" : "95 family");
    SetUp();
    if (!nt) {
      os::fake::SetVersion(os::OsVersionInfo{4, 10, 2222, 1, " A "});
      ResetWinVersionCacheForTests();
    }
    os::fake::AddFile("C:\\WINDOWS\\TEMP\\QVINST1\\_setup.dll", "planted");
    std::string seenFolder;
    PackageList(":PACKAGE\r\ndemo.p01\r\ndemo.p02\r\ndemo.p03\r\n:\r\n");
    EXPECT_EQ(Run([&] { seenFolder = Shared().SetupDir; }), "Packaged 1.0");
    EXPECT_EQ(seenFolder, "C:\\WINDOWS\\TEMP\\QVINST2");
    EXPECT_EQ(E().extractDir, "C:\\WINDOWS\\TEMP\\QVINST2");
    EXPECT_EQ(os::fake::Content("C:\\WINDOWS\\TEMP\\QVINST1\\_setup.dll"), "planted");
    EXPECT_EQ(os::fake::List("C:\\WINDOWS\\TEMP\\QVINST1"), (std::vector<std::string>{"_setup.dll"}));
  }
}

TEST_F(PackageStage, TheOwnFolderAdmitsOnlyAdministratorsSystemAndTheUser) {
  std::vector<os::Trustee> trustees;
  PackageList(":PACKAGE\r\ndemo.p01\r\ndemo.p02\r\ndemo.p03\r\n:\r\n");
  Run([&] { trustees = os::fake::FolderTrustees("C:\\WINDOWS\\TEMP\\QVINST1"); });
  EXPECT_EQ(trustees, (std::vector<os::Trustee>{os::Trustee::Administrators, os::Trustee::LocalSystem,
                                                os::Trustee::CurrentUser}));

  // A folder read back with entries for others (a system that dropped the list) is not used.
  SetUp();
  os::fake::IgnoreFolderLists(true);
  PackageList(":PACKAGE\r\ndemo.p01\r\ndemo.p02\r\ndemo.p03\r\n:\r\n");
  EXPECT_EQ(Run(), "");
  EXPECT_EQ(BoxTexts(), (std::vector<std::string>{"Could not create temporary installation folder"}));
  EXPECT_FALSE(os::fake::Exists("C:\\WINDOWS\\TEMP\\QVINST1"));
  // A FAT volume keeps no lists at all: there is nothing to check, and the folder serves.
  SetUp();
  os::fake::SetVolumeKeepsSecurity(false);
  PackageList(":PACKAGE\r\ndemo.p01\r\ndemo.p02\r\ndemo.p03\r\n:\r\n");
  EXPECT_EQ(Run(), "Packaged 1.0");
}

// The engine passes over a file whose check sum fails and extracts the
// rest: the setup must not go on to install a part of the program.
TEST_F(PackageStage, AFileTheEngineCouldNotExtractEndsTheSetup) {
  E().files.pop_back();  // two entries, one extracted
  PackageList(":PACKAGE\r\ndemo.p01\r\ndemo.p02\r\ndemo.p03\r\n:\r\n");
  EXPECT_EQ(Run(), "");
  EXPECT_EQ(BoxTexts(), (std::vector<std::string>{"Error decompressing install package."}));
  EXPECT_FALSE(os::fake::Exists("C:\\WINDOWS\\TEMP\\QVINST1"));
  EXPECT_NE(Shared().Outcome, RunOutcome::Installed);
}

}  // namespace
