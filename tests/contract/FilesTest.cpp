// Contract of the seam's file operations: the fake must answer as Windows does.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "os/OsFiles.h"
#include "os/OsSystem.h"
#include "tests/contract/ContractEnv.h"

namespace {

void WriteText(const std::string& path, const std::string& text) {
  os::UniqueFile f(os::CreateFileA(path, os::Access::Write, os::Disposition::CreateAlways));
  ASSERT_TRUE(f) << path;
  std::uint32_t written = 0xdeadbeef;
  ASSERT_TRUE(os::WriteFile(f.get(), text.data(), static_cast<std::uint32_t>(text.size()), written));
  EXPECT_EQ(written, text.size());
}

std::string ReadText(const std::string& path) {
  os::UniqueFile f(os::CreateFileA(path, os::Access::Read, os::Disposition::OpenExisting));
  if (!f) return "<missing>";
  std::string out;
  char buffer[7];
  std::uint32_t read = 0;
  while (os::ReadFile(f.get(), buffer, sizeof buffer, read) && read > 0) out.append(buffer, read);
  return out;
}

std::vector<std::string> Names(const std::string& pattern) {
  std::vector<std::string> names;
  os::FindData found;
  os::UniqueFind find(os::FindFirstFileA(pattern, found));
  if (!find) return names;
  do names.push_back(found.name);
  while (os::FindNextFileA(find.get(), found));
  std::sort(names.begin(), names.end());
  return names;
}

TEST(FilesContract, FoldersAndAttributes) {
  std::string s = contract::FreshScratch();
  EXPECT_EQ(os::GetFileAttributesA(s + "\\nothing"), os::kInvalidFileAttributes);
  EXPECT_EQ(os::GetLastError(), os::kErrorFileNotFound);
  EXPECT_EQ(os::GetFileAttributesA(s + "\\no\\nothing"), os::kInvalidFileAttributes);
  EXPECT_EQ(os::GetLastError(), os::kErrorPathNotFound);

  EXPECT_FALSE(os::CreateDirectoryA(s + "\\a\\b"));  // no parent
  ASSERT_TRUE(os::CreateDirectoryA(s + "\\a"));
  EXPECT_FALSE(os::CreateDirectoryA(s + "\\a"));
  EXPECT_EQ(os::GetLastError(), os::kErrorAlreadyExists);
  EXPECT_TRUE(os::GetFileAttributesA(s + "\\A") & os::kAttrDirectory);  // any case

  WriteText(s + "\\a\\f.txt", "hello");
  EXPECT_FALSE(os::RemoveDirectoryA(s + "\\a"));  // not empty
  EXPECT_TRUE(os::SetFileAttributesA(s + "\\a\\f.txt", os::kAttrReadonly | os::kAttrHidden));
  EXPECT_EQ(os::GetFileAttributesA(s + "\\a\\f.txt") & 0x7, os::kAttrReadonly | os::kAttrHidden);
  EXPECT_FALSE(os::DeleteFileA(s + "\\a\\f.txt"));  // read-only
  EXPECT_EQ(os::GetLastError(), os::kErrorAccessDenied);
  EXPECT_TRUE(os::SetFileAttributesA(s + "\\a\\f.txt", os::kAttrArchive));
  EXPECT_TRUE(os::DeleteFileA(s + "\\a\\f.txt"));
  EXPECT_TRUE(os::RemoveDirectoryA(s + "\\a"));
  EXPECT_EQ(os::GetFileAttributesA(s + "\\a"), os::kInvalidFileAttributes);
}

TEST(FilesContract, ReadWriteCopyAndMove) {
  std::string s = contract::FreshScratch();
  WriteText(s + "\\one.txt", "first text");
  EXPECT_EQ(ReadText(s + "\\one.txt"), "first text");

  EXPECT_TRUE(os::CopyFileA(s + "\\one.txt", s + "\\two.txt", true));
  EXPECT_FALSE(os::CopyFileA(s + "\\one.txt", s + "\\two.txt", true));
  EXPECT_EQ(os::GetLastError(), os::kErrorFileExists);
  WriteText(s + "\\one.txt", "second");
  EXPECT_TRUE(os::CopyFileA(s + "\\one.txt", s + "\\two.txt", false));
  EXPECT_EQ(ReadText(s + "\\two.txt"), "second");
  EXPECT_FALSE(os::CopyFileA(s + "\\none.txt", s + "\\three.txt", false));

  EXPECT_TRUE(os::MoveFileA(s + "\\two.txt", s + "\\moved.txt"));
  EXPECT_EQ(ReadText(s + "\\two.txt"), "<missing>");
  EXPECT_EQ(ReadText(s + "\\moved.txt"), "second");

  os::UniqueFile f(os::CreateFileA(s + "\\one.txt", os::Access::ReadWrite, os::Disposition::OpenExisting));
  ASSERT_TRUE(f);
  std::uint64_t size = 0;
  EXPECT_TRUE(os::GetFileSize(f.get(), size));
  EXPECT_EQ(size, 6u);
  EXPECT_TRUE(os::SetFilePointer(f.get(), 3));
  EXPECT_TRUE(os::SetEndOfFile(f.get()));
  // an open file can be neither deleted nor opened for writing by anyone else
  EXPECT_FALSE(os::DeleteFileA(s + "\\one.txt"));
  EXPECT_EQ(os::CreateFileA(s + "\\one.txt", os::Access::Write, os::Disposition::OpenExisting), os::kInvalidFile);
  EXPECT_EQ(os::GetLastError(), os::kErrorSharingViolation);
  f.reset();
  EXPECT_EQ(ReadText(s + "\\one.txt"), "sec");
  EXPECT_EQ(os::CreateFileA(s + "\\one.txt", os::Access::Write, os::Disposition::CreateNew), os::kInvalidFile);
  EXPECT_EQ(os::GetLastError(), os::kErrorFileExists);
}

TEST(FilesContract, Searches) {
  std::string s = contract::FreshScratch();
  os::CreateDirectoryA(s + "\\sub");
  WriteText(s + "\\a.txt", "");
  WriteText(s + "\\b.ini", "");
  WriteText(s + "\\noext", "");
  EXPECT_EQ(Names(s + "\\*.*"), (std::vector<std::string>{".", "..", "a.txt", "b.ini", "noext", "sub"}));
  EXPECT_EQ(Names(s + "\\*.txt"), (std::vector<std::string>{"a.txt"}));
  EXPECT_EQ(Names(s + "\\?.*"), (std::vector<std::string>{".", "..", "a.txt", "b.ini"}));
  EXPECT_EQ(Names(s + "\\sub"), (std::vector<std::string>{"sub"}));  // a folder finds itself
  EXPECT_EQ(Names(s + "\\sub\\*.*"), (std::vector<std::string>{".", ".."}));
  EXPECT_TRUE(Names(s + "\\zzz*").empty());
  os::FindData found;
  EXPECT_EQ(os::FindFirstFileA(s + "\\nope\\*.*", found), os::kInvalidFind);
  EXPECT_EQ(os::GetLastError(), os::kErrorPathNotFound);
}

TEST(FilesContract, TimesAndDosDates) {
  std::string s = contract::FreshScratch();
  os::FileTime t;
  ASSERT_TRUE(os::DosDateTimeToFileTime(static_cast<std::uint16_t>(((2021 - 1980) << 9) | (3 << 5) | 14),
                                        static_cast<std::uint16_t>((15 << 11) | (9 << 5) | (26 / 2)), t));
  std::uint16_t d = 0, tm = 0;
  ASSERT_TRUE(os::FileTimeToDosDateTime(t, d, tm));
  EXPECT_EQ(d >> 9, 2021 - 1980);
  EXPECT_EQ((tm >> 11), 15);
  EXPECT_EQ((tm & 31) * 2, 26);
  // 1970 lies before the MS-DOS range
  os::FileTime old{116444736000000000ull};
  EXPECT_FALSE(os::FileTimeToDosDateTime(old, d, tm));

  WriteText(s + "\\stamped", "x");
  {
    os::UniqueFile f(os::CreateFileA(s + "\\stamped", os::Access::Write, os::Disposition::OpenExisting));
    ASSERT_TRUE(f);
    EXPECT_TRUE(os::SetFileTime(f.get(), t));
  }
  os::FindData found;
  os::UniqueFind find(os::FindFirstFileA(s + "\\stamped", found));
  ASSERT_TRUE(find);
  EXPECT_EQ(found.lastWriteTime, t);
  EXPECT_EQ(found.size, 1u);
}

TEST(SystemContract, FoldersAndVersion) {
  contract::FreshScratch();
  std::string windows = os::GetWindowsDirectoryA();
  ASSERT_GE(windows.size(), 3u);
  EXPECT_NE(windows.back(), '\\');
  EXPECT_TRUE(os::GetFileAttributesA(windows) & os::kAttrDirectory);
  EXPECT_EQ(os::GetSystemDirectoryA().rfind(windows, 0), 0u);
  os::OsVersionInfo v;
  v.platformId = 99;
  ASSERT_TRUE(os::GetVersionExA(v));
  EXPECT_TRUE(v.platformId == 1 || v.platformId == 2);
  std::string program = os::GetModuleFileNameA();
  EXPECT_EQ(os::GetFileAttributesA(program) & os::kAttrDirectory, 0u);
}

// A folder made for some trustees reads back with entries for them alone. (Wine keeps no list
// of its own for files: it answers the user's and SYSTEM's entries, which pass too; whether the
// list is protected only Windows can show.)
TEST(FilesContract, AFolderMadeForTrusteesReadsBackAsMade) {
  std::string s = contract::FreshScratch();
  const std::vector<os::Trustee> trustees{os::Trustee::Administrators, os::Trustee::LocalSystem,
                                          os::Trustee::CurrentUser};
  ASSERT_TRUE(os::CreateDirectoryForA(s + "\\own", trustees));
  os::FolderSecurity own;
  own.othersListed = true;  // sentinels: the call must set them
  own.kept = false;
  ASSERT_TRUE(os::GetFolderSecurityA(s + "\\own", own));
  ASSERT_TRUE(own.kept);
  EXPECT_TRUE(own.ownerKnown);
  EXPECT_TRUE(own.hasList);
  EXPECT_FALSE(own.othersListed);
  ASSERT_FALSE(own.allowed.empty());
  for (os::Trustee t : own.allowed) EXPECT_NE(std::find(trustees.begin(), trustees.end(), t), trustees.end());
  EXPECT_FALSE(os::GetFolderSecurityA(s + "\\nothing", own));
}

}  // namespace
