// The checker on setup folders with mistakes planted in them: one line for
// each mistake, naming its file and line, and none for a sound folder.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "os/fake/FakeControl.h"
#include "tests/setupcheck/CheckFixture.h"
#include "tests/unit/UnzTestZip.h"
#include "tools/setupcheck/DryRun.h"
#include "tools/setupcheck/HostFolder.h"
#include "tools/setupcheck/SetupCheck.h"

namespace {

using checktest::Crlf;
using checktest::Where;

class Check : public checktest::SetupFolderTest {};

TEST_F(Check, EachSeededMistakeGetsExactlyOneLineAtItsPlace) {
  Put("setup.ini", Crlf(R"(\Acme
Acme
Acme Writer
:OS
WIN_95
WIN_XP
Needs Windows 95 or later.
:INSTAL
stray.txt
:
:INSTALL
writer.ex_
missing.dl_
:
:SHORTCUTS
Writer
writer.exe
Help
help.hlp
:
:reg
HKEY_LOCAL_MACHNE
Software\Acme
Path
<RUN>
HKEY_CURRENT_USER
Software\Acme
Runs
#1x#
:
:UNINSTALL
Acme
Acme Writer
uninst.exe
r
:WIN
acme.ini
)"));
  Put("writer.ex_", "MZ");
  Put("acme.ini", "[Acme]");
  const std::vector<Finding> findings = Run();
  EXPECT_EQ(Where(findings), (std::vector<std::string>{
                                 "setup.ini:5 error",     // unknown :OS keyword
                                 "setup.ini:8 error",     // misspelt header
                                 "setup.ini:13 error",    // missing file
                                 "setup.ini:19 error",    // shortcut target not installed
                                 "setup.ini:22 error",    // unknown root
                                 "setup.ini:29 error",    // number that does not convert
                                 "setup.ini:34 warning",  // uninstaller not installed
                                 "setup.ini:36 error",    // no terminator
                             }));
  ASSERT_EQ(findings.size(), 8u);
  EXPECT_NE(findings[0].message.find("WIN_95A"), std::string::npos)
      << "names the version it silently becomes";
  EXPECT_NE(findings[0].message.find("did you mean \"WIN_95A\""), std::string::npos);
  EXPECT_NE(findings[1].message.find("did you mean \":INSTALL\""), std::string::npos);
  EXPECT_NE(findings[2].message.find("installed as \"missing.dll\""), std::string::npos);
  EXPECT_NE(findings[4].message.find("HKEY_LOCAL_MACHINE"), std::string::npos);
  EXPECT_TRUE(HasErrors(findings));
}

TEST_F(Check, GroupsAndPositionalSectionsCutWrong) {
  // A terminator after an odd line of :SHORTCUTS is read as a target, and a
  // :RUNFILE whose line is the terminator names ":" as the program.
  Put("setup.ini", Crlf("\\A\nA\nA\n:INSTALL\na.exe\n:\n:SHORTCUTS\nA\na.exe\nB\n:\n:RUNFILE\n:\n"));
  Put("a.exe", "MZ");
  EXPECT_EQ(Where(Run()), (std::vector<std::string>{"setup.ini:11 error", "setup.ini:13 error"}));

  // A forgotten terminator before the next section is one mistake, not one a line.
  SetUp();
  Put("setup.ini", Crlf("\\A\nA\nA\n:INSTALL\na.exe\n:SHORTCUTS\nA\na.exe\n:\n:reg\nHKEY_USERS\nk\nn\nd\n:"
                        "RUNFILE\na.exe\n"));
  Put("a.exe", "MZ");
  EXPECT_EQ(Where(Run()), (std::vector<std::string>{"setup.ini:4 error", "setup.ini:10 error"}));

  SetUp();
  Put("setup.ini", Crlf("\\A\nA\n:INSTALL\n"));
  EXPECT_EQ(Where(Run()), (std::vector<std::string>{"setup.ini:3 error"})) << "a head line is a header";
}

TEST_F(Check, HarmlessOddsAreWarningsAndSoundListsPassSilently) {
  // A header in another letter case is found; a flag followed by ":" is fine;
  // a leading blank hides a header; a line outside every section is ignored.
  Put("setup.ini",
      Crlf("\\A\nA\nA\n:install\n*a.exe\n\n:\n:REBOOT\n:\n :DINK\nnote\n:OS\nWIN_98\nWIN_XP\nNo.\n"));
  Put("a.exe", "MZ");
  const std::vector<Finding> findings = Run();
  EXPECT_EQ(Where(findings), (std::vector<std::string>{"setup.ini:6 warning", "setup.ini:10 error"}));
  ASSERT_EQ(findings.size(), 2u);
  EXPECT_NE(findings[1].message.find("without the blanks"), std::string::npos);

  SetUp();
  Put("setup.ini",
      Crlf("\\A\nA\nA\n:INSTALL\nA.EXE\nb.dl_\n:\n:SHORTCUTS\nA\na.exe*-x\nNotes\nnotepad.exe\n:\n"));
  Put("a.exe", "MZ");
  Put("B.DL_", "MZ");
  EXPECT_TRUE(Run().empty()) << "names match in any letter case; an accessory needs no install";
}

TEST_F(Check, FilesTheRunUsesOnlyWhenTheyAreThere) {
  // No leading backslash, a server and a final program nobody installs, an
  // uninstall data file the uninstall entry and the run disagree about.
  Put("setup.ini",
      Crlf("Acme\nA\nA\n:REGSVR\nacme.ocx\n:\n:RUNFILE\nacme.exe\n:UNINSTALL\nA\nA\nun.exe\nunin.dat\n"
           ":WIN\nun.exe\n:\n:INSTALL\nother.txt\n:\n"));
  Put("un.exe", "MZ");
  Put("other.txt", "o");
  const std::vector<Finding> findings = Run();
  EXPECT_EQ(Where(findings), (std::vector<std::string>{"setup.ini:1 warning", "setup.ini:5 warning",
                                                       "setup.ini:8 warning", "setup.ini:13 warning"}));
  ASSERT_EQ(findings.size(), 4u);
  EXPECT_NE(findings[0].message.find("C:\\Program FilesAcme"), std::string::npos);
  EXPECT_FALSE(HasErrors(findings));
  EXPECT_NE(
      FindingsJson(findings).find(R"({"file": "setup.ini", "line": 1, "severity": "warning", "message": )"
                                  R"("the install folder has no leading backslash; the destination becomes )"
                                  R"(\"C:\\Program FilesAcme\""})"),
      std::string::npos);
  EXPECT_NE(FindingsJson(findings).find(R"("errors": 0,)"), std::string::npos);
}

