// A setup folder on the host taken into the in-memory Windows: names in the
// lists' code page, and the files' dates, as Setup would see them there.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "os/fake/FakeControl.h"
#include "tools/setupcheck/DryRun.h"
#include "tools/setupcheck/HostFolder.h"
#include "tools/setupcheck/SetupCheck.h"

namespace {

namespace fs = std::filesystem;

class HostFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ =
        fs::temp_directory_path() /
        ("setupcheck-host-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(folder_);
    fs::create_directories(folder_);
  }
  void TearDown() override { fs::remove_all(folder_); }
  void Write(const std::string& utf8Name, const std::string& content) {
    std::ofstream(folder_ / fs::u8path(utf8Name), std::ios::binary) << content;
  }
  void Date(const std::string& utf8Name, int year) {
    // The host's clock: seconds since 1970, negative before it.
    const auto since1970 =
        std::chrono::seconds(static_cast<long long>(year - 1970) * 31557600LL + 86400 * 180);
    fs::last_write_time(
        folder_ / fs::u8path(utf8Name),
        fs::file_time_type::clock::from_sys(std::chrono::system_clock::time_point(since1970)));
  }
  fs::path folder_;
};

TEST_F(HostFolder, NamesAreTakenIntoTheListsCodePage) {
  Write("setup.ini",
        "\\A\r\nA\r\nA\r\n:INSTALL\r\ncaf\xE9.txt\r\n:\r\n:SHORTCUTS\r\nCafe\r\ncaf\xE9.txt\r\n:\r\n");
  Write("café.txt", "c");
  Write("日本.txt", "j");
  struct Case {
    int codePage;
    std::vector<std::string> unnamed;
    const char* japanese;  // the name as the code page writes it, when it has one
  } cases[] = {
      {1252, {"日本.txt"}, nullptr},
      {932, {"café.txt"}, "\x93\xFA\x96\x7B.txt"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.codePage);
    PrepareWindows("WIN_XP");
    HostNames names{c.codePage, {}, {}};
    ASSERT_TRUE(MirrorHostFolder(folder_.string(), "C:\\SETUP", names));
    EXPECT_EQ(names.unnamed, c.unnamed);
    EXPECT_EQ(os::fake::Exists("C:\\SETUP\\caf\xE9.txt"), c.codePage == 1252);
    if (c.japanese) {
      EXPECT_TRUE(os::fake::Exists(std::string("C:\\SETUP\\") + c.japanese));
    }
  }
  EXPECT_TRUE(IsUsableCodePage(1252));
  EXPECT_TRUE(IsUsableCodePage(950));
  EXPECT_FALSE(IsUsableCodePage(4));
}

TEST_F(HostFolder, ANonAsciiNameIsTheFileTheListNames) {
  // Under 1252 the list's name is the file: no finding, and the dry run copies it and links it.
  Write("setup.ini",
        "\\A\r\nA\r\nA\r\n:INSTALL\r\ncaf\xE9.txt\r\n:\r\n:SHORTCUTS\r\nCafe\r\ncaf\xE9.txt\r\n:\r\n");
  Write("café.txt", "c");
  PrepareWindows("WIN_98");
  ASSERT_TRUE(MirrorHostFolder(folder_.string(), "C:\\SETUP"));
  EXPECT_TRUE(CheckSetupFolder("C:\\SETUP").empty());
  const DryRun run = RunDry("WIN_98", {});
  ASSERT_EQ(run.shortcuts.size(), 1u);
  EXPECT_EQ(run.shortcuts[0].target, "C:\\Program Files\\A\\caf\xE9.txt");
  EXPECT_EQ(run.log.find("Caching failed"), std::string::npos) << run.log;
}

TEST_F(HostFolder, AListDatedBefore1980IsNotFound) {
  Write("setup.ini", "\\A\r\nA\r\nA\r\n:INSTALL\r\na.txt\r\n:\r\n");
  Write("a.txt", "a");
  Date("setup.ini", 1975);
  PrepareWindows("WIN_XP");
  ASSERT_TRUE(MirrorHostFolder(folder_.string(), "C:\\SETUP"));
  const std::vector<Finding> findings = CheckSetupFolder("C:\\SETUP");
  ASSERT_EQ(findings.size(), 1u);
  EXPECT_EQ(FormatFinding(findings[0]).rfind("setup.ini:1: error: setup.ini is dated before 1980", 0), 0u);

  const DryRun run = RunDry("WIN_XP", {});
  ASSERT_EQ(run.boxes.size(), 1u);
  EXPECT_EQ(run.boxes[0].text, "Could not find installation list");
  EXPECT_TRUE(run.files.empty());
}

}  // namespace
