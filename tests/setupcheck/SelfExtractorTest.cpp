// The single-file stub's whole run on the in-memory Windows, with our unzip
// engine in-process: what it extracts where, what it starts and how, the
// exit code it ends with, what it leaves, and what it shows.
#include <gtest/gtest.h>

#include <functional>
#include <random>

#include "os/OsFiles.h"
#include "os/fake/FakeControl.h"
#include "os/fake/FakeShellControl.h"
#include "os/fake/FakeUiControl.h"
#include "sfx/SelfExtractor.h"
#include "tests/unit/SfxTestUtil.h"
#include "tools/setupcheck/DryRun.h"
#include "tools/setupcheck/ZipWriter.h"
#include "unzdll/Extractor.h"
#include "unzdll/UnzFiles.h"
#include "zip/UNZDLL.h"

namespace {

constexpr char kDownload[] = "C:\\DL\\setup-demo.exe";
constexpr char kFolder[] = "C:\\TEMP\\QVSFX1";
constexpr char kSetup[] = "C:\\TEMP\\QVSFX1\\SETUP\\setup.exe";

// Captions of the visible windows while the engine ran, and the archive it read.
std::vector<std::string> shownDuringExtraction;
std::string archiveRead;

std::int32_t QV_UNZ_STDCALL EngineVersion() { return 160; }

std::int32_t QV_UNZ_STDCALL EngineExec(ExtractRequest* request) {
  for (os::Hwnd w : os::fake::TopLevelWindows())
    if (const auto* info = os::fake::Info(w); info && info->visible)
      shownDuringExtraction.push_back(info->text);
  archiveRead = request->ZipFileName;
  std::unique_ptr<unz::FileLayer> files = unz::MakePlatformFileLayer();
  return unz::RunExtraction(*request, *files, unz::RunOptions{false});
}

std::string Noise(std::size_t size) {
  std::mt19937 gen(5);
  std::string s(size, '\0');
  for (char& c : s) c = static_cast<char>(gen() & 0xFF);
  return s;
}

class Stub : public ::testing::Test {
 public:
  void SetUp() override {
    PrepareWindows("WIN_XP");
    shownDuringExtraction.clear();
    archiveRead.clear();
    // The engine and setup.exe are known to the in-memory Windows by their
    // paths; the files themselves are the stub's to write.
    os::fake::AddLibrary(std::string(kFolder) + "\\UNZDLL.DLL",
                         {{"GetUnzDllVersion", reinterpret_cast<os::Proc>(&EngineVersion)},
                          {"UnzDllExec", reinterpret_cast<os::Proc>(&EngineExec)}});
    os::fake::AddProgram(
        kSetup, [this](const os::fake::Launch&) { AtSetup(); }, 3010);
    os::DeleteFileA(kSetup);
    os::RemoveDirectoryA(std::string(kFolder) + "\\SETUP");
    os::DeleteFileA(std::string(kFolder) + "\\UNZDLL.DLL");
    os::RemoveDirectoryA(kFolder);
    files_ = {{"setup.exe", "MZ the setup program"},
              {"setup.ini", "\\Demo\r\nDemo\r\nDemo 1.0\r\n"},
              {"readme.txt", "read me\r\n"}};
  }

  void Download(const std::string& cut = "") {
    std::string archive = WriteZip(files_);
    if (damage_) damage_(archive);
    const std::string file = sfxtest::Download(sfxtest::StubProgram(), "MZ engine", archive);
    os::fake::AddFile(kDownload, cut.empty() ? file : file.substr(0, file.size() - cut.size()));
  }

  // What setup.exe finds when it starts, and whether anything of the stub's is still on the screen.
  void AtSetup() {
    for (const ZipSource& f : files_)
      seenBySetup_.push_back(os::fake::Content(std::string(kFolder) + "\\SETUP\\" + f.name));
    for (os::Hwnd w : os::fake::TopLevelWindows())
      if (os::fake::Info(w)) windowsAtSetup_.push_back(os::fake::Info(w)->text);
    trusteesAtSetup_ = os::fake::FolderTrustees(kFolder);
    folderAtSetup_ = os::fake::List(kFolder);
  }

