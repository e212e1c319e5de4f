// The archive component on real Windows (under Wine): the real engine
// extracting real archives, the two fixture engines recording the request
// they get byte for byte, a missing library, and the disk operations.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <fstream>
#include <sstream>

#include "os/OsDisk.h"
#include "os/OsFiles.h"
#include "zip/ZipMaster.h"

namespace {

using zip::TZipMaster;

std::string ExeDir() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string p = path;
  return p.substr(0, p.find_last_of('\\'));
}

std::string Slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

std::uint32_t Word(const std::string& bytes, std::size_t at) {
  std::uint32_t v = 0;
  std::memcpy(&v, bytes.data() + at, 4);
  return v;
}

std::uint32_t Crc32(const std::string& data) {
  std::uint32_t crc = 0xFFFFFFFFu;
  for (unsigned char c : data) {
    crc ^= c;
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

class ZipOnWindows : public ::testing::Test {
 protected:
  void SetUp() override {
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    scratch = std::string(temp) + "ziptest" + std::to_string(GetCurrentProcessId()) + "_" +
              ::testing::UnitTest::GetInstance()->current_test_info()->name();
    for (auto sub : {"", "\\in", "\\out", "\\tmp"}) CreateDirectoryA((scratch + sub).c_str(), nullptr);
    z.Unattended = true;
    z.OnProgress = [this](TZipMaster*, zip::ProgressType t, const std::string& name, std::int64_t) {
      if (t == zip::ProgressType::NewFile) started.push_back(name);
    };
  }
  std::string In(const std::string& archive) {
    std::string to = scratch + "\\in\\" + archive;
    EXPECT_TRUE(os::CopyFileA(ExeDir() + "\\archives\\" + archive, to, false)) << archive;
    return to;
  }
  std::string scratch;
  TZipMaster z;
  std::vector<std::string> started;
};

TEST_F(ZipOnWindows, TheRealEngineExtractsAnArchiveOfInfoZip) {
  z.SetDLLDirectory(ExeDir() + "\\real\\");
  z.SetZipFileName(In("deflated.zip"));
  ASSERT_EQ(z.EntryCount(), 3) << z.LastMessage();
  z.ExtrBaseDir = scratch + "\\out";
  z.ExtractFiles();
  EXPECT_EQ(z.SuccessCount(), 3) << z.LastMessage();
  EXPECT_EQ(started.size(), 3u);
  // Without the folder-names flag every file lands directly in the folder.
  for (const auto& e : z.Contents()) {
    std::string name = e.FileName.substr(e.FileName.find_last_of('\\') + 1);
    std::string data = Slurp(scratch + "\\out\\" + name);
    EXPECT_EQ(data.size(), e.UncompressedSize) << name;
    EXPECT_EQ(Crc32(data), e.Crc32) << name;
  }
  EXPECT_FALSE(z.EngineLoaded());
}

TEST_F(ZipOnWindows, ASpannedSetIsJoinedAndExtracted) {
  for (auto part : {"span001.zip", "span002.zip"}) In(part);
  z.SetDLLDirectory(ExeDir() + "\\real");
  z.SetZipFileName(In("span003.zip"));
  ASSERT_EQ(z.EntryCount(), 2) << z.LastMessage();
  z.TempDir = scratch + "\\tmp";
  z.ExtrBaseDir = scratch + "\\out";
  z.ExtractFiles();
  EXPECT_EQ(z.SuccessCount(), 2) << z.LastMessage();
  std::string rand = Slurp(scratch + "\\out\\rand.bin");
  EXPECT_EQ(rand.size(), 150000u);
  EXPECT_EQ(Crc32(rand), z.Contents()[0].Crc32);
  WIN32_FIND_DATAA found;
  HANDLE h = FindFirstFileA((scratch + "\\tmp\\*.zip").c_str(), &found);
  EXPECT_EQ(h, INVALID_HANDLE_VALUE);  // the joined copy is gone
  if (h != INVALID_HANDLE_VALUE) FindClose(h);
}

// The request a fixture engine wrote down, checked word by word.
void CheckRequest(const std::string& folder, TZipMaster& z, bool old, const std::string& scratch) {
  std::string r = Slurp(folder + "\\request.bin");
  ASSERT_EQ(r.size(), old ? 16464u : 148u);
  EXPECT_EQ(Word(r, 0), 0u);  // unattended: no parent window
  EXPECT_EQ(Word(r, 4), reinterpret_cast<std::uint32_t>(&z));
  EXPECT_EQ(Word(r, 8), 160u);
  EXPECT_EQ(Word(r, 12), reinterpret_cast<std::uint32_t>(&TZipMaster::ZCallback));
  EXPECT_EQ(Word(r, 16), 0u);  // trace
  EXPECT_EQ(Word(r, 20), 0u);
  EXPECT_NE(Word(r, 24), 0u);  // password
  EXPECT_EQ(Word(r, 28), 0u);  // test
  EXPECT_EQ(Word(r, 32), 0u);
  EXPECT_EQ(Word(r, 36), 0u);
  EXPECT_EQ(Word(r, 40), 0xFFFFFFFFu);
  EXPECT_EQ(Word(r, 44), 0xFFFFFFFFu);  // verbose
  EXPECT_EQ(Word(r, 48), 0xFFFFFFFFu);  // update
  EXPECT_EQ(Word(r, 52), 0u);           // freshen gives way to update
  EXPECT_EQ(Word(r, 56), 0u);           // folder names
  EXPECT_EQ(Word(r, 60), 0xFFFFFFFFu);  // overwrite
  EXPECT_EQ(Word(r, 64), 2u);
  EXPECT_NE(Word(r, 68), 0u);
  if (old) {
    EXPECT_EQ(Word(r, 72), 7u);
    EXPECT_NE(Word(r, 76), 0u);
    EXPECT_NE(Word(r, 80), 0u);
    for (std::size_t at = 84; at < r.size(); at += 4) ASSERT_EQ(Word(r, at), 0u) << at;
  } else {
    EXPECT_NE(Word(r, 72), 0u);
    for (std::size_t at = 76; at <= 100; at += 4) EXPECT_EQ(Word(r, at), 0u) << at;
    EXPECT_EQ(Word(r, 104), 0u);  // the password count goes to engines of 160 and more only
    EXPECT_NE(Word(r, 108), 0u);
    for (std::size_t at = 112; at < 144; at += 4) EXPECT_EQ(Word(r, at), 0u) << at;
    EXPECT_EQ(Word(r, 144), 7u);
  }
  std::string strings = "archive=" + z.ZipFileName() + "\npassword=pw\nspec=a.txt\nspec=b\\*.txt\n";
  if (!old) strings += "folder=" + scratch + "\\out\n";
  EXPECT_EQ(Slurp(folder + "\\strings.txt"), strings);
  EXPECT_EQ(Slurp(folder + "\\answers.txt"), "0\n0\n0\n0\n");
}

TEST_F(ZipOnWindows, FixtureEnginesReceiveTheirLayout) {
  for (int version : {151, 152}) {
    SCOPED_TRACE(version);
    std::string folder = ExeDir() + "\\v" + std::to_string(version);
    DeleteFileA((folder + "\\request.bin").c_str());
    z.SetDLLDirectory(folder);
    z.SetZipFileName(In("stored.zip"));
    z.SetPassword("pw");
    z.Verbose = true;
    z.ExtrOptions = {zip::ExtrOptsEnum::ExtrOverWrite, zip::ExtrOptsEnum::ExtrUpdate,
                     zip::ExtrOptsEnum::ExtrFreshen};
    z.ExtrBaseDir = scratch + "\\out";
    z.FSpecArgs = {"a.txt", "b\\*.txt"};
    started.clear();
    z.ExtractFiles();
    EXPECT_EQ(z.SuccessCount(), 5);
    EXPECT_EQ(started, std::vector<std::string>{"dir\\file.txt"});
    EXPECT_EQ(z.LastMessage(), "fixture message");
    CheckRequest(folder, z, version < 152, scratch);
  }
}

TEST_F(ZipOnWindows, AMissingLibraryGives10704) {
  z.SetDLLDirectory(scratch);
  z.SetZipFileName(In("stored.zip"));
  z.FSpecArgs = {"hello.txt"};
  z.ExtractFiles();
  EXPECT_EQ(z.ErrorCode(), zip::ZipMsgNoEngine);
  EXPECT_EQ(z.SuccessCount(), 0);
  EXPECT_EQ(z.FSpecArgs.size(), 1u);
  EXPECT_EQ(z.EngineVersion(), 0);
}

TEST_F(ZipOnWindows, DiskOperations) {
  EXPECT_EQ(os::GetDriveTypeA("C:\\"), os::kDriveFixed);
  EXPECT_NE(os::GetLogicalDrives() & (1u << 2), 0u);
  std::string label;
  std::uint32_t serial = 0;
  EXPECT_TRUE(os::GetVolumeInformationA("C:\\", label, serial));
  std::uint64_t free = 0, total = 0;
  EXPECT_TRUE(os::GetDiskFreeSpaceExA("C:\\", free, total));
  EXPECT_GT(total, 0u);
  std::string temp = os::GetTempPathA();
  ASSERT_FALSE(temp.empty());
  EXPECT_EQ(temp.back(), '\\');
  std::string name = os::GetTempFileNameA(scratch + "\\tmp", "zip");
  ASSERT_FALSE(name.empty());
  EXPECT_NE(os::GetFileAttributesA(name), os::kInvalidFileAttributes);
  EXPECT_TRUE(os::ShellDeleteFile(name, false));
  EXPECT_EQ(os::GetFileAttributesA(name), os::kInvalidFileAttributes);
  EXPECT_EQ(os::OemToCharBuffA("a\x81z"), "a\xFCz");
  EXPECT_EQ(os::GetTempFileNameA(scratch + "\\missing", "zip"), "");
}

}  // namespace
