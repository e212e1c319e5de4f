// Replacing files in use: the WININIT.INI edit as line logic, both
// families' scheduling, and the pending-rename test.
#include <gtest/gtest.h>

#include "engine/DelayedReplacement.h"
#include "os/OsRegistry.h"
#include "os/fake/FakeControl.h"
#include "os/fake/FakeRegistryControl.h"
#include "sys/WindowsVersion.h"

namespace {

using Lines = std::vector<std::string>;
const char* kL1 = "NUL=C:\\APP\\DEMO.DLL";
const char* kL2 = "C:\\APP\\DEMO.DLL=C:\\APP\\DEMO.MCC";
const char* kSession = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";

TEST(RenameLines, AreAddedWhereWindowsLooksForThem) {
  const struct {
    const char* name;
    Lines before;
    Lines after;
    bool changed;
  } rows[] = {
      {"empty file", {}, {"[RENAME]", kL1, kL2}, true},
      {"no rename section", {"[boot]", "a=1"}, {"[boot]", "a=1", "[RENAME]", kL1, kL2}, true},
      {"header is the last line", {"[rename]"}, {"[rename]", kL1, kL2}, true},
      {"both present in any case",
       {"[Rename]", "nul=c:\\app\\demo.dll", "c:\\app\\demo.dll=c:\\app\\demo.mcc"},
       {"[Rename]", "nul=c:\\app\\demo.dll", "c:\\app\\demo.dll=c:\\app\\demo.mcc"},
       false},
      {"other entries kept",
       {"[RENAME]", "NUL=C:\\X.DLL", "C:\\X.DLL=C:\\X.MCC"},
       {"[RENAME]", kL1, "NUL=C:\\X.DLL", "C:\\X.DLL=C:\\X.MCC", kL2},
       true},
      {"another section follows",
       {"[rename]", "NUL=C:\\X.DLL", "[other]", "k=v"},
       {"[rename]", kL1, "NUL=C:\\X.DLL", kL2, "[other]", "k=v"},
       true},
      {"only the move line missing", {"[RENAME]", kL1}, {"[RENAME]", kL1, kL2}, true},
      {"lines of another section do not count",
       {"[RENAME]", "[other]", kL1, kL2},
       {"[RENAME]", kL1, kL2, "[other]", kL1, kL2},
       true},
      {"a header with blanks is no header", {" [RENAME]"}, {" [RENAME]", "[RENAME]", kL1, kL2}, true},
      {"the first header counts",
       {"[RENAME]", "a=b", "[RENAME]"},
       {"[RENAME]", kL1, "a=b", kL2, "[RENAME]"},
       true},
  };
  for (auto& row : rows) {
    Lines lines = row.before;
    EXPECT_EQ(AddRenameLines(lines, kL1, kL2), row.changed) << row.name;
    EXPECT_EQ(lines, row.after) << row.name;
  }
}

class Replace : public ::testing::Test {
 protected:
  void SetUp() override {
    os::fake::Reset();
    ResetWinVersionCacheForTests();
  }
  void TearDown() override {
    EXPECT_EQ(os::fake::OpenRegKeyCount(), 0);
    ResetWinVersionCacheForTests();
  }
  void UseVersion(const os::OsVersionInfo& v) {
    os::fake::SetVersion(v);
    ResetWinVersionCacheForTests();
  }
  std::string Pending() {
    auto v = os::fake::RegValueAt(os::kHkeyLocalMachine, kSession, "PendingFileRenameOperations");
    return v ? v->data : "<none>";
  }
};

TEST_F(Replace, NinetyFiveFamilyWritesShortUpperCasedLines) {
  UseVersion({4, 10, 1998, 1, ""});
  os::fake::AddFile("C:\\Program Files\\Demo App\\demo library.dll", "old");
  os::fake::AddFile("C:\\Program Files\\Demo App\\demo library.MCC", "new");
  EXPECT_TRUE(ScheduleReplace("C:\\Program Files\\Demo App\\demo library.BAK",
                              "C:\\Program Files\\Demo App\\demo library.MCC",
                              "C:\\Program Files\\Demo App\\demo library.dll"));
  const std::string expected =
      "[RENAME]\r\nNUL=C:\\PROGRA~1\\DEMOAP~1\\DEMOLI~1.DLL\r\n"
      "C:\\PROGRA~1\\DEMOAP~1\\DEMOLI~1.DLL=C:\\PROGRA~1\\DEMOAP~1\\DEMOLI~1.MCC\r\n";
  EXPECT_EQ(os::fake::Content("C:\\WINDOWS\\WININIT.INI"), expected);
  // Twice: nothing more.
  EXPECT_TRUE(ScheduleReplace("", "C:\\Program Files\\Demo App\\demo library.MCC",
                              "C:\\Program Files\\Demo App\\demo library.dll"));
  EXPECT_EQ(os::fake::Content("C:\\WINDOWS\\WININIT.INI"), expected);
  EXPECT_EQ(Pending(), "<none>");
  // Found by the long path too: compared in the short form Windows keeps.
  EXPECT_TRUE(IsRenamePending("C:\\PROGRA~1\\DEMOAP~1\\DEMOLI~1.DLL"));
  EXPECT_TRUE(IsRenamePending("C:\\Program Files\\Demo App\\demo library.dll"));
  EXPECT_FALSE(IsRenamePending("C:\\Program Files\\Demo App\\demo library.MCC"));
}

TEST_F(Replace, NinetyFiveFamilyKeepsAnExistingFileAndReportsAFileItCannotRead) {
  UseVersion({4, 0, 950, 1, ""});
  os::fake::AddFile("C:\\WINDOWS\\WININIT.INI", "[rename]\r\nNUL=C:\\X\r\n[other]\r\nk=v");
  EXPECT_TRUE(ScheduleReplace("", "C:\\A\\B.MCC", "C:\\A\\B.DLL"));  // missing files: paths as given
  EXPECT_EQ(os::fake::Content("C:\\WINDOWS\\WININIT.INI"),
            "[rename]\r\nNUL=C:\\A\\B.DLL\r\nNUL=C:\\X\r\nC:\\A\\B.DLL=C:\\A\\B.MCC\r\n[other]\r\nk=v\r\n");
  os::fake::SetInUse("C:\\WINDOWS\\WININIT.INI", true);
  EXPECT_FALSE(ScheduleReplace("", "C:\\A\\C.MCC", "C:\\A\\C.DLL"));
}

// Another program's lines, written through the profile functions and still
// held in Windows' memory, survive every edit: scheduling, cancelling and
// deleting, each after Windows wrote its copy back on its own.
TEST_F(Replace, NinetyFiveFamilyEditsTheFileWithWhatWindowsHoldsInMemory) {
  UseVersion({4, 0, 950, 1, ""});
  const std::string wininit = "C:\\WINDOWS\\WININIT.INI";
  const std::string others = "[rename]\r\nNUL=C:\\OTHER.DLL\r\nC:\\OTHER.DLL=C:\\OTHER.NEW\r\n";
  auto othersKept = [&](const char* step) {
    os::fake::WriteBackProfileCache();
    std::string content = os::fake::Content(wininit);
    EXPECT_NE(content.find("NUL=C:\\OTHER.DLL\r\n"), std::string::npos) << step << ":\n" << content;
    EXPECT_NE(content.find("C:\\OTHER.DLL=C:\\OTHER.NEW\r\n"), std::string::npos) << step << ":\n" << content;
    return content;
  };
  os::fake::CacheProfileFile(wininit, others);
  EXPECT_TRUE(ScheduleReplace("", "C:\\A\\B.MCC", "C:\\A\\B.DLL"));
  EXPECT_NE(othersKept("scheduled").find("C:\\A\\B.DLL=C:\\A\\B.MCC"), std::string::npos);
  EXPECT_TRUE(IsRenamePending("C:\\OTHER.DLL"));

  os::fake::CacheProfileFile(wininit, os::fake::Content(wininit) + "[other]\r\nk=v\r\n");
  EXPECT_TRUE(CancelReplace("C:\\A\\B.DLL"));
  std::string content = othersKept("cancelled");
  EXPECT_EQ(content.find("B.MCC"), std::string::npos) << content;
  EXPECT_NE(content.find("[other]\r\nk=v"), std::string::npos) << content;

  os::fake::CacheProfileFile(wininit, others);
  EXPECT_TRUE(ScheduleDelete("C:\\A\\C.DLL"));
  EXPECT_NE(othersKept("deleted").find("NUL=C:\\A\\C.DLL"), std::string::npos);
}

TEST_F(Replace, NtFamilySchedulesTwoDelayedMovesOnce) {
  UseVersion({5, 1, 2600, 2, ""});
  os::fake::AddFile("C:\\App\\demo.dll", "old");
  os::fake::AddFile("C:\\App\\demo.MCC", "new");
  EXPECT_FALSE(IsRenamePending("C:\\App\\demo.dll"));
  EXPECT_TRUE(ScheduleReplace("C:\\App\\demo.BAK", "C:\\App\\demo.MCC", "C:\\App\\demo.dll"));
  const std::string expected(
      "\\??\\C:\\App\\demo.dll\0!\\??\\C:\\App\\demo.BAK\0"
      "\\??\\C:\\App\\demo.MCC\0!\\??\\C:\\App\\demo.dll\0\0",
      83);
  EXPECT_EQ(Pending(), expected);
  EXPECT_TRUE(IsRenamePending("c:\\app\\DEMO.dll"));
  EXPECT_TRUE(ScheduleReplace("C:\\App\\demo.BAK", "C:\\App\\demo.MCC", "C:\\App\\demo.dll"));
  EXPECT_EQ(Pending(), expected);  // skipped: already waiting
  EXPECT_FALSE(os::fake::Exists("C:\\WINDOWS\\WININIT.INI"));
}

TEST_F(Replace, PendingMeansNamedAsSourceOrTargetInAnyCase) {
  const char list[] =
      "\\??\\C:\\Program Files\\Demo\\demo.dll\0!\\??\\C:\\Program Files\\Demo\\demo.BAK\0"
      "\\??\\C:\\Other\\demo.dll2\0";
  os::fake::SetRegValue(os::kHkeyLocalMachine, kSession, "PendingFileRenameOperations",
                        {os::kRegMultiSz, std::string(list, sizeof list)});
  EXPECT_TRUE(IsRenamePendingNT("C:\\PROGRAM FILES\\DEMO\\DEMO.DLL"));  // a source
  EXPECT_TRUE(IsRenamePendingNT("c:\\program files\\demo\\demo.bak"));  // a target
  // A longer name that begins with the destination is another file.
  EXPECT_FALSE(IsRenamePendingNT("C:\\OTHER\\DEMO.DLL"));
  EXPECT_TRUE(IsRenamePendingNT("C:\\OTHER\\DEMO.DLL2"));
  EXPECT_FALSE(IsRenamePendingNT("C:\\PROGRAM FILES\\DEMO"));
  EXPECT_FALSE(IsRenamePendingNT(""));
}

TEST_F(Replace, ReadPendingRenamesSplitsAtEveryNul) {
  const struct {
    std::uint32_t type;
    std::string data;
    std::string joined;
  } rows[] = {
      {os::kRegMultiSz, std::string("a\0!b\0c\0\0\0", 9), "a\r\n!b\r\nc\r\n\r\n"},
      {os::kRegSz, std::string("one\0", 4), "one"},
      {os::kRegExpandSz, "no terminator", "no terminator"},
      {os::kRegBinary, std::string("a\0b\0", 4), ""},
      {os::kRegDword, std::string(4, '\1'), ""},
      {os::kRegMultiSz, "", ""},
  };
  for (auto& row : rows) {
    os::fake::SetRegValue(os::kHkeyLocalMachine, kSession, "PendingFileRenameOperations",
                          {row.type, row.data});
    EXPECT_EQ(ReadPendingRenames(), row.joined) << row.type << " " << row.data;
  }
  // The list grows between the size question and the read: all of it is read.
  os::fake::SetRegValue(os::kHkeyLocalMachine, kSession, "PendingFileRenameOperations",
                        {os::kRegMultiSz, std::string("a\0\0", 3)});
  os::fake::AfterNextRegSizeQuery([] {
    os::fake::SetRegValue(os::kHkeyLocalMachine, kSession, "PendingFileRenameOperations",
                          {os::kRegMultiSz, std::string("a\0b\0longer entry\0", 17)});
  });
  EXPECT_EQ(ReadPendingRenames(), "a\r\nb\r\nlonger entry");
  os::fake::Reset();
  EXPECT_EQ(ReadPendingRenames(), "");  // no key
  os::fake::AddRegKey(os::kHkeyLocalMachine, kSession);
  EXPECT_EQ(ReadPendingRenames(), "");  // no value
}

TEST_F(Replace, ShortPathsAreWholeHoweverLong) {
  std::string longPath = "C:";
  for (int i = 0; i < 40; ++i) longPath += "\\Folder Number " + std::to_string(i);
  os::fake::AddFile(longPath + "\\file.txt", "x");
  std::string expected = "C:";
  for (int i = 0; i < 40; ++i) expected += "\\FOLDER~1";
  EXPECT_EQ(ShortPath(longPath + "\\file.txt"), expected + "\\FILE~1.TXT");  // 373 characters, none cut
  EXPECT_EQ(ShortPath("C:\\Not There\\x.txt"), "C:\\Not There\\x.txt");
}

}  // namespace

namespace {

TEST(ReplaceMany, EveryScheduledReplacementStaysPending) {
  // Enough replacements that the pending list outgrows any small buffer.
  os::fake::Reset();
  ResetWinVersionCacheForTests();
  std::vector<std::string> destinations;
  for (int i = 0; i < 40; ++i) {
    std::string d = "C:\\Program Files\\A Rather Long Folder Name\\component-" + std::to_string(i) + ".dll";
    os::fake::AddFile(d, "old");
    os::fake::AddFile(d + ".MCC", "new");
    ASSERT_TRUE(ScheduleReplace(d + ".BAK", d + ".MCC", d));
    destinations.push_back(d);
  }
  for (const std::string& d : destinations) EXPECT_TRUE(IsRenamePending(d)) << d;
}

}  // namespace
