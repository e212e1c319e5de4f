// The checker's findings against what the installer really does: lines the
// installer carries out raise nothing, and lines that make it fail or pass
// something by are reported where they stand.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "os/fake/FakeControl.h"
#include "tests/setupcheck/CheckFixture.h"
#include "tests/unit/UnzTestZip.h"
#include "tools/setupcheck/DryRun.h"
#include "tools/setupcheck/SetupCheck.h"

namespace {

using checktest::Crlf;
using checktest::Where;

class Accuracy : public checktest::SetupFolderTest {
 protected:
  static void Date1975(const std::string& name) {
    os::fake::SetLastWriteTime("C:\\SETUP\\" + name, os::fake::MakeFileTime(1975, 6, 1));
  }
};

TEST_F(Accuracy, RegistryGroupsAsTheInstallerReadsThem) {
  // ":" as a value name and as data is read as part of its group; the groups
  // after it still belong to :reg, and a number under an unknown root is never converted.
  Put("setup.ini", Crlf("\\A\nA\nA\n:reg\n"
                        "HKEY_CURRENT_USER\nSoftware\\A\n:\nx\n"
                        "HKEY_CURRENT_USER\nSoftware\\A\nv\n:\n"
                        "HKEY_CURRENT_USER\nSoftware\\A\nw\ny\n"
                        "HKEY_NOWHERE\nSoftware\\A\nn\n#1x#\n"
                        ":\n"));
  std::vector<Finding> findings = Run();
  EXPECT_EQ(Where(findings), (std::vector<std::string>{"setup.ini:17 error"}));
  ASSERT_EQ(findings.size(), 1u);
  EXPECT_NE(findings[0].message.find("unknown registry root"), std::string::npos);

  // A value name longer than Windows takes stops the run.
  SetUp();
  Put("setup.ini", Crlf("\\A\nA\nA\n:reg\nHKEY_CURRENT_USER\nSoftware\\A\n" + std::string(16384, 'n') +
                        "\nx\nHKEY_CURRENT_USER\nSoftware\\A\n" + std::string(16383, 'n') + "\nx\n:\n"));
  findings = Run();
  EXPECT_EQ(Where(findings), (std::vector<std::string>{"setup.ini:7 error"}));
  ASSERT_EQ(findings.size(), 1u);
  EXPECT_NE(findings[0].message.find("16384 characters"), std::string::npos);
}

TEST_F(Accuracy, FilesDatedBefore1980CountAsAbsent) {
  struct Case {
    const char* what;
    const char* dated;
    std::vector<std::string> expected;
  } cases[] = {
      {"the list itself", "setup.ini", {"setup.ini:1 error"}},
      {"a shortcut's target", "a.exe", {"setup.ini:5 warning", "setup.ini:10 error"}},
      {"a file nothing tests", "b.txt", {"setup.ini:6 warning"}},
      {"none", "", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SetUp();
    Put("setup.ini", Crlf("\\A\nA\nA\n:INSTALL\na.exe\nb.txt\n:\n:SHORTCUTS\nA\na.exe\n:\n"));
    Put("a.exe", "MZ");
    Put("b.txt", "b");
    if (*c.dated) Date1975(c.dated);
    const std::vector<Finding> findings = Run();
    EXPECT_EQ(Where(findings), c.expected);
    for (const Finding& f : findings) EXPECT_NE(f.message.find("before 1980"), std::string::npos);
  }

  // A package part so dated is asked for again and again; a loose extra file is copied all the same.
  SetUp();
  Put("setup.lst", Crlf(":EXTRA\nreadme.txt\n:\n:PACKAGE\np.p01\n:\n"));
  Put("UNZDLL.DLL", "MZ");
  Put("readme.txt", "r");
  Put("p.p01", unztest::BuildZip({{"setup.ini", Crlf("\\P\nP\nP\n")}}));
  Date1975("p.p01");
  Date1975("readme.txt");
  const std::vector<Finding> findings = Run();
  EXPECT_EQ(Where(findings), (std::vector<std::string>{"setup.lst:5 error"}));
  ASSERT_EQ(findings.size(), 1u);
  EXPECT_NE(findings[0].message.find("again and again"), std::string::npos);
}

TEST_F(Accuracy, SubFoldersAndUninstallDataWhereNothingMakesAFolder) {
  Put("setup.ini", Crlf("\\A\nA\nA\n:INSTALL\nhelp\\index.htm\na.txt\n:\n:WIN\nun.exe\n:\n"
                        ":UNINSTALL\nA\nA\nun.exe\nAcme\\unin.ini\n"));
  Put("help\\index.htm", "h");
  Put("a.txt", "a");
  Put("un.exe", "MZ");
  std::vector<Finding> findings = Run();
  EXPECT_EQ(Where(findings), (std::vector<std::string>{"setup.ini:5 warning", "setup.ini:15 error"}));
  ASSERT_EQ(findings.size(), 2u);
  EXPECT_NE(findings[0].message.find("Caching failed"), std::string::npos);
  EXPECT_NE(findings[1].message.find("1603"), std::string::npos);

  // The checker's finding is what the dry run meets: the run stops with 1603 exactly when it is reported.
  struct Case {
    const char* sections;
    const char* dataFile;
    bool reported;
  } cases[] = {
      {":WIN\nun.exe\n:\n", "unin.ini", false},
      {":WIN\nun.exe\n:\n:INSTALL\na.txt\n:\n", "r", false},
      {":WIN\nun.exe\n:\n", "r", true},  // no :INSTALL, no install folder
      {":WIN\nun.exe\n:\n", "Acme\\unin.ini", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.sections) + c.dataFile);
    SetUp();
    Put("setup.ini",
        Crlf(std::string("\\A\nA\nA\n") + c.sections + ":UNINSTALL\nA\nA\nun.exe\n" + c.dataFile + "\n"));
    Put("un.exe", "MZ");
    Put("a.txt", "a");
    EXPECT_EQ(Run().size(), c.reported ? 1u : 0u);
    EXPECT_EQ(RunDry("WIN_XP", {}).exitCode == 1603, c.reported);
  }
}

TEST_F(Accuracy, ANulByteEndsTheList) {
  Put("setup.ini", Crlf("\\A\nA\nA\n:INSTALL\na.txt\n:\n:RUNFILE\na.t") + std::string(1, '\0') +
                       Crlf("xt\n:SHORTCUTS\nA\na.txt\n:\n"));
  Put("a.txt", "a");
  const std::vector<Finding> findings = Run();
  // The program offered at the end is what the line holds before the NUL.
  EXPECT_EQ(Where(findings), (std::vector<std::string>{"setup.ini:8 error", "setup.ini:8 warning"}));
  ASSERT_EQ(findings.size(), 2u);
  EXPECT_NE(findings[1].message.find("\"a.t\""), std::string::npos);
  EXPECT_NE(findings[0].message.find("\":SHORTCUTS\" at line 9"), std::string::npos) << findings[0].message;
}

TEST_F(Accuracy, AnAccessoryAFreshWindowsLacksWhereTheInstallerLooks) {
  const std::string list = Crlf("\\A\nA\nA\n:SHORTCUTS\nFiles\nexplorer.exe\nNotes\nnotepad.exe\n:\n");
  Put("setup.ini", list);
  const std::vector<Finding> findings = Run();
  EXPECT_EQ(Where(findings), (std::vector<std::string>{"setup.ini:6 warning"}));
  ASSERT_EQ(findings.size(), 1u);
  EXPECT_NE(findings[0].message.find("on WIN_NT, WIN_2K, WIN_XP a fresh"), std::string::npos);
  // The dry run of each family agrees.
  for (const auto& [version, links] : {std::pair{"WIN_98", 2u}, std::pair{"WIN_XP", 1u}}) {
    PrepareWindows(version);
    Put("setup.ini", list);
    EXPECT_EQ(RunDry(version, {}).shortcuts.size(), links) << version;
  }
}

TEST_F(Accuracy, AStrayByteAfterAOnePartPackage) {
  const std::string zip = unztest::BuildZip(
      {{"setup.ini", Crlf("\\P\nP\nP\n:INSTALL\np.txt\n:\n")}, {"p.txt", std::string(3000, 'p')}});
  Put("setup.lst", Crlf(":PACKAGE\np.p01\n:\n"));
  Put("UNZDLL.DLL", "MZ");
  Put("p.p01", zip + "x");
  const std::vector<Finding> findings = Run();
  EXPECT_EQ(Where(findings), (std::vector<std::string>{"setup.lst:1 warning"}));
}

}  // namespace