// The package mistakes exclude one another (a missing part stops the join),
// so each has a folder of its own.
TEST_F(Check, PackageMistakes) {
  const std::string list = Crlf("\\P\nP\nP\n:INSTALL\np.txt\n:\n");
  const std::string zip = unztest::BuildZip({{"setup.ini", list}, {"p.txt", std::string(3000, 'p')}});
  const std::string half1 = zip.substr(0, zip.size() / 2), half2 = zip.substr(zip.size() / 2);
  unztest::TestEntry bad{"p.txt", std::string(3000, 'p')};
  bad.setCrc = true;
  bad.crc = 1234;
  struct Case {
    const char* what;
    std::string lst;
    std::vector<std::pair<std::string, std::string>> files;
    std::vector<std::string> expected;
  } cases[] = {
      {"sound", ":PACKAGE\np.p01\np.p02\n:\n", {{"p.p01", half2}, {"p.p02", half1}}, {}},
      {"missing part", ":PACKAGE\np.p01\np.p02\n:\n", {{"p.p01", half2}}, {"setup.lst:3 error"}},
      {"parts swapped",
       ":PACKAGE\np.p01\np.p02\n:\n",
       {{"p.p01", half1}, {"p.p02", half2}},
       {"setup.lst:1 error"}},
      {"crc",
       ":PACKAGE\np.p01\n:\n",
       {{"p.p01", unztest::BuildZip({{"setup.ini", list}, bad})}},
       {"setup.lst:1 error"}},
      {"no setup.ini",
       ":EXTRA\nreadme.txt\n:\n:PACKAGE\np.p01\n:\n",
       {{"p.p01", unztest::BuildZip({{"p.txt", "p"}})}, {"readme.txt", "r"}},
       {"setup.lst:4 error"}},
      {"no :PACKAGE", ":EXTRA\n:\n", {}, {"setup.lst:1 error"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SetUp();
    Put("setup.lst", Crlf(c.lst));
    Put("UNZDLL.DLL", "MZ");
    for (const auto& [name, content] : c.files) Put(name, content);
    EXPECT_EQ(Where(Run()), c.expected);
  }
  // An extracted list is checked against the extracted files.
  SetUp();
  Put("setup.lst", Crlf(":PACKAGE\np.p01\n:\n"));
  Put("UNZDLL.DLL", "MZ");
  Put("p.p01", unztest::BuildZip({{"setup.ini", Crlf("\\P\nP\nP\n:INSTALL\nq.txt\n:\n")}}));
  EXPECT_EQ(Where(Run()), (std::vector<std::string>{"setup.ini:5 error"}));
}

TEST_F(Check, TheDemoFolderPasses) {
  ASSERT_TRUE(MirrorHostFolder(std::string(QV_SOURCE_DIR) + "/examples/demo", "C:\\SETUP"));
  Put("uninst.exe", "MZ");  // the demo command copies it in from dist/, as it does setup.exe
  EXPECT_FALSE(HasErrors(Run()));
}

TEST(NearestOf, OnlyNearTextsAreSuggested) {
  const std::vector<std::string> headers{":INSTALL", ":SYSTEM", ":SHORTCUTS", ":reg"};
  EXPECT_EQ(NearestOf(":SHORTCUT", headers), ":SHORTCUTS");
  EXPECT_EQ(NearestOf(":REGS", headers), ":reg");
  EXPECT_EQ(NearestOf(":LICENSE", headers), "");
}

}  // namespace
