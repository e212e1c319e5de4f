// Contract of short paths, delayed moves and profile strings.
#include <gtest/gtest.h>

#include "os/OsDelayedFiles.h"
#include "os/OsFiles.h"
#include "os/OsRegistry.h"
#include "tests/contract/ContractEnv.h"

namespace {

void WriteText(const std::string& path, const std::string& text) {
  os::UniqueFile f(os::CreateFileA(path, os::Access::Write, os::Disposition::CreateAlways));
  ASSERT_TRUE(f) << path;
  std::uint32_t written = 0;
  ASSERT_TRUE(os::WriteFile(f.get(), text.data(), static_cast<std::uint32_t>(text.size()), written));
}

const char* kSession = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";
const char* kPending = "PendingFileRenameOperations";

// The pending rename list, or nullopt when there is none.
std::optional<std::string> Pending() {
  os::Hkey raw = 0;
  if (os::RegOpenKeyExA(os::kHkeyLocalMachine, kSession, os::kKeyRead, raw) != 0) return std::nullopt;
  os::UniqueKey key(raw);
  std::uint32_t type = 0, size = 0;
  if (os::RegQueryValueExA(key.get(), kPending, &type, nullptr, &size) != 0) return std::nullopt;
  std::string data(size, '\0');
  if (os::RegQueryValueExA(key.get(), kPending, &type, data.data(), &size) != 0) return std::nullopt;
  data.resize(size);
  return data;
}

void RestorePending(const std::optional<std::string>& before) {
  os::Hkey raw = 0;
  if (os::RegOpenKeyExA(os::kHkeyLocalMachine, kSession, os::kKeyAllAccess, raw) != 0) return;
  os::UniqueKey key(raw);
  if (before)
    os::RegSetValueExA(key.get(), kPending, os::kRegMultiSz, before->data(),
                       static_cast<std::uint32_t>(before->size()));
  else
    os::RegDeleteValueA(key.get(), kPending);
}

TEST(DelayedFilesContract, ShortPathsOfLongNames) {
  std::string s = contract::FreshScratch();
  ASSERT_TRUE(os::CreateDirectoryA(s + "\\Long Folder Name"));
  WriteText(s + "\\Long Folder Name\\Long File Name.text", "x");
  std::string shortPath = "garbage";
  ASSERT_TRUE(os::GetShortPathNameA(s + "\\Long Folder Name\\Long File Name.text", shortPath));
  // Each long part becomes an 8.3 name with a "~" (Windows numbers them, Wine hashes them).
  size_t last = shortPath.find_last_of('\\');
  size_t folder = shortPath.find_last_of('\\', last - 1);
  std::string file = shortPath.substr(last + 1), dir = shortPath.substr(folder + 1, last - folder - 1);
  EXPECT_EQ(shortPath.substr(0, 3), s.substr(0, 3)) << shortPath;
  EXPECT_EQ(file.size(), 12u) << file;
  EXPECT_EQ(file.substr(0, 4) + file.substr(8), "LONG.TEX") << file;
  EXPECT_NE(file.find('~'), std::string::npos) << file;
  EXPECT_EQ(dir.size(), 8u) << dir;
  EXPECT_NE(dir.find('~'), std::string::npos) << dir;
  EXPECT_EQ(shortPath.find(' '), std::string::npos);
  shortPath = "untouched";
  EXPECT_FALSE(os::GetShortPathNameA(s + "\\missing.txt", shortPath));
  EXPECT_EQ(os::GetLastError(), os::kErrorFileNotFound);
  EXPECT_EQ(shortPath, "untouched");
}

TEST(DelayedFilesContract, ProfileStringsAreFoundInAnyCase) {
  std::string s = contract::FreshScratch();
  WriteText(s + "\\w.ini", "[boot]\r\nNUL=no\r\n[Rename]\r\nNUL=C:\\A.DLL\r\nC:\\A.DLL = C:\\A.MCC\r\n");
  EXPECT_EQ(os::GetPrivateProfileStringA("rename", "c:\\a.dll", "", s + "\\w.ini"), "C:\\A.MCC");
  EXPECT_EQ(os::GetPrivateProfileStringA("Rename", "NUL", "", s + "\\w.ini"), "C:\\A.DLL");
  EXPECT_EQ(os::GetPrivateProfileStringA("Rename", "C:\\B.DLL", "none", s + "\\w.ini"), "none");
  EXPECT_EQ(os::GetPrivateProfileStringA("Rename", "C:\\A.DLL", "none", s + "\\missing.ini"), "none");
}

TEST(DelayedFilesContract, DelayedMovesAreRecordedForTheNextStart) {
  std::string s = contract::FreshScratch();
  WriteText(s + "\\demo.dll", "old");
  WriteText(s + "\\demo.MCC", "new");
  auto before = Pending();
  const std::uint32_t flags = os::kMoveFileReplaceExisting | os::kMoveFileDelayUntilReboot;
  bool first = os::MoveFileExA(s + "\\demo.dll", s + "\\demo.BAK", flags);
  bool second = os::MoveFileExA(s + "\\demo.MCC", s + "\\demo.dll", flags);
  auto after = Pending();
  RestorePending(before);
  ASSERT_TRUE(first);
  ASSERT_TRUE(second);
  ASSERT_TRUE(after);
  std::string expected = "\\??\\" + s + "\\demo.dll" + '\0' + "!\\??\\" + s + "\\demo.BAK" + '\0' + "\\??\\" +
                         s + "\\demo.MCC" + '\0' + "!\\??\\" + s + "\\demo.dll" + '\0' + '\0';
  ASSERT_GE(after->size(), expected.size());
  EXPECT_EQ(after->substr(after->size() - expected.size()), expected);
  // Nothing moved yet.
  EXPECT_NE(os::GetFileAttributesA(s + "\\demo.MCC"), os::kInvalidFileAttributes);
  EXPECT_EQ(os::GetFileAttributesA(s + "\\demo.BAK"), os::kInvalidFileAttributes);
}

}  // namespace
