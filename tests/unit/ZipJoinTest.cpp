// Joining spanned sets: numbered files on a hard disk, disks in a
// removable drive, and sets that lie about themselves.
#include <gtest/gtest.h>

#include "os/OsDisk.h"
#include "tests/unit/CodePageTestUtil.h"
#include "tests/unit/ZipTestUtil.h"
#include "zip/ZipPath.h"

namespace {

using namespace ziptest;
using zip::TZipMaster;

class ZipJoin : public ::testing::Test {
 protected:
  void SetUp() override {
    FreshMachine();
    z.Unattended = true;
    rec.Attach(z);
  }
  // The set's parts as C:\DATA\<stem>001.zip and on.
  void PutSet(const std::string& stem, int parts) {
    for (int i = 1; i <= parts; ++i) {
      std::string n = "00" + std::to_string(i);
      Put("C:\\DATA\\" + stem + n + ".zip", stem + n + ".zip");
    }
  }
  TZipMaster z;
  Recorder rec;
};

// A joined archive is sound: one part, every local header where the
// directory says, every stored entry's data matching its CRC.
void ExpectSound(const std::string& a, std::size_t entries) {
  auto end = a.rfind("PK\x05\x06");
  ASSERT_NE(end, std::string::npos);
  EXPECT_EQ(Le16(a, end + 4), 0);
  EXPECT_EQ(Le16(a, end + 6), 0);
  EXPECT_EQ(Le16(a, end + 8), entries);
  EXPECT_EQ(Le16(a, end + 10), entries);
  std::size_t p = Le32(a, end + 16);
  EXPECT_EQ(p + Le32(a, end + 12), end);
  for (std::size_t i = 0; i < entries; ++i) {
    ASSERT_EQ(Le32(a, p), 0x02014B50u);
    std::size_t local = Le32(a, p + 42);
    std::string name = a.substr(p + 46, Le16(a, p + 28));
    EXPECT_EQ(Le16(a, p + 34), 0);
    ASSERT_EQ(Le32(a, local), 0x04034B50u);
    EXPECT_EQ(a.substr(local + 30, Le16(a, local + 26)), name);
    if (Le16(a, p + 10) == 0) {
      std::size_t data = local + 30 + Le16(a, local + 26) + Le16(a, local + 28);
      EXPECT_EQ(Crc32(a.substr(data, Le32(a, p + 20))), Le32(a, p + 16)) << name;
    }
    p += 46 + Le16(a, p + 28) + Le16(a, p + 30) + Le16(a, p + 32);
  }
}

TEST_F(ZipJoin, NumberedFilesOnAHardDiskJoinIntoOneArchive) {
  PutSet("span", 3);
  os::fake::SetLastWriteTime("C:\\DATA\\span003.zip", os::fake::MakeFileTime(2025, 3, 4, 5, 6, 7));
  std::string target = "C:\\TEMP\\";
  EXPECT_EQ(z.JoinSpannedArchive("C:\\DATA\\span003.zip", target), 0) << z.LastMessage();
  EXPECT_EQ(target.rfind("C:\\TEMP\\zip", 0), 0u);
  EXPECT_EQ(target.substr(target.size() - 4), ".zip");
  std::string joined = os::fake::Content(target);
  ExpectSound(joined, 2);
  EXPECT_EQ(os::fake::LastWriteTime(target), os::fake::MakeFileTime(2025, 3, 4, 5, 6, 7));
  EXPECT_EQ(os::fake::List("C:\\TEMP").size(), 1u);  // the system's temporary file is gone
  EXPECT_FALSE(z.Busy());

  // What the owner saw: the totals, one new file per entry, every byte written, the end.
  ASSERT_GE(rec.log.size(), 4u);
  EXPECT_EQ(rec.log[0], "3::2");
  EXPECT_EQ(rec.log[1], "4::" + std::to_string(8 + 150000 + 9 + 14 + 0));
  EXPECT_EQ(rec.newFiles, 2);
  EXPECT_EQ(rec.updated, static_cast<std::int64_t>(joined.size()));
  EXPECT_EQ(rec.log.back(), "2::0");
  EXPECT_EQ(rec.messageTexts, (std::vector<std::string>{"Copying: rand.bin", "Copying: hello.txt"}));

  TZipMaster reader;
  reader.SetZipFileName(target);
  ASSERT_EQ(reader.EntryCount(), 2);
  EXPECT_EQ(reader.Contents()[0].Crc32, ReadExpected("span003.expect")[0].crc);
  EXPECT_FALSE(reader.MultiPart());
}

TEST_F(ZipJoin, DirectoryRunningOverPartsJoins) {
  PutSet("many", 4);
  std::string target = "C:\\TEMP\\";
  ASSERT_EQ(z.JoinSpannedArchive("C:\\DATA\\many004.zip", target), 0) << z.LastMessage();
  ExpectSound(os::fake::Content(target), 1201);
}

// Bit 3 with a local compressed size of 0: the size comes from the
// directory, and the descriptor is copied too. The set was cut from
// piped.zip, so the join gives back exactly that archive.
TEST_F(ZipJoin, DataDescriptorsAreCopiedAndTheSetBecomesItsSourceAgain) {
  PutSet("desc", 3);
  std::string target = "C:\\OUT\\joined.dat";
  os::fake::AddFile("C:\\OUT\\joined.dat", "old");
  os::fake::AddFile("C:\\OUT\\joined.zip", "older");
  ASSERT_EQ(z.JoinSpannedArchive("C:\\DATA\\desc003.zip", target), 0) << z.LastMessage();
  EXPECT_EQ(target, "C:\\OUT\\joined.zip");
  EXPECT_EQ(os::fake::Content(target), ReadData("piped.zip"));
  ASSERT_EQ(os::fake::ShellDeletions().size(), 1u);  // the named file went to the recycle bin
  EXPECT_EQ(os::fake::ShellDeletions()[0].path, "C:\\OUT\\joined.dat");
  EXPECT_TRUE(os::fake::ShellDeletions()[0].allowUndo);
  EXPECT_FALSE(os::fake::Exists("C:\\OUT\\joined.dat"));
}

TEST_F(ZipJoin, HardDiskPartWithoutEndRecordFailsAtOnce) {
  PutSet("span", 3);
  struct Case {
    const char* part;
    int message;
  };
  for (const Case& c : std::vector<Case>{{"span001.zip", zip::ZipMsgEndNotOnFirst},
                                         {"span002.zip", zip::ZipMsgEndNotOnPart}}) {
    SCOPED_TRACE(c.part);
    std::string target = "C:\\TEMP\\";
    EXPECT_EQ(z.JoinSpannedArchive(std::string("C:\\DATA\\") + c.part, target), zip::kJoinFailed);
    EXPECT_EQ(z.ErrorCode(), c.message);
    EXPECT_EQ(target, "");
    EXPECT_TRUE(os::fake::List("C:\\TEMP").empty());  // the output was removed
  }
  EXPECT_TRUE(os::fake::Boxes().empty());
}

// Disks in drive A:, each holding span.zip, labelled by their number.
class ZipJoinDisks : public ZipJoin {
 protected:
  void SetUp() override {
    ZipJoin::SetUp();
    os::fake::DriveSetup a;
    a.type = os::kDriveRemovable;
    os::fake::SetDrive('A', a);
    Insert(3);
  }
  void Insert(int disk) {
    ++inserted;
    os::fake::Drive('A').label = "PKBACK# 00" + std::to_string(disk);
    os::fake::AddFile("A:\\span.zip", ReadData("span00" + std::to_string(disk) + ".zip"));
  }
  int inserted = 0;
};

TEST_F(ZipJoinDisks, UnattendedStopsAtTheFirstDiskChange) {
  std::string target = "C:\\TEMP\\";
  EXPECT_EQ(z.JoinSpannedArchive("A:\\span.zip", target), zip::kJoinFailed);
  EXPECT_EQ(z.ErrorCode(), zip::ZipMsgUnattendedDisk);
  EXPECT_TRUE(os::fake::Boxes().empty());
}

TEST_F(ZipJoinDisks, TheOwnerChangesDisksWhenAsked) {
  z.Unattended = false;
  std::vector<std::string> asked;
  z.OnGetNextDisk = [&](TZipMaster*, int seq, int total, const std::string& drive, bool& abort) {
    asked.push_back(std::to_string(seq) + "/" + std::to_string(total) + " " + drive);
    Insert(seq);
  };
  std::string target = "C:\\TEMP\\";
  ASSERT_EQ(z.JoinSpannedArchive("A:\\span.zip", target), 0) << z.LastMessage();
  // The directory is on the disk in the drive: then the first disk and every following one in turn.
  EXPECT_EQ(asked, (std::vector<std::string>{"1/3 A", "2/3 A", "3/3 A"}));
  ExpectSound(os::fake::Content(target), 2);
  EXPECT_TRUE(os::fake::Boxes().empty());
}

TEST_F(ZipJoinDisks, WithoutAHandlerTheUserIsAskedAndMayCancel) {
  z.Unattended = false;
  os::fake::Drive('A').ready = false;
  os::fake::AnswerNextBoxes({os::kIdCancel});
  std::string target = "C:\\TEMP\\";
  EXPECT_EQ(z.JoinSpannedArchive("A:\\span.zip", target), zip::kJoinFailed);
  EXPECT_EQ(z.ErrorCode(), zip::ZipMsgDiskCancelled);
  ASSERT_EQ(os::fake::Boxes().size(), 1u);  // the prompt only: a cancel is not shown
  EXPECT_EQ(os::fake::Boxes()[0].text, "Please insert last disk in set\r\nin drive: A:\\");
  EXPECT_EQ(os::fake::Boxes()[0].type, os::kMbOkCancel | 0x10u);
}

TEST_F(ZipJoinDisks, TheWrongDiskIsAskedForAgain) {
  z.Unattended = false;
  int prompts = 0;
  z.OnGetNextDisk = [&](TZipMaster*, int seq, int, const std::string&, bool& abort) {
    ++prompts;
    if (prompts == 2) return Insert(seq == 1 ? 2 : 1);  // a wrong disk first
    if (prompts > 12) abort = true;
    Insert(seq);
  };
  std::string target = "C:\\TEMP\\";
  ASSERT_EQ(z.JoinSpannedArchive("A:\\span.zip", target), 0) << z.LastMessage();
  EXPECT_EQ(prompts, 4);  // disk 2 was asked for twice
}

TEST_F(ZipJoin, LyingSetsGiveMessageNumbers) {
  std::string p1 = ReadData("desc001.zip"), p2 = ReadData("desc002.zip"), p3 = ReadData("desc003.zip");
  auto end = p3.rfind("PK\x05\x06");
  auto cd = Le32(p3, end + 16);
  struct Case {
    const char* what;
    std::string a, b, c;
    int message;
  };
  auto changed = [](std::string s, std::size_t at, std::uint32_t v, int width) {
    width == 2 ? Put16(s, at, static_cast<std::uint16_t>(v)) : Put32(s, at, v);
    return s;
  };
  std::vector<Case> cases = {
      {"first part without its signature", "PK\x01\x02" + p1.substr(4), p2, p3, zip::ZipMsgNoSpanSignature},
      {"local name unknown to the directory", changed(p1, 4 + 30, 'J', 2), p2, p3, zip::ZipMsgNoCentralEntry},
      {"compressed size beyond the set", p1, p2, changed(p3, cd + 20, 0x7FFFFFFF, 4), zip::ZipMsgCopyData},
      {"bad local signature", changed(p1, 4, 0x04034B51, 4), p2, p3, zip::ZipMsgLocalSignature},
      {"directory offset beyond its part", p1, p2, changed(p3, end + 16, 0x10000, 4), zip::ZipMsgSeekFailed},
      {"directory on a part that does not exist", p1, p2, changed(p3, end + 6, 9, 2), zip::ZipMsgSeekFailed},
      {"more entries than there are", p1, p2, changed(p3, end + 10, 4000, 2), zip::ZipMsgCentralShort},
      {"a part cut short", p1, p2.substr(0, 1000), p3, zip::ZipMsgCopyData},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    os::fake::AddFile("C:\\DATA\\d001.zip", c.a);
    os::fake::AddFile("C:\\DATA\\d002.zip", c.b);
    os::fake::AddFile("C:\\DATA\\d003.zip", c.c);
    std::string target = "C:\\TEMP\\";
    EXPECT_EQ(z.JoinSpannedArchive("C:\\DATA\\d003.zip", target), zip::kJoinFailed);
    EXPECT_EQ(z.ErrorCode(), c.message) << z.LastMessage();
    EXPECT_EQ(target, "");
  }
  // A part that is missing altogether.
  os::DeleteFileA("C:\\DATA\\d002.zip");
  os::fake::AddFile("C:\\DATA\\d001.zip", p1);
  os::fake::AddFile("C:\\DATA\\d003.zip", p3);
  std::string target = "C:\\TEMP\\";
  EXPECT_EQ(z.JoinSpannedArchive("C:\\DATA\\d003.zip", target), zip::kJoinFailed);
  EXPECT_EQ(z.ErrorCode(), zip::ZipMsgOpenFailed);
  EXPECT_TRUE(os::fake::List("C:\\TEMP").empty());
}

TEST_F(ZipJoin, NoTemporaryNameGives11027) {
  PutSet("span", 3);
  std::string target = "C:\\NOWHERE\\";
  EXPECT_EQ(z.JoinSpannedArchive("C:\\DATA\\span003.zip", target), zip::kJoinFailed);
  EXPECT_EQ(z.ErrorCode(), zip::ZipMsgNoTempName);
}

TEST(ZipPartNames, NumberedPartsReplaceTheLastThreeCharacters) {
  EXPECT_EQ(zip::NumberedPartPath("C:\\D\\name003.zip", 0), "C:\\D\\name001.zip");
  EXPECT_EQ(zip::NumberedPartPath("C:\\D\\name003.zip", 11), "C:\\D\\name012.zip");
  EXPECT_EQ(zip::NumberedPartPath("C:\\D.X\\ab", 1), "C:\\D.X\\002");  // never into the folder
  EXPECT_EQ(zip::PartNumberOfPath("C:\\D\\name002.zip"), 2);
  EXPECT_EQ(zip::PartNumberOfPath("C:\\D\\name.zip"), -1);
  // On Japanese Windows the characters replaced are whole ones, and a 表 ends no folder.
  codepagetest::ScopedCodePage japanese(932);
  EXPECT_EQ(zip::NumberedPartPath("C:\\" SJ_SEISEKIHYOU "\\" SJ_SOFUTO ".zip", 1), "C:\\" SJ_SEISEKIHYOU "\\002.zip");
  EXPECT_EQ(zip::NumberedPartPath("C:\\D\\" SJ_SEISEKIHYOU "ab.zip", 2), "C:\\D\\" SJ_SEISEKI "003.zip");
}

}  // namespace