  std::vector<ZipSource> files_;
  std::function<void(std::string&)> damage_;  // the archive changed before the trailer is made
  std::vector<std::string> seenBySetup_, windowsAtSetup_, folderAtSetup_;
  std::vector<os::Trustee> trusteesAtSetup_;
};

TEST_F(Stub, RunsSetupInAFolderOfItsOwnAndEndsWithItsExitCode) {
  Download();
  EXPECT_EQ(sfx::RunSelfExtractor(kDownload), 3010);
  const std::vector<os::fake::Launch> launches = os::fake::Launches();
  ASSERT_EQ(launches.size(), 1u);
  EXPECT_EQ(launches[0].file, kSetup);
  EXPECT_EQ(launches[0].directory, std::optional<std::string>("C:\\TEMP\\QVSFX1\\SETUP"));
  EXPECT_FALSE(launches[0].parameters) << "setup.exe gets no argument";
  EXPECT_EQ(os::fake::ProcessEvents(),
            (std::vector<std::string>{"start " + std::string(kSetup), "exit " + std::string(kSetup),
                                      "close " + std::string(kSetup)}));
  std::vector<std::string> expected;
  for (const ZipSource& f : files_) expected.push_back(f.data);
  EXPECT_EQ(seenBySetup_, expected);
  EXPECT_TRUE(windowsAtSetup_.empty());
  EXPECT_EQ(archiveRead, kDownload) << "the archive is read where it lies, not written out first";
  EXPECT_EQ(folderAtSetup_, (std::vector<std::string>{"SETUP", "UNZDLL.DLL"}));
  EXPECT_TRUE(shownDuringExtraction.empty()) << "a small download shows no progress";
  EXPECT_FALSE(os::fake::Exists(kFolder)) << "the folder is removed at the end";
  EXPECT_TRUE(os::fake::Boxes().empty());
}

// The stub runs with administrator rights and loads the engine and starts
// setup.exe from its folder: on the NT family no other user may put a file there.
TEST_F(Stub, ItsFolderAdmitsOnlyAdministratorsSystemAndTheUser) {
  Download();
  EXPECT_EQ(sfx::RunSelfExtractor(kDownload), 3010);
  EXPECT_EQ(trusteesAtSetup_, (std::vector<os::Trustee>{os::Trustee::Administrators, os::Trustee::LocalSystem,
                                                        os::Trustee::CurrentUser}));
}

TEST_F(Stub, ShowsProgressForALargeDownload) {
  files_.push_back({"big.cab", Noise(sfx::kProgressThreshold + 1)});
  Download();
  EXPECT_EQ(sfx::RunSelfExtractor(kDownload), 3010);
  EXPECT_EQ(shownDuringExtraction, std::vector<std::string>{"Setup"});
  EXPECT_TRUE(windowsAtSetup_.empty()) << "the progress window is gone before setup starts";
  EXPECT_EQ(seenBySetup_.back(), files_.back().data);
}

TEST_F(Stub, NeverTakesAFolderThatIsThereAlready) {
  os::fake::AddFile(std::string(kFolder) + "\\SETUP\\setup.ini", "planted");
  Download();
  EXPECT_EQ(sfx::RunSelfExtractor(kDownload), 1603);  // its own folder is QVSFX2, where no engine is known
  EXPECT_EQ(os::fake::Content(std::string(kFolder) + "\\SETUP\\setup.ini"), "planted");
  EXPECT_TRUE(os::fake::Launches().empty());
  EXPECT_FALSE(os::fake::Exists("C:\\TEMP\\QVSFX2"));
}

TEST_F(Stub, RefusesADamagedDownloadAndRunsNothing) {
  struct Row {
    const char* what;
    std::function<void(Stub&)> make;
  } rows[] = {
      {"cut short", [](Stub& s) { s.Download("cut"); }},
      {"a byte changed",
       [](Stub& s) {
         s.Download();
         std::string file = os::fake::Content(kDownload);
         file[sfxtest::StubProgram().size() + 3] ^= 1;  // in the engine
         os::fake::AddFile(kDownload, file);
       }},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    SetUp();
    row.make(*this);
    EXPECT_EQ(sfx::RunSelfExtractor(kDownload), 1);
    ASSERT_EQ(os::fake::Boxes().size(), 1u);
    EXPECT_EQ(
        os::fake::Boxes()[0].text,
        "This setup program is damaged or incomplete, so nothing was installed. Please download it again.");
    EXPECT_TRUE(os::fake::Launches().empty());
    EXPECT_TRUE(os::fake::List("C:\\TEMP").empty());
  }
}

// The box says why nothing was unpacked: the packer's trailer is sound, what it holds is not.
TEST_F(Stub, AFailedUnpackingIsNamedAndNothingRuns) {
  struct Row {
    const char* what;
    std::function<void(Stub&)> make;
    std::string cause;
  } rows[] = {
      {"no setup.exe", [](Stub& s) { s.files_.erase(s.files_.begin()); }, "the download holds no setup.exe."},
      {"a file's bytes changed in the archive",
       [](Stub& s) { s.damage_ = [](std::string& zip) { zip[zip.find("read me")] ^= 1; }; },
       "readme.txt: CRC error"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    SetUp();
    damage_ = nullptr;
    row.make(*this);
    Download();
    EXPECT_EQ(sfx::RunSelfExtractor(kDownload), 1603);
    ASSERT_EQ(os::fake::Boxes().size(), 1u);
    EXPECT_EQ(os::fake::Boxes()[0].text.rfind(
                  "Could not unpack Setup's files into C:\\TEMP\\QVSFX1: " + row.cause, 0),
              0u)
        << os::fake::Boxes()[0].text;
    EXPECT_TRUE(os::fake::Launches().empty());
    EXPECT_FALSE(os::fake::Exists(kFolder));
  }
}

}  // namespace
