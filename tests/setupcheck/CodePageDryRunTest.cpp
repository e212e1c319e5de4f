// The dry run on Japanese Windows (code page 932): a package whose entry names are Shift-JIS, some
// with second bytes that read as "\" or "|", installed into a folder and Start Menu group whose
// names end in such a character.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "os/fake/FakeCodePageControl.h"
#include "os/fake/FakeControl.h"
#include "sys/TextBytes.h"
#include "tests/unit/UnzTestZip.h"
#include "tools/setupcheck/DryRun.h"

namespace {

#define SJ_SEISEKIHYOU "\x90\xAC\x90\xD1\x95\x5C"     /* 成績表 */
#define SJ_SOFUTO "\x83\x5C\x83\x74\x83\x67"          /* ソフト */
#define SJ_REPOOTO "\x83\x8C\x83\x7C\x81\x5B\x83\x67" /* レポート */

TEST(CodePageDryRun, AShiftJisPackageInstallsUnderItsWholeNames) {
  ASSERT_TRUE(PrepareWindows("WIN_XP"));
  ASSERT_TRUE(os::fake::SetAnsiCodePage(932));
  const std::string list = "\\" SJ_SEISEKIHYOU "\r\n" SJ_SEISEKIHYOU "\r\n" SJ_SEISEKIHYOU
                           " 1.0\r\n"
                           ":INSTALL\r\n" SJ_SOFUTO ".txt\r\n" SJ_REPOOTO ".txt\r\n" SJ_SEISEKIHYOU
                           "\r\n:\r\n"
                           ":SHORTCUTS\r\n" SJ_REPOOTO "\r\n" SJ_REPOOTO ".txt\r\n:\r\n";
  const std::string package = unztest::BuildZip({{"setup.ini", list},
                                                 {SJ_SOFUTO ".txt", "soft"},
                                                 {SJ_REPOOTO ".txt", "report"},
                                                 {SJ_SEISEKIHYOU, "a file, not a folder"}});
  os::fake::AddFile("C:\\SETUP\\setup.lst", ":PACKAGE\r\npkg.p01\r\n:\r\n");
  os::fake::AddFile("C:\\SETUP\\pkg.p01", package);
  os::fake::AddFile("C:\\SETUP\\UNZDLL.DLL", "MZ");
  const DryRun run = RunDry("WIN_XP", {});
  ASSERT_TRUE(os::fake::SetAnsiCodePage(1252));
  LoadSystemLeadBytes();

  EXPECT_EQ(run.exitCode, 0);
  const std::string folder = "C:\\Program Files\\" SJ_SEISEKIHYOU "\\";
  const std::string group =
      "C:\\Documents and Settings\\Administrator\\Start Menu\\Programs\\" SJ_SEISEKIHYOU "\\";
  std::vector<std::string> installed;
  for (const auto& f : run.files)
    if (f.path.rfind(folder, 0) == 0 || f.path.rfind(group, 0) == 0) installed.push_back(f.path);
  std::vector<std::string> expected{folder + SJ_SEISEKIHYOU, folder + SJ_REPOOTO ".txt",
                                    folder + SJ_SOFUTO ".txt", group + SJ_REPOOTO ".lnk"};
  std::sort(installed.begin(), installed.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(installed, expected);
  // Nothing else in Program Files: no folder cut at a second byte.
  for (const auto& f : run.files) {
    if (f.path.rfind("C:\\Program Files\\", 0) == 0) {
      EXPECT_EQ(f.path.rfind(folder, 0), 0u) << f.path;
    }
  }
  ASSERT_EQ(run.shortcuts.size(), 1u);
  EXPECT_EQ(run.shortcuts[0].target, folder + SJ_REPOOTO ".txt");
}

}  // namespace
