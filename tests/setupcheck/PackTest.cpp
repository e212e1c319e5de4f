// The packer's parts: the zip writer read back by our engine and by Debian's
// unzip, the disk sizes and the layout over disks, and whole packing runs on
// folders on this machine, sound and faulty.
#include <gtest/gtest.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "os/OsFiles.h"
#include "os/fake/FakeCodePageControl.h"
#include "os/fake/FakeControl.h"
#include "sfx/SfxTrailer.h"
#include "sys/Folders.h"
#include "sys/TextBytes.h"
#include "tests/unit/SfxTestUtil.h"
#include "tools/setupcheck/DiskLayout.h"
#include "tools/setupcheck/DryRun.h"
#include "tools/setupcheck/OldWindowsCheck.h"
#include "tools/setupcheck/Packer.h"
#include "tools/setupcheck/SeamEngine.h"
#include "tools/setupcheck/ZipWriter.h"
#include "zip/ZipMaster.h"

namespace {

namespace fs = std::filesystem;

std::string Noise(std::size_t size, unsigned seed) {
  std::mt19937 gen(seed);
  std::string s(size, '\0');
  for (char& c : s) c = static_cast<char>(gen() & 0xFF);
  return s;
}

std::string Text(std::size_t lines) {
  std::string s;
  for (std::size_t i = 0; i < lines; ++i)
    s += "line " + std::to_string(i * 7919 % 100003) + " of the text\r\n";
  return s;
}

constexpr std::uint32_t Dos(int year, int month, int day, int hour, int minute, int second) {
  return static_cast<std::uint32_t>(((year - 1980) << 25) | (month << 21) | (day << 16) | (hour << 11) |
                                    (minute << 5) | (second / 2));
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteFile(const fs::path& path, const std::string& content) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << content;
}

// A scratch folder on this machine, removed at the end.
class HostScratch {
 public:
  HostScratch()
      : path_(fs::temp_directory_path() /
              ("packtest-" + std::to_string(getpid()) + "-" + std::to_string(counter_++))) {
    fs::remove_all(path_);
    fs::create_directories(path_);
  }
  ~HostScratch() { fs::remove_all(path_); }
  const fs::path& path() const { return path_; }

