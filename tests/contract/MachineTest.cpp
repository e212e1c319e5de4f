// Contract of the seam's disk, library, session and code-page areas: what the
// installer asks of drives, temporary names, libraries it loads, the start of
// programs and the ANSI code page, on the real system and the in-memory one.
#include <gtest/gtest.h>

#include "os/OsDisk.h"
#include "os/OsFiles.h"
#include "os/OsLibrary.h"
#include "os/OsSession.h"
#include "os/OsSystem.h"
#include "tests/contract/ContractEnv.h"

namespace {

TEST(DiskContract, TheSystemDriveAndAMissingOne) {
  contract::FreshScratch();
  EXPECT_EQ(os::GetDriveTypeA("C:\\"), os::kDriveFixed);
  EXPECT_NE(os::GetLogicalDrives() & (1u << 2), 0u);  // C:
  EXPECT_EQ(os::GetLogicalDrives() & (1u << ('Q' - 'A')), 0u);
  EXPECT_EQ(os::GetDriveTypeA("Q:\\"), os::kDriveNoRootDir);
  std::string label;
  std::uint32_t serial = 0;
  EXPECT_TRUE(os::GetVolumeInformationA("C:\\", label, serial));
  EXPECT_FALSE(os::GetVolumeInformationA("Q:\\", label, serial));
  std::uint64_t freeBytes = 0, totalBytes = 0;
  ASSERT_TRUE(os::GetDiskFreeSpaceExA("C:\\", freeBytes, totalBytes));
  EXPECT_GT(totalBytes, 0u);
  EXPECT_LE(freeBytes, totalBytes);
}

TEST(DiskContract, ErrorModeAnswersThePreviousOne) {
  contract::FreshScratch();
  const std::uint32_t before = os::SetErrorMode(os::kSemFailCriticalErrors);
  EXPECT_EQ(os::SetErrorMode(before) & os::kSemFailCriticalErrors, os::kSemFailCriticalErrors);
}

TEST(DiskContract, TemporaryNamesAreNewEmptyFiles) {
  const std::string scratch = contract::FreshScratch();
  const std::string temp = os::GetTempPathA();
  ASSERT_FALSE(temp.empty());
  EXPECT_EQ(temp.back(), '\\');
  const std::uint32_t attributes = os::GetFileAttributesA(temp);
  EXPECT_TRUE(attributes != os::kInvalidFileAttributes && (attributes & os::kAttrDirectory) != 0);
  const std::string first = os::GetTempFileNameA(scratch, "qv");
  const std::string second = os::GetTempFileNameA(scratch, "qv");
  ASSERT_FALSE(first.empty());
  EXPECT_NE(first, second);
  EXPECT_EQ(first.rfind(scratch + "\\qv", 0), 0u) << first;
  EXPECT_EQ(first.substr(first.size() - 4), ".tmp");
  std::uint64_t size = 1;
  os::UniqueFile file(os::CreateFileA(first, os::Access::Read, os::Disposition::OpenExisting));
  ASSERT_TRUE(file);
  EXPECT_TRUE(os::GetFileSize(file.get(), size));
  EXPECT_EQ(size, 0u);
  EXPECT_EQ(os::GetTempFileNameA(scratch + "\\missing", "qv"), "");
}

TEST(LibraryContract, LoadFindFree) {
  contract::FreshScratch();
  std::string exportName;
  const std::string name = contract::SystemLibrary(exportName);
  os::Hmodule module = os::LoadLibraryA(name);
  ASSERT_NE(module, os::Hmodule{0});
  EXPECT_NE(os::GetProcAddress(module, exportName), nullptr);
  EXPECT_EQ(os::GetProcAddress(module, "QvNoSuchExport"), nullptr);
  EXPECT_TRUE(os::FreeLibrary(module));
  const std::string scratch = contract::FreshScratch();
  EXPECT_EQ(os::LoadLibraryA(scratch + "\\missing.dll"), os::Hmodule{0});
}

TEST(SessionContract, AProgramThatIsNotThereDoesNotStart) {
  const std::string scratch = contract::FreshScratch();
  EXPECT_FALSE(os::WinExec("\"" + scratch + "\\missing.exe\"", os::kSwShowNormal));
}

TEST(CodePageContract, LeadByteRangesAreOrderedHighBytes) {
  contract::FreshScratch();
  std::vector<os::ByteRange> ranges;
  ASSERT_TRUE(os::GetAnsiLeadByteRanges(ranges));
  int previousLast = 0x80;
  for (const os::ByteRange& r : ranges) {
    EXPECT_GT(static_cast<int>(r.first), previousLast);
    EXPECT_LE(r.first, r.last);
    EXPECT_LE(static_cast<int>(r.last), 0xFE);
    previousLast = r.last;
  }
}

}  // namespace
