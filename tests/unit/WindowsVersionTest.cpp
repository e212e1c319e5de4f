// The Windows version code: classification of the version record and the process-wide cache.
#include <gtest/gtest.h>

#include <string>

#include "os/fake/FakeControl.h"
#include "sys/WindowsVersion.h"

namespace {

constexpr std::uint32_t k95 = 1, kNt = 2;

// A 95-family build number: major and minor in the high word, the build in the low word.
std::uint32_t Build95(std::uint32_t major, std::uint32_t minor, std::uint32_t build) {
  return (major << 24) | (minor << 16) | build;
}

TEST(WindowsVersion, Classification) {
  struct Row {
    const char* name;
    os::OsVersionInfo info;
    int code;
  } rows[] = {
      {"95 first release", {4, 0, Build95(4, 0, 950), k95, " "}, kWin95A},
      {"95 OSR2 by build", {4, 0, Build95(4, 0, 1111), k95, " B"}, kWin95B},
      {"95 OSR2.5 letter C with blanks", {4, 0, Build95(4, 0, 1111), k95, " C "}, kWin95C},
      {"95 lower-case c is not C", {4, 0, Build95(4, 0, 1111), k95, " c"}, kWin95B},
      {"95 letter C whatever the build", {4, 0, Build95(4, 0, 950), k95, "C"}, kWin95C},
      {"95 C with control characters", {4, 0, 950, k95, "\t C\r\n"}, kWin95C},
      {"95 C and more is not C", {4, 0, 950, k95, "C1"}, kWin95A},
      {"95 low word only", {4, 0, Build95(4, 3, 1111), k95, ""}, kWin95B},
      {"98", {4, 10, Build95(4, 10, 1998), k95, " A "}, kWin98},
      {"98 Second Edition", {4, 10, Build95(4, 10, 2222), k95, " A "}, kWin98SE},
      {"98 ignores a C", {4, 10, Build95(4, 10, 1998), k95, "C"}, kWin98},
      {"minor 89", {4, 89, 2222, k95, ""}, kWin98SE},
      {"ME", {4, 90, Build95(4, 90, 3000), k95, " "}, kWinME},
      {"95 family ignores the major version", {9, 0, 1111, k95, ""}, kWin95B},
      {"unknown platform counts as 95 family", {4, 10, 2222, 0, ""}, kWin98SE},
      {"NT 3.51", {3, 51, 1057, kNt, ""}, kWinNT4},
      {"NT 4", {4, 0, 1381, kNt, "Service Pack 6"}, kWinNT4},
      {"2000", {5, 0, 2195, kNt, ""}, kWin2K},
      {"XP", {5, 1, 2600, kNt, "Service Pack 2"}, kWinXP},
      {"NT 5.2", {5, 2, 3790, kNt, ""}, kWinNT52},
      {"6.0 reports 7", {6, 0, 6000, kNt, ""}, kWin2K},
      {"6.1 reports 8", {6, 1, 7601, kNt, ""}, kWinXP},
      {"6.2 reports 9", {6, 2, 9200, kNt, ""}, kWinNT52},
  };
  for (const Row& row : rows) EXPECT_EQ(ClassifyWinVersion(row.info), row.code) << row.name;
}

TEST(WindowsVersion, CachedAfterTheFirstSuccessfulQuery) {
  os::fake::Reset();
  ResetWinVersionCacheForTests();
  os::fake::SetVersion({4, 0, 1381, kNt, ""});
  os::fake::FailVersionQueries(1);
  EXPECT_EQ(GetWinVersion(), kWin95A);  // failed: answers 0 and keeps asking
  EXPECT_EQ(os::fake::VersionQueryCount(), 1);
  EXPECT_EQ(GetWinVersion(), kWinNT4);
  EXPECT_EQ(os::fake::VersionQueryCount(), 2);
  os::fake::SetVersion({5, 1, 2600, kNt, ""});
  EXPECT_EQ(GetWinVersion(), kWinNT4);  // the code never changes once known
  EXPECT_EQ(os::fake::VersionQueryCount(), 2);
  ResetWinVersionCacheForTests();
}

}  // namespace
