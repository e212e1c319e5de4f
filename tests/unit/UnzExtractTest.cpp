// The engine's extraction run through its request and callbacks: reports, folder names, the
// overwrite, freshen, update and test flags, CRC mismatches, stopping, and unsafe names.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>

#include "tests/unit/UnzTestZip.h"
#include "unzdll/UnzErrors.h"
#include "zip/ZipCallbacks.h"

namespace {

using namespace unztest;

class UnzExtract : public ::testing::TestWithParam<bool> {
 protected:
  fs::path Archive(const std::vector<TestEntry>& entries, const std::string& comment = "") {
    const fs::path path = scratch_.root() / "in.zip";
    WriteFile(path, BuildZip(entries, comment));
    return path;
  }
  fs::path Out() {
    const fs::path out = scratch_.root() / "out";
    fs::create_directories(out);
    return out;
  }
  std::int32_t Run(const fs::path& archive, const std::vector<std::string>& specs = {}) {
    return runner_.Run(archive, Out(), specs, GetParam());
  }
  Scratch scratch_;
  Runner runner_;
};

INSTANTIATE_TEST_SUITE_P(Feeds, UnzExtract, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Worker" : "Direct"; });

TEST_P(UnzExtract, ReportsTotalsThenEachFileAndEndsTheBatch) {
  const std::string big(700 * 1024, 'x');
  const fs::path zip = Archive({{.name = "dir/", .data = ""}, {.name = "a.txt", .data = "alpha"},
                                {.name = "dir/big.bin", .data = big, .deflate = false}});
  EXPECT_EQ(Run(zip), 2);
  EXPECT_EQ(runner_.calls.front().code, kCbTotalFiles);
  EXPECT_EQ(runner_.calls.front().size, 2u);
  ASSERT_EQ(runner_.Of(kCbTotalSize).size(), 1u);
  EXPECT_EQ(runner_.Of(kCbTotalSize)[0].size, 5u + big.size());
  const auto started = runner_.Of(kCbNewFile);
  ASSERT_EQ(started.size(), 2u);
  EXPECT_EQ(started[0].text, "a.txt");
  EXPECT_EQ(started[0].size, 5u);
  EXPECT_EQ(started[1].text, "dir/big.bin");
  std::uint64_t progress = 0;
  for (const Call& c : runner_.Of(kCbProgress)) progress += c.size;
  EXPECT_EQ(progress, 5u + big.size());
  EXPECT_GT(runner_.Of(kCbProgress).size(), 2u) << "a large file reports progress more than once";
  EXPECT_EQ(runner_.calls.back().code, kCbEndOfBatch);
  EXPECT_TRUE(runner_.Of(kCbSkipped).empty());
  // Without folder names every file lands directly in the extraction folder.
  EXPECT_EQ(Tree(Out()), (decltype(Tree(Out())){{"a.txt", "alpha"}, {"big.bin", big}}));
}

// LZMA entries with and without their end marker; one far larger than its dictionary and the
// decoder's pieces, so the window wraps; one whose dictionary claim (4 GB) is far more than it
// needs, which costs no more memory than its own size.
TEST_P(UnzExtract, LzmaEntriesComeOutWhole) {
  std::string big;
  for (int i = 0; big.size() < 900 * 1024; ++i) big += "record " + std::to_string(i * 7919 % 65521) + "\n";
  std::string hugeClaim = BuildZip({{.name = "claim.txt", .data = "small but claims much", .lzma = true}});
  const std::size_t dictionaryField = 30 + 9 + 4 + 1;  // local header, name, zip header, lc/lp/pb
  hugeClaim.replace(dictionaryField, 4, std::string(4, '\xFF'));
  WriteFile(scratch_.root() / "claim.zip", hugeClaim);
  const fs::path zip = Archive({{.name = "marker.txt", .data = big.substr(0, 5000), .lzma = true},
                                {.name = "nomarker.txt", .data = big.substr(7, 5000), .lzma = true,
                                 .lzmaEndMarker = false},
                                {.name = "big.txt", .data = big, .lzma = true},
                                {.name = "empty.txt", .data = "", .lzma = true}});
  EXPECT_EQ(Run(zip), 4);
  EXPECT_TRUE(runner_.Of(kCbSkipped).empty());
  EXPECT_EQ(Tree(Out()), (decltype(Tree(Out())){{"big.txt", big},
                                                 {"empty.txt", ""},
                                                 {"marker.txt", big.substr(0, 5000)},
                                                 {"nomarker.txt", big.substr(7, 5000)}}));
  EXPECT_EQ(Run(scratch_.root() / "claim.zip"), 1);
  EXPECT_EQ(ReadFile(Out() / "claim.txt"), "small but claims much");
}

TEST_P(UnzExtract, FolderNamesRecreateTheStoredFolders) {
  const fs::path zip = Archive({{.name = "empty/sub/", .data = ""}, {.name = "a/b/c.txt", .data = "deep"},
                                {.name = "a\\d.txt", .data = "backslash"}});
  runner_.request().Directories = kUnzTrue;
  EXPECT_EQ(Run(zip), 2);
  EXPECT_EQ(ReadFile(Out() / "a/b/c.txt"), "deep");
  EXPECT_EQ(ReadFile(Out() / "a/d.txt"), "backslash");
  EXPECT_TRUE(fs::is_directory(Out() / "empty/sub"));
}

TEST_P(UnzExtract, WritesTheStoredTimeAndReadOnlyAttribute) {
  const std::uint32_t stamp = Dos(1999, 12, 31, 23, 58, 58);
  const fs::path zip = Archive({{.name = "ro.txt", .data = "r", .dosDateTime = stamp, .externalAttributes = 0x01},
                                {.name = "x.sh", .data = "#!", .host = 3, .externalAttributes = 0100750u << 16}});
  EXPECT_EQ(Run(zip), 2);
  struct stat st {};
  ASSERT_EQ(stat((Out() / "ro.txt").c_str(), &st), 0);
  std::tm tm{};
  localtime_r(&st.st_mtime, &tm);
  EXPECT_EQ(tm.tm_year + 1900, 1999);
  EXPECT_EQ(tm.tm_mon + 1, 12);
  EXPECT_EQ(tm.tm_mday, 31);
  EXPECT_EQ(tm.tm_hour * 3600 + tm.tm_min * 60 + tm.tm_sec, 23 * 3600 + 58 * 60 + 58);
  EXPECT_EQ(st.st_mode & 0222, 0u);
  ASSERT_EQ(stat((Out() / "x.sh").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0750u);
}

TEST_P(UnzExtract, FileSpecificationsChooseEntries) {
  const fs::path zip = Archive({{.name = "setup.ini", .data = "1"}, {.name = "sub/readme.TXT", .data = "2"},
                                {.name = "sub/a.dll", .data = "3"}, {.name = "other.txt", .data = "4"}});
  EXPECT_EQ(Run(zip, {"*.txt", "SETUP.INI"}), 3);
  EXPECT_EQ(Tree(Out()), (decltype(Tree(Out())){{"other.txt", "4"}, {"readme.TXT", "2"}, {"setup.ini", "1"}}));
  EXPECT_EQ(runner_.Of(kCbTotalFiles)[0].size, 3u);
}

TEST_P(UnzExtract, ExistingFileIsAskedAboutAndKeptUnlessReplaced) {
  const fs::path zip = Archive({{.name = "a.txt", .data = "new"}});
  WriteFile(Out() / "a.txt", "old");
  EXPECT_EQ(Run(zip), 0);
  ASSERT_EQ(runner_.Of(kCbOverwrite).size(), 1u);
  EXPECT_EQ(runner_.Of(kCbOverwrite)[0].size & 0xFF, 0u) << "proposal without the overwrite flag: keep";
  EXPECT_EQ(runner_.Of(kCbOverwrite)[0].value & 0xFFFF, 0);
  ASSERT_EQ(runner_.Of(kCbSkipped).size(), 1u);
  EXPECT_EQ(runner_.Of(kCbSkipped)[0].size & 0xFF, kSkipNoOverwrite + 1u);
  EXPECT_EQ(ReadFile(Out() / "a.txt"), "old");

  runner_.answer = [](CallbackRecord& r) {
    if (r.ActionCode == kCbOverwrite) r.Size = 1;
    return 0;
  };
  EXPECT_EQ(Run(zip), 1);
  EXPECT_EQ(ReadFile(Out() / "a.txt"), "new");
  EXPECT_EQ(Tree(Out()).size(), 1u) << "no temporary file is left beside it";
}

TEST_P(UnzExtract, OverwriteFlagReplacesWithoutAsking) {
  const fs::path zip = Archive({{.name = "a.txt", .data = "new"}});
  WriteFile(Out() / "a.txt", "old");
  fs::permissions(Out() / "a.txt", fs::perms::owner_read);
  runner_.request().Overwrite = kUnzTrue;
  EXPECT_EQ(Run(zip), 1);
  EXPECT_TRUE(runner_.Of(kCbOverwrite).empty());
  EXPECT_EQ(ReadFile(Out() / "a.txt"), "new");
}

// Freshen and update against an existing file older or newer than the entry, or none.
TEST_P(UnzExtract, FreshenAndUpdateCompareTimes) {
  struct Row {
    const char* what;
    bool freshen, update;
    int existing;  // 0 none, -1 older than the entry, +1 newer
    bool extracted;
    int skipReason;
  };
  const Row rows[] = {
      {"freshen, missing", true, false, 0, false, kSkipOnFreshen},
      {"freshen, older", true, false, -1, true, -1},
      {"freshen, newer", true, false, 1, false, kSkipOnFreshen},
      {"update, missing", false, true, 0, true, -1},
      {"update, older", false, true, -1, true, -1},
      {"update, newer", false, true, 1, false, kSkipFileExists},
      {"both, missing: update wins", true, true, 0, true, -1},
  };
  const std::uint32_t entryTime = Dos(2010, 6, 15, 12, 0, 0);
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    fs::remove_all(Out());
    const fs::path zip = Archive({{.name = "f.txt", .data = "entry", .dosDateTime = entryTime}});
    if (row.existing != 0) {
      WriteFile(Out() / "f.txt", "existing");
      std::tm tm{};
      tm.tm_year = 110;
      tm.tm_mon = 5;
      tm.tm_mday = 15;
      tm.tm_hour = 12 + row.existing;
      tm.tm_isdst = -1;
      const std::time_t t = mktime(&tm);
      const timespec times[2] = {{t, 0}, {t, 0}};
      ASSERT_EQ(utimensat(AT_FDCWD, (Out() / "f.txt").c_str(), times, 0), 0);
    }
    runner_.request().Freshen = row.freshen ? kUnzTrue : 0;
    runner_.request().Update = row.update ? kUnzTrue : 0;
    EXPECT_EQ(Run(zip), row.extracted ? 1 : 0);
    EXPECT_EQ(runner_.Of(kCbNewFile).size(), 1u) << "every file is announced, extracted or not";
    if (row.extracted) {
      EXPECT_EQ(ReadFile(Out() / "f.txt"), "entry");
      EXPECT_TRUE(runner_.Of(kCbSkipped).empty());
    } else {
      ASSERT_EQ(runner_.Of(kCbSkipped).size(), 1u);
      EXPECT_EQ(runner_.Of(kCbSkipped)[0].size & 0xFF, static_cast<std::uint32_t>(row.skipReason + 1));
    }
  }
}

TEST_P(UnzExtract, TestFlagChecksWithoutWriting) {
  const fs::path zip = Archive({{.name = "good.txt", .data = "fine"},
                                {.name = "bad.txt", .data = "broken", .setCrc = true, .crc = 1234}});
  runner_.request().Test = kUnzTrue;
  EXPECT_EQ(Run(zip), 1);
  EXPECT_TRUE(Tree(Out()).empty());
  EXPECT_TRUE(runner_.Of(kCbCrcError).empty()) << "nothing to keep, so nothing to ask";
  ASSERT_EQ(runner_.Of(kCbSkipped).size(), 1u);
  EXPECT_EQ(runner_.Of(kCbSkipped)[0].text, "bad.txt");
  EXPECT_NE(runner_.Of(kCbMessage).back().text.find("1 of the 2 tested files"), std::string::npos);
}

// What happens to a file whose data does not match its CRC, by the caller's answer to code 9.
TEST_P(UnzExtract, CrcMismatchKeepsTheFileOnlyWhenAskedTo) {
  struct Row {
    const char* what;
    std::int32_t answer;  // written into the record; -99: the record is left as the engine sent it
    bool kept;
  };
  const Row rows[] = {{"extract anyway", kCrcExtractAnyway, true},
                      {"do not extract", kCrcDoNotExtract, false},
                      {"no handler decides", kCrcNoDecision, false},
                      {"record unchanged", -99, false}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    fs::remove_all(Out());
    WriteFile(Out() / "f.txt", "previous");
    const fs::path zip = Archive({{.name = "f.txt", .data = "corrupt", .setCrc = true, .crc = 0x12345678}});
    runner_.request().Overwrite = kUnzTrue;
    runner_.answer = [&](CallbackRecord& r) {
      if (r.ActionCode == kCbCrcError && row.answer != -99) r.ErrorCode = row.answer;
      return 0;
    };
    EXPECT_EQ(Run(zip), row.kept ? 1 : 0);
    ASSERT_EQ(runner_.Of(kCbCrcError).size(), 1u);
    EXPECT_EQ(runner_.Of(kCbCrcError)[0].size, 0x12345678u);
    EXPECT_EQ(static_cast<std::uint32_t>(runner_.Of(kCbCrcError)[0].value), Crc("corrupt"));
    EXPECT_EQ(ReadFile(Out() / "f.txt"), row.kept ? "corrupt" : "previous");
    EXPECT_EQ(runner_.Of(kCbSkipped).size(), row.kept ? 0u : 1u);
    EXPECT_EQ(Tree(Out()).size(), 1u);
  }
}

TEST_P(UnzExtract, StopsAtOnceWhenTheCallerAnswersNonZero) {
  const std::string big(600 * 1024, 'y');
  const fs::path zip = Archive({{.name = "a.txt", .data = "a"}, {.name = "big.bin", .data = big},
                                {.name = "c.txt", .data = "c"}});
  for (std::int32_t stopAt : {kCbTotalFiles, kCbNewFile, kCbProgress}) {
    SCOPED_TRACE(stopAt);
    fs::remove_all(Out());
    int newFiles = 0;
    runner_.answer = [&](CallbackRecord& r) {
      if (r.ActionCode == kCbNewFile) ++newFiles;
      return (r.ActionCode == stopAt && newFiles >= 2) || (stopAt == kCbTotalFiles && r.ActionCode == stopAt) ? -1 : 0;
    };
    const std::int32_t done = Run(zip);
    EXPECT_EQ(runner_.calls.back().code, stopAt) << "nothing is reported after the stop";
    EXPECT_EQ(done, stopAt == kCbTotalFiles ? 0 : 1);
    EXPECT_FALSE(fs::exists(Out() / "big.bin"));
    EXPECT_FALSE(fs::exists(Out() / "c.txt"));
    EXPECT_EQ(Tree(Out()).size(), static_cast<std::size_t>(done)) << "no partial or temporary file";
  }
}

// Names that try to leave the extraction folder are written inside it, with and without folders.
TEST_P(UnzExtract, UnsafeNamesNeverWriteOutsideTheFolder) {
  const fs::path zip = Archive({{.name = "../up.txt", .data = "1"},
                                {.name = "/abs/root.txt", .data = "2"},
                                {.name = "C:\\drive.txt", .data = "3"},
                                {.name = "a/../../../b/climb.txt", .data = "4"},
                                {.name = "..\\..\\win.txt", .data = "5"},
                                {.name = "..", .data = "6"}});
  for (bool folders : {false, true}) {
    SCOPED_TRACE(folders);
    fs::remove_all(scratch_.root() / "out");
    runner_.request().Directories = folders ? kUnzTrue : 0;
    runner_.request().Overwrite = kUnzTrue;
    EXPECT_EQ(Run(zip), 5);
    std::vector<std::string> outside;
    for (const auto& item : fs::recursive_directory_iterator(scratch_.root()))
      if (item.is_regular_file() && item.path().filename() != "in.zip" &&
          item.path().string().rfind((scratch_.root() / "out").string(), 0) != 0)
        outside.push_back(item.path().string());
    EXPECT_TRUE(outside.empty()) << outside.front();
    EXPECT_FALSE(fs::exists("/abs/root.txt"));
    EXPECT_EQ(ReadFile(Out() / (folders ? "abs/root.txt" : "root.txt")), "2");
    EXPECT_EQ(ReadFile(Out() / (folders ? "a/b/climb.txt" : "climb.txt")), "4");
    EXPECT_EQ(ReadFile(Out() / "drive.txt"), "3");
    EXPECT_GE(runner_.Of(kCbMessage).size(), 5u) << "each mended name is reported";
    ASSERT_EQ(runner_.Of(kCbSkipped).size(), 1u) << "\"..\" leaves no name at all";
    EXPECT_EQ(runner_.Of(kCbSkipped)[0].text, "..");
  }
}

TEST_P(UnzExtract, DataBeforeTheArchiveIsAllowedFor) {
  const std::string zip = BuildZip({{.name = "a.txt", .data = "after a stub"}});
  WriteFile(scratch_.root() / "sfx.zip", std::string(5000, 'M') + zip);
  EXPECT_EQ(Run(scratch_.root() / "sfx.zip"), 1);
  EXPECT_EQ(ReadFile(Out() / "a.txt"), "after a stub");
}

TEST_P(UnzExtract, MissingArchiveGivesAMessageAndNothingElse) {
  EXPECT_EQ(Run(scratch_.root() / "none.zip"), 0);
  ASSERT_EQ(runner_.calls.size(), 1u);
  EXPECT_EQ(runner_.calls[0].code, kCbMessage);
  EXPECT_EQ(runner_.calls[0].value, static_cast<std::int32_t>(unz::UnzError::kArchiveOpen));
  EXPECT_NE(runner_.calls[0].text.find("none.zip"), std::string::npos);
}

TEST_P(UnzExtract, TheCallerIsHandedBackInEveryRecord) {
  const fs::path zip = Archive({{.name = "a.txt", .data = "a"}});
  void* seen = nullptr;
  runner_.answer = [&](CallbackRecord& r) {
    seen = r.Caller;
    return 0;
  };
  EXPECT_EQ(Run(zip), 1);
  EXPECT_EQ(seen, &runner_);
}

}  // namespace