 private:
  static inline int counter_ = 0;
  fs::path path_;
};

// --- the zip writer -------------------------------------------------------------

std::vector<ZipSource> Sample() {
  return {
      {"setup.ini", "\\Demo\r\nDemo\r\nDemo 1.0\r\n", Dos(2003, 4, 5, 6, 7, 8), 0x20},
      {"empty.txt", "", Dos(1999, 12, 31, 23, 59, 58), 0x20},
      {"one.txt", "x", Dos(2010, 1, 1, 0, 0, 0), 0x21},  // read-only
      {"text.txt", Text(20000), Dos(2020, 2, 29, 12, 30, 44), 0x20},
      {"noise.bin", Noise(70000, 7), Dos(2107, 12, 31, 23, 59, 58), 0x20},  // stays stored
      {"read me now.txt", Text(3), Dos(1980, 1, 1, 0, 0, 0), 0x20},
  };
}

// Each way of compressing: the methods it may choose for a file that shrinks.
struct Method {
  const char* name;
  ZipOptions options;
  std::vector<int> methods;
};
const Method kMethods[] = {
    {"Deflate", {}, {8}},
    {"SmallestDeflate", {.smallest = true}, {8}},
    {"Lzma", {.method = ZipMethod::kLzma}, {8, 14}},
    {"SmallestLzma", {.method = ZipMethod::kLzma, .smallest = true, .lzmaDictionary = 4u << 20}, {8, 14}},
};

class ZipWriterMethods : public ::testing::TestWithParam<Method> {};
INSTANTIATE_TEST_SUITE_P(Methods, ZipWriterMethods, ::testing::ValuesIn(kMethods),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_P(ZipWriterMethods, OurEngineReadsBackEveryEntryWithItsTimeAndAttributes) {
  PrepareWindows("WIN_XP");
  const std::vector<ZipSource> files = Sample();
  os::fake::AddFile("C:\\Z\\sample.zip", WriteZip(files, GetParam().options));
  InstallSeamEngine("C:\\ENGINE\\UNZDLL.DLL");
  zip::TZipMaster zip;
  zip.Unattended = true;
  zip.SetDLLDirectory("C:\\ENGINE");
  zip.SetZipFileName("C:\\Z\\sample.zip");
  ASSERT_EQ(zip.EntryCount(), static_cast<int>(files.size()));
  for (std::size_t i = 0; i < files.size(); ++i) {
    const zip::ZipDirEntry& e = zip.Contents()[i];
    SCOPED_TRACE(files[i].name);
    EXPECT_EQ(e.FileName, files[i].name);
    EXPECT_EQ(e.UncompressedSize, files[i].data.size());
    EXPECT_EQ(e.Crc32, crc32(0, reinterpret_cast<const Bytef*>(files[i].data.data()),
                             static_cast<uInt>(files[i].data.size())));
    EXPECT_EQ(e.DosDateTime, files[i].dosDateTime);
    // Deflated where that saves bytes, stored where it does not.
    const bool text = files[i].name.ends_with(".txt") || files[i].name.ends_with(".ini");
    if (text && files[i].data.size() > 1) {
      EXPECT_TRUE(std::count(GetParam().methods.begin(), GetParam().methods.end(), e.CompressionMethod));
    } else {
      EXPECT_EQ(e.CompressionMethod, 0);
    }
    // The long text shrinks most with the method asked for.
    if (files[i].name == "text.txt") {
      EXPECT_EQ(e.CompressionMethod, GetParam().methods.back());
    }
    EXPECT_LE(e.CompressedSize, std::max<std::size_t>(files[i].data.size(), 1));
  }
  zip.ExtrBaseDir = "C:\\OUT";
  os::fake::AddFolder("C:\\OUT");
  zip.ExtractFiles();
  EXPECT_EQ(zip.SuccessCount(), static_cast<int>(files.size()));
  for (const ZipSource& f : files) {
    SCOPED_TRACE(f.name);
    const std::string path = "C:\\OUT\\" + f.name;
    EXPECT_EQ(os::fake::Content(path), f.data);
    os::FileTime local;
    std::uint16_t date = 0, time = 0;
    ASSERT_TRUE(os::FileTimeToLocalFileTime(os::fake::LastWriteTime(path), local));
    ASSERT_TRUE(os::FileTimeToDosDateTime(local, date, time));
    EXPECT_EQ((std::uint32_t{date} << 16) | time, f.dosDateTime);
    EXPECT_EQ((os::fake::Attributes(path) & os::kAttrReadonly) != 0, (f.dosAttributes & 1) != 0);
  }
}

// Info-ZIP's unzip reads deflate archives; 7-Zip tests and libarchive extracts every kind, LZMA
// entries (which Info-ZIP does not read) included.
TEST_P(ZipWriterMethods, DebiansToolsTestAndExtractIt) {
  HostScratch scratch;
  std::vector<ZipSource> files = Sample();
  files.pop_back();  // unzip prints names with spaces in quotes: the rest is enough here
  for (ZipSource& f : files) f.dosDateTime = Dos(2011, 6, 7, 8, 9, 10);
  const std::string zipData = WriteZip(files, GetParam().options);
  WriteFile(scratch.path() / "a.zip", zipData);
  const std::string zipPath = (scratch.path() / "a.zip").string();
  const std::string out = (scratch.path() / "out").string();
  ASSERT_EQ(std::system(("7z t " + zipPath + " >/dev/null").c_str()), 0);
  if (GetParam().options.method == ZipMethod::kLzma) {
    fs::create_directories(out);
    ASSERT_EQ(std::system(("bsdtar -xf " + zipPath + " -C " + out).c_str()), 0);
  } else {
    ASSERT_EQ(std::system(("unzip -tq " + zipPath + " >/dev/null").c_str()), 0);
    ASSERT_EQ(std::system(("unzip -qo " + zipPath + " -d " + out).c_str()), 0);
  }
  std::tm when{};
  when.tm_year = 111, when.tm_mon = 5, when.tm_mday = 7, when.tm_hour = 8, when.tm_min = 9, when.tm_sec = 10;
  when.tm_isdst = -1;
  const std::time_t stamp = mktime(&when);
  for (const ZipSource& f : files) {
    SCOPED_TRACE(f.name);
    const fs::path out = scratch.path() / "out" / f.name;
    EXPECT_EQ(ReadFile(out), f.data);
    EXPECT_EQ(fs::last_write_time(out),
              fs::file_time_type::clock::from_sys(std::chrono::system_clock::from_time_t(stamp)));
  }
}

// The LZMA dictionary follows the oldest Windows of the list's range: 1 MB while an 8 MB machine
// of the 95 family may decode it.
TEST(ZipWriter, LzmaDictionaryForTheOldestWindows) {
  const struct {
    const char* os;
    std::uint32_t dictionary;
  } rows[] = {
      {"", 1u << 20},
      {":OS\r\nWIN_95A\r\nWIN_XP\r\nno\r\n", 1u << 20},
      {":OS\r\nWIN_95C\r\nWIN_98\r\nno\r\n", 1u << 20},
      {":OS\r\nWIN_98\r\nWIN_XP\r\nno\r\n", 4u << 20},
      {":OS\r\nWIN_NT\r\nWIN_2K\r\nno\r\n", 4u << 20},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.os);
    const TSetupList list(std::string("\\T\r\nT\r\nT 1\r\n") + row.os + ":INSTALL\r\nt.txt\r\n:\r\n");
    EXPECT_EQ(LzmaDictionaryFor(list), row.dictionary);
  }
}

TEST(ZipWriter, DosTimesOfMoments) {
  const char* saved = std::getenv("TZ");
  const std::string old = saved ? saved : "";
  setenv("TZ", "UTC0", 1);
  tzset();
  struct Row {
    std::time_t moment;
    std::uint32_t dos;
  } rows[] = {
      {0, Dos(1980, 1, 1, 0, 0, 0)},                        // before DOS counted: its first day
      {315532800, Dos(1980, 1, 1, 0, 0, 0)},                // 1980-01-01 00:00:00
      {315532801, Dos(1980, 1, 1, 0, 0, 2)},                // an odd second goes up, never down
      {1116337530, Dos(2005, 5, 17, 13, 45, 30)},           // 2005-05-17 13:45:30
      {1116337559, Dos(2005, 5, 17, 13, 46, 0)},            // :59 rounds into the next minute
      {4354819199, Dos(2107, 12, 31, 23, 59, 58)},          // 2107-12-31 23:59:59: the last DOS moment
      {4354819200 + 86400, Dos(2107, 12, 31, 23, 59, 58)},  // after it: held there
  };
  for (const Row& row : rows) EXPECT_EQ(DosDateTimeOf(row.moment), row.dos) << row.moment;
  if (saved)
    setenv("TZ", old.c_str(), 1);
  else
    unsetenv("TZ");
  tzset();
}

// --- disk sizes and layout ----------------------------------------------------------

TEST(DiskLayout, DiskSizes) {
  struct Row {
    const char* text;
    std::uint64_t capacity;
    std::uint32_t unit;
  } rows[] = {
      {"360K", 362496, 1024},  {"720K", 730112, 1024},   {"1.2M", 1213952, 512},    {"1.44M", 1457664, 512},
      {"1.44m", 1457664, 512}, {"2.88M", 2931712, 1024}, {"650M", 681574400, 2048}, {"100000", 100000, 1},
  };
  for (const Row& row : rows) {
    const auto size = ParseDiskSize(row.text);
    ASSERT_TRUE(size) << row.text;
    EXPECT_EQ(size->capacity, row.capacity) << row.text;
    EXPECT_EQ(size->unit, row.unit) << row.text;
  }
  for (const char* bad : {"", "0", "1.44", "1.4M", "-5", "12K", "99999999999999999999", "1e6"})
    EXPECT_FALSE(ParseDiskSize(bad)) << bad;
}

// The layout's promises, whatever the sizes: the parts tile the archive, disk 1's at its end;
// every disk holds what it is said to, within its room; only the last is not full.
void ExpectSound(const DiskLayout& layout, const DiskSize& disk, const std::vector<LooseFile>& loose,
                 std::uint64_t archive, const std::function<std::uint64_t(int)>& list) {
  ASSERT_FALSE(layout.disks.empty()) << layout.error;
  std::uint64_t end = archive;
  for (const DiskPlan& plan : layout.disks) {
    SCOPED_TRACE("disk " + std::to_string(plan.number));
    EXPECT_EQ(plan.part, PartName(plan.number));
    EXPECT_GT(plan.partSize, 0u);
    EXPECT_EQ(plan.partOffset + plan.partSize, end);
    end = plan.partOffset;
    std::uint64_t used = Taken(disk, plan.partSize);
    if (plan.number == 1) {
      for (const LooseFile& f : loose) used += Taken(disk, f.size);
      used += Taken(disk, list(static_cast<int>(layout.disks.size())));
      EXPECT_EQ(plan.files.size(), loose.size() + 2);
    } else {
      EXPECT_EQ(plan.files, std::vector<std::string>{plan.part});
    }
    EXPECT_EQ(plan.used, used);
    EXPECT_LE(plan.used, disk.capacity);
    EXPECT_EQ(plan.free, disk.capacity - plan.used);
    if (plan.number < static_cast<int>(layout.disks.size())) {
      EXPECT_LT(plan.free, disk.unit);
    }
  }
  EXPECT_EQ(end, 0u);
}

TEST(DiskLayout, SizesAtTheLimits) {
  const DiskSize disk{1000, 1};
  const std::vector<LooseFile> loose{{"setup.exe", 600}, {"UNZDLL.DLL", 300}};
  const auto list = [](int parts) { return std::uint64_t(40 + 13 * parts); };
  // Disk 1 has 1000 - 900 - 53 = 47 bytes for its part.
  struct Row {
    std::uint64_t archive;
    std::size_t disks;
  } rows[] = {{1, 1}, {47, 1}, {48, 2}, {1047 - 13, 2}, {1047 - 13 + 1, 3}, {3000, 4}};
  for (const Row& row : rows) {
    SCOPED_TRACE("archive of " + std::to_string(row.archive));
    const DiskLayout layout = LayOutDisks(disk, loose, row.archive, list);
    EXPECT_EQ(layout.disks.size(), row.disks);
    ExpectSound(layout, disk, loose, row.archive, list);
  }
}

TEST(DiskLayout, FloppiesCountWholeClusters) {
  const DiskSize disk = *ParseDiskSize("1.44M");
  const std::vector<LooseFile> loose{{"setup.exe", 237569}, {"UNZDLL.DLL", 144384}, {"autoin.dat", 0}};
  const auto list = [](int parts) { return std::uint64_t(20 + 13 * parts); };
  const DiskLayout layout = LayOutDisks(disk, loose, 3000000, list);
  ExpectSound(layout, disk, loose, 3000000, list);
  ASSERT_EQ(layout.disks.size(), 3u);
  // 237569 bytes take 465 clusters, the empty marker none, the list one.
  EXPECT_EQ(layout.disks[0].partSize, 1457664u - 465 * 512 - 144384 - 512);
  EXPECT_EQ(layout.disks[1].partSize, 1457664u);
}

TEST(DiskLayout, TheListThatGrowsWithTheParts) {
  // Every part named in the list costs room on disk 1, which can cost one more part.
  const DiskSize disk{100, 1};
  const auto list = [](int parts) { return std::uint64_t(10 * parts); };
  for (std::uint64_t archive = 1; archive <= 310; ++archive) {
    SCOPED_TRACE(archive);
    ExpectSound(LayOutDisks(disk, {{"setup.exe", 50}}, archive, list), disk, {{"setup.exe", 50}}, archive,
                list);
  }
  // Five parts would leave disk 1 nothing: 50 bytes of program and 50 of list.
  EXPECT_TRUE(LayOutDisks(disk, {{"setup.exe", 50}}, 311, list).disks.empty());
}

TEST(DiskLayout, WhatCannotFit) {
  const DiskSize disk = *ParseDiskSize("360K");
  const auto list = [](int) { return std::uint64_t(60); };
  DiskLayout layout = LayOutDisks(disk, {{"setup.exe", 362497}}, 100, list);
  EXPECT_TRUE(layout.disks.empty());
  EXPECT_EQ(layout.error, "setup.exe (362497 bytes) is larger than a disk (362496 bytes)");
  layout = LayOutDisks(disk, {{"setup.exe", 237568}, {"UNZDLL.DLL", 144384}}, 100, list);
  EXPECT_TRUE(layout.disks.empty());
  EXPECT_NE(layout.error.find("leave no room for the package"), std::string::npos) << layout.error;
  layout = LayOutDisks(DiskSize{1000, 1}, {}, 2000000, list);
  EXPECT_NE(layout.error.find("at most 999"), std::string::npos) << layout.error;
}

// --- packing a folder ------------------------------------------------------------------

constexpr char kList[] = "\\Tiny\r\nTiny\r\nTiny 1.0\r\n:INSTALL\r\ntiny.txt\r\n:\r\n";

class Pack : public ::testing::Test {
 public:
  void SetUp() override {
    folder_ = scratch_.path() / "folder";
    out_ = scratch_.path() / "out";
    Put("setup.ini", kList);
    Put("tiny.txt", Text(50));
    Put("data.bin", Noise(9000, 3));
    Put("setup.exe", "MZ" + Noise(3000, 1));
    Put("UNZDLL.DLL", "MZ" + Noise(2000, 2));
    Put("autoin.dat", "");
    Put("readme.txt", "loose readme\r\n");
    Put("setup.lst", ":EXTRA\r\nREADME.TXT\r\n:\r\n");  // names compare without letter case
    WriteFile(scratch_.path() / "setupsfx.exe", sfxtest::StubProgram(500));
  }
  void Put(const std::string& name, const std::string& content) { WriteFile(folder_ / name, content); }
  int Run(std::vector<std::string> extra = {}) {
    std::vector<std::string> args{"--pack", out_.string()};
    args.insert(args.end(), extra.begin(), extra.end());
    args.push_back(folder_.string());
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    const int result = PackMain(args, (scratch_.path() / "setupcheck").string());
    output_ = testing::internal::GetCapturedStdout();
    errors_ = testing::internal::GetCapturedStderr();
    return result;
  }
  // Disk 1's archive extracted by our engine into C:\P\OUT of an in-memory Windows of that code page.
  void ExtractDisk1(std::uint32_t codePage) {
    PrepareWindows("WIN_XP");
    os::fake::SetAnsiCodePage(codePage);
    LoadSystemLeadBytes();
    os::fake::AddFile("C:\\P\\setup.zip", ReadFile(out_ / "DISK1" / "PACKAGE.001"));
    ForceFolders("C:\\P\\ENGINE");
    ForceFolders("C:\\P\\OUT");
    InstallSeamEngine("C:\\P\\ENGINE\\UNZDLL.DLL");
    zip::TZipMaster zip;
    zip.Unattended = true;
    zip.SetDLLDirectory("C:\\P\\ENGINE");
    zip.SetZipFileName("C:\\P\\setup.zip");
    zip.ExtrBaseDir = "C:\\P\\OUT";
    zip.ExtrOptions = zip::ExtrOpts{zip::ExtrOptsEnum::ExtrOverWrite};
    zip.ExtractFiles();
  }
  std::vector<std::string> Files(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  HostScratch scratch_;
  fs::path folder_, out_;
  std::string output_, errors_;
};

TEST_F(Pack, DisksInTheOrderTheJoinWantsThemAndASingleFile) {
  const std::string single = (scratch_.path() / "single.exe").string();
  ASSERT_EQ(Run({"--disk-size", "6000", "--single-file", single}), 0) << errors_;
  EXPECT_NE(output_.find("proved:"), std::string::npos) << output_;
  ASSERT_EQ(Files(out_), (std::vector<std::string>{"DISK1", "DISK2", "DISK3"}));
  EXPECT_EQ(Files(out_ / "DISK1"), (std::vector<std::string>{"PACKAGE.001", "UNZDLL.DLL", "autoin.dat",
                                                             "readme.txt", "setup.exe", "setup.lst"}));
  EXPECT_EQ(Files(out_ / "DISK3"), std::vector<std::string>{"PACKAGE.003"});
  EXPECT_EQ(ReadFile(out_ / "DISK1" / "setup.lst"),
            ":EXTRA\r\nREADME.TXT\r\n:\r\n:PACKAGE\r\nPACKAGE.001\r\nPACKAGE.002\r\nPACKAGE.003\r\n:\r\n");
  std::uint64_t disk1 = 0;
  for (const auto& e : fs::directory_iterator(out_ / "DISK1")) disk1 += fs::file_size(e.path());
  EXPECT_EQ(disk1, 6000u);
  EXPECT_EQ(fs::file_size(out_ / "DISK2" / "PACKAGE.002"), 6000u);
  // Joined last part first, the parts are one archive of the other files, which unzip accepts.
  WriteFile(scratch_.path() / "joined.zip", ReadFile(out_ / "DISK3" / "PACKAGE.003") +
                                                ReadFile(out_ / "DISK2" / "PACKAGE.002") +
                                                ReadFile(out_ / "DISK1" / "PACKAGE.001"));
  const std::string listing = scratch_.path() / "listing.txt";
  ASSERT_EQ(std::system(("unzip -Z1 " + (scratch_.path() / "joined.zip").string() + " > " + listing).c_str()),
            0);
  EXPECT_EQ(ReadFile(listing), "setup.ini\ndata.bin\ntiny.txt\n");
  EXPECT_EQ(std::system(("unzip -tq " + (scratch_.path() / "joined.zip").string() + " >/dev/null").c_str()),
            0);

  // The single file: the stub, then what its trailer says, the engine first.
  const std::string download = ReadFile(single);
  const std::string stub = ReadFile(scratch_.path() / "setupsfx.exe");
  ASSERT_EQ(download.compare(0, stub.size(), stub), 0);
  sfx::Payload p;
  ASSERT_EQ(sfx::ReadTrailer(download.size(), download.substr(download.size() - sfx::kTrailerSize), p),
            sfx::TrailerStatus::Ok);
  EXPECT_EQ(p.engineOffset, stub.size());
  EXPECT_EQ(download.substr(p.engineOffset, p.engineSize), ReadFile(folder_ / "UNZDLL.DLL"));
  EXPECT_EQ(p.crc, sfx::Crc32(0, download.data() + p.engineOffset, p.engineSize + p.archiveSize));
}

// What setup.exe reads from its own folder stays there; a runtime library the
// publisher lists is only installed, so it travels in the package (setup.exe
// itself needs nothing beside it, not even on the oldest Windows).
TEST_F(Pack, DiskOneKeepsWhatSetupReadsFromItsOwnFolder) {
  Put("setup.ini",
      "\\Tiny\r\nTiny\r\nTiny 1.0\r\n:OS\r\nWIN_95A\r\nWIN_XP\r\nNo.\r\n:INSTALL\r\ntiny.txt\r\n:\r\n"
      ":SYSTEM\r\n*msvcrt.dll\r\n:\r\n");
  Put("copyQuill.txt", "Tiny Software\r\n");
  Put("_IN242.exe", "MZ" + Noise(100, 7));
  Put("msvcrt.dll", "MZ" + Noise(100, 8));
  ASSERT_EQ(Run(), 0) << output_ << errors_;
  EXPECT_EQ(Files(out_ / "DISK1"),
            (std::vector<std::string>{"PACKAGE.001", "UNZDLL.DLL", "_IN242.exe", "autoin.dat",
                                      "copyQuill.txt", "readme.txt", "setup.exe", "setup.lst"}));
  EXPECT_EQ(ReadFile(out_ / "DISK1" / "setup.lst"),
            ":EXTRA\r\nREADME.TXT\r\n:\r\n:PACKAGE\r\nPACKAGE.001\r\n:\r\n");
}

TEST_F(Pack, RefusesWhatCannotBePacked) {
  struct Row {
    const char* what;
    std::function<void(Pack&)> change;
    std::vector<std::string> args;
    const char* message;
  } rows[] = {
      {"a list with an error",
       [](Pack& p) { p.Put("setup.ini", "\\Tiny\r\nTiny\r\nTiny 1.0\r\n:INSTALL\r\nmissing.txt\r\n:\r\n"); },
       {},
       "missing.txt"},
      {"no engine",
       [](Pack& p) { fs::remove(p.folder_ / "UNZDLL.DLL"); },
       {},
       "UNZDLL.DLL is not in the folder"},
      {"no setup.exe",
       [](Pack& p) { fs::remove(p.folder_ / "setup.exe"); },
       {},
       "setup.exe is not in the folder"},
      {"a loose file larger than a disk",
       [](Pack& p) { p.Put("setup.exe", Noise(7000, 4)); },
       {"--disk-size", "6000"},
       "setup.exe (7000 bytes) is larger than a disk (6000 bytes)"},
      {"loose files that fill disk 1",
       [](Pack&) {},
       {"--disk-size", "5050"},
       "leave no room for the package"},
      {"a sub-folder", [](Pack& p) { p.Put("sub/x.txt", "x"); }, {}, "sub-folder sub"},
      {"a folder packed already",
       [](Pack& p) { p.Put("setup.lst", ":PACKAGE\r\nA.001\r\n:\r\n"); },
       {},
       "packed already"},
      {"an extra file that is not there",
       [](Pack& p) { p.Put("setup.lst", ":EXTRA\r\nnothere.txt\r\n:\r\n"); },
       {},
       "nothere.txt is not in the folder"},
      {"a link to a file outside the folder",
       [](Pack& p) {
         WriteFile(p.scratch_.path() / "secret.key", "private");
         fs::create_symlink(p.scratch_.path() / "secret.key", p.folder_ / "key.txt");
       },
       {},
       "key.txt is a symbolic link"},
      {"links that loop",
       [](Pack& p) {
         fs::create_directory_symlink(p.folder_, p.folder_ / "again");
         fs::create_symlink(p.folder_ / "b", p.folder_ / "a");
         fs::create_symlink(p.folder_ / "a", p.folder_ / "b");
       },
       {},
       "is a symbolic link"},
      {"an output folder in use",
       [](Pack& p) { WriteFile(p.out_ / "mine.txt", "keep"); },
       {},
       "is one there already"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    fs::remove_all(folder_);
    fs::remove_all(out_);
    SetUp();
    row.change(*this);
    EXPECT_EQ(Run(row.args), 1) << output_;
    EXPECT_NE((output_ + errors_).find(row.message), std::string::npos) << output_ << errors_;
    // Nothing half-made: no disk folder unless it was there before.
    EXPECT_FALSE(fs::exists(out_ / "DISK1"));
  }
  EXPECT_TRUE(fs::exists(out_ / "mine.txt"));
}

TEST_F(Pack, NamesOutsideAsciiAreNamedInTheListsCodePage) {
  const std::string cafe = "caf\xC3\xA9.txt";  // as this machine names it
  const std::string content = "the menu\r\n" + Noise(500, 6);
  Put(cafe, content);
  Put("setup.ini", "\\Tiny\r\nTiny\r\nTiny 1.0\r\n:INSTALL\r\ntiny.txt\r\ncaf\xE9.txt\r\n:\r\n");
  ASSERT_EQ(Run({"--codepage", "1252"}), 0) << output_ << errors_;
  EXPECT_NE(output_.find("proved:"), std::string::npos) << output_;

  // Extracted by our engine from the disk's archive: the entry has the 1252 name and the file's bytes.
  ExtractDisk1(1252);
  ASSERT_TRUE(os::fake::Exists("C:\\P\\OUT\\caf\xE9.txt"));
  EXPECT_EQ(os::fake::Content("C:\\P\\OUT\\caf\xE9.txt"), content);

  // A name with no form in the code page is refused, not packed empty.
  fs::remove_all(out_);
  Put("\xE6\x97\xA5\xE6\x9C\xAC.txt", "x");
  EXPECT_EQ(Run(), 1);
  EXPECT_NE(errors_.find("has no name in code page 1252"), std::string::npos) << errors_;
  EXPECT_FALSE(fs::exists(out_ / "DISK1"));
  EXPECT_EQ(Run({"--codepage", "12345678"}), 2);
}

TEST_F(Pack, DoubleByteNamesStayWholeInTheirCodePage) {
  // ソフト.txt: the first character's second byte is 0x5C, a backslash on its own.
  const std::string soft = "\xE3\x82\xBD\xE3\x83\x95\xE3\x83\x88.txt";  // as this machine names it
  const std::string soft932 = "\x83\x5C\x83\x74\x83\x67.txt";
  const std::string content = "manual\r\n" + Noise(400, 9);
  Put(soft, content);
  Put("setup.ini", "\\Tiny\r\nTiny\r\nTiny 1.0\r\n:INSTALL\r\ntiny.txt\r\n" + soft932 + "\r\n:\r\n");
  ASSERT_EQ(Run({"--codepage", "932"}), 0) << output_ << errors_;

  ExtractDisk1(932);
  EXPECT_EQ(os::fake::Content("C:\\P\\OUT\\" + soft932), content);
  EXPECT_FALSE(os::fake::Exists("C:\\P\\OUT\\\x83"));
  os::fake::SetAnsiCodePage(1252);
  LoadSystemLeadBytes();
}

TEST_F(Pack, TheProofComparesWithTheFilesThemselves) {
  // What came out, against the folder on this machine: equal, different, missing, extra.
  PrepareWindows("WIN_XP");
  Put("caf\xC3\xA9.txt", "coffee");
  os::fake::AddFolder("C:\\OUT");
  os::fake::AddFile("C:\\OUT\\tiny.txt", Text(50));
  const std::vector<PackedName> names{{"tiny.txt", "tiny.txt"}, {"caf\xC3\xA9.txt", "caf\xE9.txt"}};
  EXPECT_EQ(CompareWithFolder(names, folder_.string(), "C:\\OUT", ""),
            std::vector<std::string>{"caf\xC3\xA9.txt did not come out"});
  os::fake::AddFile("C:\\OUT\\caf\xE9.txt", "");  // an entry packed empty
  EXPECT_EQ(CompareWithFolder(names, folder_.string(), "C:\\OUT", ""),
            std::vector<std::string>{"caf\xC3\xA9.txt came out different"});
  os::fake::AddFile("C:\\OUT\\caf\xE9.txt", "coffee");
  os::fake::AddFile("C:\\OUT\\stray.txt", "");
  EXPECT_EQ(CompareWithFolder(names, folder_.string(), "C:\\OUT", ""),
            std::vector<std::string>{"stray.txt came out but is not in the folder"});
}

TEST_F(Pack, UsageMistakes) {
  EXPECT_EQ(Run({"--disk-size", "1.3M"}), 2);
  EXPECT_NE(errors_.find("unknown disk size \"1.3M\""), std::string::npos) << errors_;
  EXPECT_EQ(PackMain({"--pack", out_.string()}, "setupcheck"), 2);
  EXPECT_FALSE(fs::exists(out_));
}

}  // namespace
