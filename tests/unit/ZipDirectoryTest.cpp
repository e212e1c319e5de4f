// The archive component's directory reader, on archives made by real tools
// and on damaged and lying ones; the unzip engine's reader on the same table.
#include <gtest/gtest.h>

#include <set>

#include "os/OsDisk.h"
#include "tests/unit/UnzTestZip.h"
#include "tests/unit/ZipTestUtil.h"
#include "unzdll/ZipDirectory.h"

namespace {

using namespace ziptest;
using zip::TZipMaster;

class ZipDirectory : public ::testing::Test {
 protected:
  void SetUp() override {
    FreshMachine();
    z.Unattended = true;
    rec.Attach(z);
  }
  TZipMaster z;
  Recorder rec;
};

std::string Shown(std::string name) {
  for (char& c : name)
    if (c == '/') c = '\\';
  return name;
}

// Every archive the tools made reads as Python's zipfile reads it.
TEST_F(ZipDirectory, ArchivesOfRealToolsReadAsTheirMakersWroteThem) {
  for (std::string name :
       {"stored", "deflated", "nofolders", "streamed", "piped", "comment", "python", "sevenzip", "bsdtar"}) {
    SCOPED_TRACE(name);
    FreshMachine();
    auto expected = ReadExpected(name + ".expect");
    ASSERT_FALSE(expected.empty());
    z.UseDirOnlyEntries = true;
    z.SetZipFileName(Put("C:\\DATA\\" + name + ".zip", name + ".zip"));
    EXPECT_EQ(z.ErrorCode(), 0) << z.LastMessage();
    ASSERT_EQ(z.EntryCount(), static_cast<int>(expected.size()));
    for (std::size_t i = 0; i < expected.size(); ++i) {
      const auto& e = z.Contents()[i];
      EXPECT_EQ(e.FileName, Shown(expected[i].name));
      EXPECT_EQ(e.CompressedSize, expected[i].compressed);
      EXPECT_EQ(e.UncompressedSize, expected[i].uncompressed);
      EXPECT_EQ(e.Crc32, expected[i].crc);
      EXPECT_EQ(e.CompressionMethod, expected[i].method);
      EXPECT_EQ(e.NameLength, expected[i].name.size());
      EXPECT_EQ(e.ExtraData.size(), e.ExtraLength ? e.ExtraLength + 1u : 0u);
    }
    EXPECT_FALSE(z.MultiPart());
    EXPECT_FALSE(z.OffsetsDisagree());
    EXPECT_EQ(z.LowestLocalOffset(), 0u);
    // The engine's reader sees the same entries.
    unztest::MemoryArchive archive(ReadData(name + ".zip"));
    unz::ZipDirectory d;
    ASSERT_EQ(unz::ReadZipDirectory(archive, d), unz::UnzError::kNone);
    ASSERT_EQ(d.entries.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
      EXPECT_EQ(d.entries[i].name, expected[i].name);
      EXPECT_EQ(d.entries[i].compressedSize, expected[i].compressed);
      EXPECT_EQ(d.entries[i].size, expected[i].uncompressed);
      EXPECT_EQ(d.entries[i].crc, expected[i].crc);
      EXPECT_EQ(d.entries[i].method, expected[i].method);
    }
  }
}

TEST_F(ZipDirectory, FolderEntriesAreSkippedUnlessWanted) {
  Put("C:\\DATA\\deflated.zip", "deflated.zip");
  std::vector<int> seq;
  z.OnNewName = [&](TZipMaster*, int n, const zip::ZipDirEntry&) { seq.push_back(n); };
  z.SetZipFileName("C:\\DATA\\deflated.zip");
  EXPECT_EQ(z.EntryCount(), 3);
  EXPECT_EQ(z.SkippedDirEntries(), 1);
  EXPECT_EQ(seq, (std::vector<int>{1, 3, 4}));  // the skipped entry keeps its number
  z.UseDirOnlyEntries = true;
  z.ReadDirectory();
  EXPECT_EQ(z.EntryCount(), 4);
  EXPECT_EQ(z.SkippedDirEntries(), 0);
  EXPECT_EQ(z.Contents()[1].FileName, "sub\\");
}

TEST_F(ZipDirectory, ArchiveCommentAndItsTrailingBytes) {
  std::string archive = ReadData("comment.zip");
  os::fake::AddFile("C:\\DATA\\c.zip", archive);
  z.SetZipFileName("C:\\DATA\\c.zip");
  std::string stored = archive.substr(archive.rfind("PK\x05\x06") + 22);
  EXPECT_GT(stored.size(), 300u);  // as zip wrote it, line ends and all
  EXPECT_EQ(z.ZipComment(), stored);
  EXPECT_EQ(z.EndOfZipData(), archive.size());
  EXPECT_EQ(z.ErrorCode(), 0);

  struct Case {
    const char* what;
    std::string tail;
    int message;
  };
  std::string padded(512 - archive.size() % 512, '\0');
  std::vector<Case> cases = {
      {"zeros to a multiple of 512", padded, 0},
      {"one byte of other data", "x", zip::ZipMsgTrailingBytes},
      {"zeros not ending on 512", std::string(padded.size() + 1, '\0'), zip::ZipMsgTrailingBytes},
      {"512 zeros", std::string(512, '\0') + padded, zip::ZipMsgTrailingBytes},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    os::fake::AddFile("C:\\DATA\\t.zip", archive + c.tail);
    TZipMaster t;
    t.Unattended = true;
    t.SetZipFileName("C:\\DATA\\t.zip");
    EXPECT_EQ(t.ErrorCode(), c.message);
    EXPECT_EQ(t.EntryCount(), 1);  // reading goes on after the warning
    EXPECT_EQ(t.EndOfZipData(), archive.size());
  }
}

TEST_F(ZipDirectory, EndRecordFarFromTheEndIsNotFound) {
  std::string archive = ReadData("stored.zip");
  os::fake::AddFile("C:\\DATA\\near.zip", archive + std::string(65535, 'x'));
  z.SetZipFileName("C:\\DATA\\near.zip");
  EXPECT_EQ(z.EntryCount(), 2);  // within reach: found, with a warning
  EXPECT_EQ(z.ErrorCode(), zip::ZipMsgTrailingBytes);
  os::fake::AddFile("C:\\DATA\\far.zip", archive + std::string(65536, 'x'));
  z.SetZipFileName("C:\\DATA\\far.zip");
  EXPECT_EQ(z.EntryCount(), 0);
  EXPECT_EQ(z.ErrorCode(), zip::ZipMsgNoEndRecord);
}

TEST_F(ZipDirectory, MissingNamesGiveNoEntriesButStillAnUpdate) {
  z.SetZipFileName("C:\\DATA\\none.zip");
  EXPECT_EQ(z.EntryCount(), 0);
  EXPECT_EQ(rec.dirUpdates, 1);
  z.SetZipFileName("C:\\DATA");  // a folder is no archive
  EXPECT_EQ(rec.dirUpdates, 2);
  EXPECT_EQ(z.ErrorCode(), 0);
  Put("C:\\DATA\\stored.zip", "stored.zip");
  z.SetZipFileName("C:\\DATA\\stored.zip");
  EXPECT_EQ(z.EntryCount(), 2);
  z.SetZipFileName("");
  EXPECT_EQ(z.EntryCount(), 0);
}

TEST_F(ZipDirectory, FirstPartAloneOnAHardDiskReports11045) {
  Put("C:\\DATA\\span001.zip", "span001.zip");
  z.SetZipFileName("C:\\DATA\\span001.zip");
  EXPECT_EQ(z.ErrorCode(), zip::ZipMsgEndNotOnSpanned);
  EXPECT_EQ(z.EntryCount(), 0);
  EXPECT_TRUE(z.MultiPart());
  EXPECT_EQ(z.LastMessage(),
            "ZipMsgXX.res is probably not linked to the executable\nMissing String ID is: 11045");
}

TEST_F(ZipDirectory, NoEndRecordByLabelAndSignature) {
  struct Case {
    std::string label;
    bool spanned;
    int message;
  };
  std::string first = ReadData("span001.zip");
  std::string plain = "no archive at all, just text";
  for (const Case& c : std::vector<Case>{{"", false, zip::ZipMsgNoEndRecord},
                                         {"PKBACK# 002", false, zip::ZipMsgEndNotOnPart},
                                         {"PKBACK# 001", true, zip::ZipMsgEndNotOnFirst},
                                         {"PKBACK# 002", true, zip::ZipMsgEndNotOnSpanned},
                                         {"", true, zip::ZipMsgEndNotOnSpanned}}) {
    SCOPED_TRACE(c.label + (c.spanned ? " spanned" : ""));
    os::fake::DriveSetup d;
    d.label = c.label;
    os::fake::SetDrive('C', d);
    os::fake::AddFile("C:\\DATA\\x.zip", c.spanned ? first : plain);
    z.SetZipFileName("C:\\DATA\\x.zip");
    EXPECT_EQ(z.ErrorCode(), c.message);
  }
}

TEST_F(ZipDirectory, SpannedSetsOnAHardDiskAreReadAcrossTheirParts) {
  for (auto n : {"001", "002", "003"})
    Put(std::string("C:\\DATA\\span") + n + ".zip", std::string("span") + n + ".zip");
  z.SetZipFileName("C:\\DATA\\span003.zip");
  EXPECT_EQ(z.ErrorCode(), 0) << z.LastMessage();
  ASSERT_EQ(z.EntryCount(), 2);
  EXPECT_EQ(z.Contents()[0].FileName, "rand.bin");
  EXPECT_EQ(z.Contents()[1].StartDisk, 2);
  EXPECT_EQ(z.ThisDisk(), 2);
  EXPECT_TRUE(z.MultiPart());

  // The central directory of this set starts on the second of four parts.
  for (auto n : {"001", "002", "003", "004"})
    Put(std::string("C:\\DATA\\many") + n + ".zip", std::string("many") + n + ".zip");
  z.SetZipFileName("C:\\DATA\\many004.zip");
  EXPECT_EQ(z.ErrorCode(), 0) << z.LastMessage();
  EXPECT_EQ(z.EntryCount(), 1200);
  EXPECT_EQ(z.SkippedDirEntries(), 1);
  std::set<std::string> names;
  for (const auto& e : z.Contents()) names.insert(e.FileName);
  EXPECT_EQ(names.size(), 1200u);
  EXPECT_TRUE(names.count("many\\entry-number-1200-with-a-rather-long-name.txt"));
  EXPECT_FALSE(os::fake::WaitCursorShown());  // the wait cursor was put back

  // A missing part of the directory is no hang and no crash.
  os::DeleteFileA("C:\\DATA\\many003.zip");
  z.SetZipFileName("C:\\DATA\\many004.zip");
  EXPECT_EQ(z.ErrorCode(), zip::ZipMsgOpenFailed);
  EXPECT_LT(z.EntryCount(), 1200);  // what was read before stays
}

TEST_F(ZipDirectory, StoredOffsetThatDisagreesIsReportedAndReadingGoesOn) {
  // A stub in front, as a self-extractor has: the stored offsets are too small.
  os::fake::AddFile("C:\\DATA\\sfx.zip", std::string(1000, 'M') + ReadData("deflated.zip"));
  z.SetZipFileName("C:\\DATA\\sfx.zip");
  EXPECT_TRUE(z.OffsetsDisagree());
  EXPECT_EQ(z.ErrorCode(), zip::ZipMsgOffsetsDisagree);
  EXPECT_EQ(z.EntryCount(), 3);
  EXPECT_EQ(rec.messages, std::vector<int>{0});
}

TEST_F(ZipDirectory, NamesFromOemHostsAreConverted) {
  // One stored entry whose name holds OEM byte 0x81 (u with diaeresis).
  std::string archive = ReadData("stored.zip");
  auto firstName = archive.find("hello.txt");  // in the local header
  auto centralName = archive.find("hello.txt", firstName + 1);
  archive[firstName] = archive[centralName] = '\x81';
  std::size_t central = centralName - 46;
  struct Case {
    int madeBy, host;
    zip::CodePageOpts page;
    bool converted;
  };
  for (const Case& c : std::vector<Case>{{20, 0, zip::CodePageOpts::cpAuto, true},
                                         {20, 0, zip::CodePageOpts::cpNone, false},
                                         {20, 3, zip::CodePageOpts::cpAuto, false},
                                         {20, 3, zip::CodePageOpts::cpOEM, true},
                                         {20, 6, zip::CodePageOpts::cpNone, true},
                                         {50, 11, zip::CodePageOpts::cpNone, true},
                                         {20, 11, zip::CodePageOpts::cpAuto, false}}) {
    SCOPED_TRACE(std::to_string(c.madeBy) + "/" + std::to_string(c.host));
    archive[central + 4] = static_cast<char>(c.madeBy);
    archive[central + 5] = static_cast<char>(c.host);
    os::fake::AddFile("C:\\DATA\\oem.zip", archive);
    z.CodePage = c.page;
    z.SetZipFileName("C:\\DATA\\oem.zip");
    ASSERT_EQ(z.EntryCount(), 2);
    EXPECT_EQ(z.Contents()[0].FileName, c.converted ? "\xFC"
                                                      "ello.txt"
                                                    : "\x81"
                                                      "ello.txt");
  }
}

TEST_F(ZipDirectory, DriveThatIsNotReadyReports11004) {
  os::fake::DriveSetup d;
  d.type = os::kDriveRemovable;
  d.ready = false;
  os::fake::SetDrive('A', d);
  Put("A:\\stored.zip", "stored.zip");
  z.SetZipFileName("A:\\stored.zip");
  EXPECT_EQ(z.ErrorCode(), zip::ZipMsgDriveNotReady);
  EXPECT_EQ(z.EntryCount(), 0);
  EXPECT_EQ(os::fake::ErrorMode(), 0u);  // critical-error boxes are allowed again
  // A drive whose error is a general failure counts as present for disk-span erasing.
  d.volumeError = os::kErrorGenFailure;
  os::fake::SetDrive('A', d);
  z.AddOptions.Add(zip::AddOptsEnum::AddDiskSpanErase);
  z.ReadDirectory();
  EXPECT_EQ(z.EntryCount(), 2);
}

TEST_F(ZipDirectory, MessagesAreShownOnlyWhenAttended) {
  z.Unattended = false;
  os::fake::AddFile("C:\\DATA\\bad.zip", "not a zip");
  z.SetZipFileName("C:\\DATA\\bad.zip");
  ASSERT_EQ(os::fake::Boxes().size(), 1u);
  EXPECT_EQ(os::fake::Boxes()[0].text, z.LastMessage());
  EXPECT_EQ(os::fake::Boxes()[0].caption, "setup");
  z.Unattended = true;
  z.ReadDirectory();
  EXPECT_EQ(os::fake::Boxes().size(), 1u);
  EXPECT_EQ(rec.messages, (std::vector<int>{0, 0}));
}

// Damaged archives: every cut and every lie ends in a message number.
TEST_F(ZipDirectory, DamagedArchivesGiveMessageNumbers) {
  std::string good = ReadData("deflated.zip");
  auto end = good.rfind("PK\x05\x06");
  auto central = Le32(good, end + 16);
  struct Case {
    const char* what;
    std::string bytes;
    int message;
    unz::UnzError engine = unz::UnzError::kBadDirectory;  // the unzip engine's verdict on the same bytes
  };
  std::vector<Case> cases;
  auto with = [&](auto change) {
    std::string s = good;
    change(s);
    return s;
  };
  cases.push_back({"entry count too high", with([&](std::string& s) { Put16(s, end + 10, 65535); }),
                   zip::ZipMsgCentralShort, unz::UnzError::kMultiPart});
  cases.push_back({"directory larger than the file",
                   with([&](std::string& s) { Put32(s, end + 12, 0xFFFFFF00u); }), zip::ZipMsgDirSeek});
  cases.push_back({"comment running past the end", with([&](std::string& s) {
                     Put16(s, end + 20, 40);
                     s += "x";
                   }),
                   zip::ZipMsgNoEndRecord, unz::UnzError::kNoEndRecord});
  cases.push_back({"bad central signature", with([&](std::string& s) { s[central] = 'Q'; }),
                   zip::ZipMsgCentralSignature});
  auto last = good.rfind("PK\x01\x02");
  cases.push_back({"name longer than the file", with([&](std::string& s) { Put16(s, last + 28, 65535); }),
                   zip::ZipMsgCentralName});
  cases.push_back({"extra field longer than the file",
                   with([&](std::string& s) { Put16(s, last + 30, 65535); }), zip::ZipMsgDirSeek});
  cases.push_back({"comment longer than the file", with([&](std::string& s) { Put16(s, last + 32, 65535); }),
                   zip::ZipMsgCopyFileComment});
  cases.push_back({"central directory on a later part", with([&](std::string& s) { Put16(s, end + 6, 3); }),
                   zip::ZipMsgDirSeek, unz::UnzError::kMultiPart});
  cases.push_back({"cut inside the directory", good.substr(0, central + 60) + good.substr(end), 0});
  // The component reads what it can of a lying directory; the engine, which extracts, refuses it.
  cases.push_back({"only an end record", good.substr(end), 0});
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    os::fake::AddFile("C:\\DATA\\bad.zip", c.bytes);
    TZipMaster t;
    t.Unattended = true;
    t.SetZipFileName("C:\\DATA\\bad.zip");
    if (c.message) {
      EXPECT_EQ(t.ErrorCode(), c.message) << t.LastMessage();
    }
    EXPECT_LE(t.EntryCount(), 3);
    unztest::MemoryArchive archive(c.bytes);
    unz::ZipDirectory d;
    EXPECT_EQ(unz::ReadZipDirectory(archive, d), c.engine);
    EXPECT_LE(d.entries.size(), 4u);
  }
}

TEST_F(ZipDirectory, AnArchiveOfOnlyAnEndRecordIsEmpty) {
  std::string good = ReadData("stored.zip");
  std::string empty("PK\x05\x06", 4);
  empty += std::string(18, '\0');
  os::fake::AddFile("C:\\DATA\\empty.zip", empty);
  z.SetZipFileName("C:\\DATA\\empty.zip");
  EXPECT_EQ(z.ErrorCode(), 0);
  EXPECT_EQ(z.EntryCount(), 0);
  EXPECT_EQ(z.LowestLocalOffset(), 0u);
  EXPECT_EQ(z.EndOfZipData(), 22u);
}

}  // namespace
