// Shell links against the in-memory shell: definition parsing, the accessory
// table on both families, and what CreateShortcut hands the link object.
#include <gtest/gtest.h>

#include "os/OsShell.h"
#include "os/fake/FakeControl.h"
#include "os/fake/FakeShellControl.h"
#include "sys/ShellLinks.h"
#include "sys/WindowsVersion.h"

namespace {

const os::OsVersionInfo kWin98{4, 10, 1998, 1, ""};
const os::OsVersionInfo kNt4{4, 0, 1381, 2, "Service Pack 6"};
const os::OsVersionInfo kXp{5, 1, 2600, 2, "Service Pack 2"};

class ShellLinks : public ::testing::Test {
 protected:
  void SetUp() override {
    os::fake::Reset();
    ResetWinVersionCacheForTests();
  }
  void TearDown() override {
    EXPECT_EQ(os::fake::LiveLinkObjects(), 0) << "a link object was not released";
    ResetWinVersionCacheForTests();
  }
  void UseVersion(const os::OsVersionInfo& v) {
    os::fake::SetVersion(v);
    ResetWinVersionCacheForTests();
  }
};

TEST_F(ShellLinks, ParsesDefinitions) {
  const struct {
    const char* line;
    tQVSShellLink expected;
  } rows[] = {
      {"C:\\P\\app.exe", {"C:\\P\\app.exe", "C:\\P\\", "C:\\P\\app.exe", "0", "", ""}},
      {"C:\\P\\app.exe*C:\\Data\\*C:\\P\\app.ico*2*My App*-a -b",
       {"C:\\P\\app.exe", "C:\\Data\\", "C:\\P\\app.ico", "2", "My App", "-a -b"}},
      {"C:\\P\\app.exe*-a", {"C:\\P\\app.exe", "C:\\P\\", "C:\\P\\app.exe", "0", "", "-a"}},
      {"C:\\P\\app.exe**-a", {"C:\\P\\app.exe", "", "C:\\P\\app.exe", "0", "", "-a"}},
      {"C:\\P\\app.exe*W\\*I*1*D*a*b*c", {"C:\\P\\app.exe", "W\\", "I", "1", "D", "a*b*c"}},
      {"C:\\P\\app.exe*/in C:\\X", {"C:\\P\\app.exe", "C:\\P\\", "C:\\P\\app.exe", "0", "", "/in C:\\X"}},
      {"D:app.exe", {"D:app.exe", "D:", "D:app.exe", "0", "", ""}},
      {"app.exe*", {"app.exe", "", "app.exe", "0", "", ""}},
      {"", {"", "", "", "0", "", ""}},
  };
  for (auto& row : rows) EXPECT_EQ(ParseShortcut(row.line), row.expected) << row.line;
}

TEST_F(ShellLinks, AccessoriesByFamily) {
  const struct {
    const char* target;
    const char* win95;
    const char* nt;
  } rows[] = {
      {"C:\\OLD\\CALC.EXE", "C:\\WINDOWS\\CALC.EXE", "C:\\WINDOWS\\SYSTEM32\\CALC.EXE"},
      {"D:\\Tools\\cmd.exe", "C:\\WINDOWS\\COMMAND.COM", "C:\\WINDOWS\\SYSTEM32\\CMD.EXE"},
      {"X:\\command.com", "C:\\WINDOWS\\COMMAND.COM", "C:\\WINDOWS\\SYSTEM32\\CMD.EXE"},
      {"X:\\FreeCell.exe", "C:\\WINDOWS\\FREECELL.EXE", "C:\\WINDOWS\\SYSTEM32\\FREECELL.EXE"},
      {"X:\\mplay32.exe", "C:\\WINDOWS\\MPLAYER.EXE", "C:\\WINDOWS\\SYSTEM32\\MPLAY32.EXE"},
      {"X:\\mplayer.exe", "C:\\WINDOWS\\MPLAYER.EXE", "C:\\WINDOWS\\SYSTEM32\\MPLAY32.EXE"},
      {"C:\\OLDWIN\\NOTEPAD.EXE", "C:\\WINDOWS\\NOTEPAD.EXE", "C:\\WINDOWS\\SYSTEM32\\NOTEPAD.EXE"},
      {"X:\\sol.exe", "C:\\WINDOWS\\SOL.EXE", "C:\\WINDOWS\\SYSTEM32\\SOL.EXE"},
      {"X:\\sndrec32.exe", "C:\\WINDOWS\\SNDREC32.EXE", "C:\\WINDOWS\\SYSTEM32\\SNDREC32.EXE"},
      {"X:\\sndvol32.exe", "C:\\WINDOWS\\SNDVOL32.EXE", "C:\\WINDOWS\\SYSTEM32\\SNDVOL32.EXE"},
      {"X:\\write.exe", "C:\\WINDOWS\\WRITE.EXE", "C:\\WINDOWS\\SYSTEM32\\WRITE.EXE"},
      {"X:\\wordpad.exe", "C:\\Program Files\\Accessories\\WORDPAD.EXE",
       "C:\\Program Files\\Windows NT\\Accessories\\WORDPAD.EXE"},
      {"X:\\mspaint.exe", "C:\\Program Files\\Accessories\\MSPAINT.EXE",
       "C:\\WINDOWS\\SYSTEM32\\MSPAINT.EXE"},
      {"X:\\explorer.exe", "C:\\WINDOWS\\EXPLORER.EXE", "C:\\WINDOWS\\SYSTEM32\\EXPLORER.EXE"},
      {"D:\\Games\\Spider.exe", "C:\\Program Files\\Plus!\\Spider\\SPIDER", "C:\\WINDOWS\\SYSTEM32\\SPIDER"},
      {"X:\\winmine.exe", "C:\\WINDOWS\\WINMINE.EXE", "C:\\WINDOWS\\SYSTEM32\\WINMINE.EXE"},
      {"X:\\mshearts.exe", "C:\\WINDOWS\\MSHEARTS.EXE", "C:\\WINDOWS\\SYSTEM32\\MSHEARTS.EXE"},
      {"X:\\app.exe", "", ""},
      {"NOTEPAD.EXE", "", ""},  // the key must follow a backslash
      // a later row replaces an earlier match
      {"X:\\CALC.EXE\\NOTEPAD.EXE", "C:\\WINDOWS\\NOTEPAD.EXE", "C:\\WINDOWS\\SYSTEM32\\NOTEPAD.EXE"},
  };
  UseVersion(kWin98);
  for (auto& row : rows) EXPECT_EQ(ResolveAccessory(row.target), row.win95) << "95 family: " << row.target;
  UseVersion(kNt4);
  for (auto& row : rows) EXPECT_EQ(ResolveAccessory(row.target), row.nt) << "NT family: " << row.target;
}

TEST_F(ShellLinks, CreatesTheLinkWithEveryProperty) {
  os::fake::AddFile("C:\\P\\app.exe", "MZ");
  os::fake::AddFolder("C:\\Menu");
  CreateShortcut("C:\\Menu\\App", ParseShortcut("C:\\P\\app.exe*C:\\Data\\*C:\\P\\app.ico*2*My App*-a -b"));
  auto link = os::fake::LinkAt("C:\\Menu\\App.lnk");
  ASSERT_TRUE(link);
  EXPECT_EQ(link->path, "C:\\P\\app.exe");
  EXPECT_EQ(link->arguments, "-a -b");
  EXPECT_EQ(link->workingDirectory, "C:\\Data\\");
  EXPECT_EQ(link->iconLocation, "C:\\P\\app.ico");
  EXPECT_EQ(link->iconIndex, 2);
  EXPECT_EQ(link->description, "My App");
  EXPECT_EQ(link->showCmd, 1);
  EXPECT_EQ(link->hotkey, 0);
  EXPECT_EQ(link->calls,
            (std::vector<std::string>{"SetArguments", "SetShowCmd", "SetWorkingDirectory", "SetPath",
                                      "SetDescription", "SetHotkey", "SetIconLocation"}));
}

TEST_F(ShellLinks, LinkNamesGetTheirExtensionUnlessTheyHoldIt) {
  os::fake::AddFile("C:\\P\\app.exe", "MZ");
  os::fake::AddFolder("C:\\Menu");
  for (auto [given, saved] :
       {std::pair{"C:\\Menu\\App", "C:\\Menu\\App.lnk"}, std::pair{"C:\\Menu\\B.LnK", "C:\\Menu\\B.LnK"},
        std::pair{"C:\\Menu\\C.lnk.txt", "C:\\Menu\\C.lnk.txt"}}) {
    CreateShortcut(given, ParseShortcut("C:\\P\\app.exe"));
    EXPECT_TRUE(os::fake::LinkAt(saved)) << given;
  }
  EXPECT_FALSE(os::fake::LinkAt("C:\\Menu\\B.LnK.lnk"));
}

TEST_F(ShellLinks, AMissingAccessoryFollowsTheFamily) {
  UseVersion(kNt4);
  os::fake::AddFile("C:\\WINDOWS\\SYSTEM32\\NOTEPAD.EXE", "MZ");
  os::fake::AddFolder("C:\\Menu");
  CreateShortcut("C:\\Menu\\Notes", ParseShortcut("C:\\OLDWIN\\NOTEPAD.EXE*C:\\Work\\"));
  auto link = os::fake::LinkAt("C:\\Menu\\Notes.lnk");
  ASSERT_TRUE(link);
  EXPECT_EQ(link->path, "C:\\WINDOWS\\SYSTEM32\\NOTEPAD.EXE");
  EXPECT_EQ(link->workingDirectory, "C:\\WINDOWS\\SYSTEM32\\");
  EXPECT_EQ(link->iconLocation, "C:\\WINDOWS\\SYSTEM32\\NOTEPAD.EXE");  // it followed the target

  UseVersion(kWin98);
  os::fake::AddFile("C:\\WINDOWS\\COMMAND.COM", "MZ");
  CreateShortcut("C:\\Menu\\Prompt", ParseShortcut("D:\\Tools\\cmd.exe*C:\\*D:\\icons.dll*3**"));
  link = os::fake::LinkAt("C:\\Menu\\Prompt.lnk");
  ASSERT_TRUE(link);
  EXPECT_EQ(link->path, "C:\\WINDOWS\\COMMAND.COM");
  EXPECT_EQ(link->workingDirectory, "C:\\WINDOWS\\");
  EXPECT_EQ(link->iconLocation, "D:\\icons.dll");  // an icon of its own stays
  EXPECT_EQ(link->iconIndex, 3);
}

TEST_F(ShellLinks, ExistingTargetsAndFoldersAreNeverReplaced) {
  os::fake::AddFile("C:\\Mine\\NOTEPAD.EXE", "MZ");
  os::fake::AddFile("C:\\WINDOWS\\SYSTEM32\\NOTEPAD.EXE", "MZ");
  os::fake::AddFolder("C:\\Docs");
  os::fake::AddFolder("C:\\Menu");
  CreateShortcut("C:\\Menu\\Mine", ParseShortcut("C:\\Mine\\NOTEPAD.EXE"));
  CreateShortcut("C:\\Menu\\Docs", ParseShortcut("C:\\Docs"));
  EXPECT_EQ(os::fake::LinkAt("C:\\Menu\\Mine.lnk")->path, "C:\\Mine\\NOTEPAD.EXE");
  EXPECT_EQ(os::fake::LinkAt("C:\\Menu\\Docs.lnk")->path, "C:\\Docs");
}

TEST_F(ShellLinks, NoLinkWithoutATarget) {
  UseVersion(kXp);
  os::fake::AddFolder("C:\\Menu");
  CreateShortcut("C:\\Menu\\Gone", ParseShortcut("C:\\P\\gone.exe"));
  CreateShortcut("C:\\Menu\\Calc", ParseShortcut("C:\\P\\calc.exe"));  // resolved, but not present either
  EXPECT_EQ(os::fake::List("C:\\Menu"), std::vector<std::string>{});
}

TEST_F(ShellLinks, IconIndexThatIsNoNumberGivesZero) {
  os::fake::AddFile("C:\\P\\app.exe", "MZ");
  os::fake::AddFolder("C:\\Menu");
  CreateShortcut("C:\\Menu\\A", ParseShortcut("C:\\P\\app.exe*C:\\P\\*C:\\P\\app.exe*two**"));
  EXPECT_EQ(os::fake::LinkAt("C:\\Menu\\A.lnk")->iconIndex, 0);
}

TEST_F(ShellLinks, SaveReportsEachFailingStep) {
  TShellLink link;
  link.Path = "C:\\P\\app.exe";
  os::fake::AddFolder("C:\\Menu");
  os::OleUninitialize();
  EXPECT_EQ(SaveShellLink(link, "C:\\Menu\\a.lnk"), os::kCoENotInitialized);
  os::OleInitialize();
  os::fake::FailLinkCreation(os::kEFail);
  EXPECT_EQ(SaveShellLink(link, "C:\\Menu\\a.lnk"), os::kEFail);
  os::fake::FailLinkCreation(os::kSOk);
  EXPECT_EQ(SaveShellLink(link, "C:\\NoSuchFolder\\a.lnk"), os::HResultFromWin32(3));
  os::fake::OfferPersistFile(false);
  EXPECT_THROW(SaveShellLink(link, "C:\\Menu\\a.lnk"), std::exception);
  EXPECT_EQ(os::fake::LiveLinkObjects(), 0);
  os::fake::OfferPersistFile(true);
  EXPECT_EQ(SaveShellLink(link, "C:\\Menu\\a.lnk"), os::kSOk);
}

TEST_F(ShellLinks, CreateShortcutSwallowsALinkObjectWithoutPersistFile) {
  os::fake::AddFile("C:\\P\\app.exe", "MZ");
  os::fake::AddFolder("C:\\Menu");
  os::fake::OfferPersistFile(false);
  EXPECT_NO_THROW(CreateShortcut("C:\\Menu\\A", ParseShortcut("C:\\P\\app.exe")));
  EXPECT_FALSE(os::fake::LinkAt("C:\\Menu\\A.lnk"));
}

TEST_F(ShellLinks, ANameTooLongForAPathIsRefusedNotCut) {
  std::string folder = "C:\\" + std::string(240, 'm');
  os::fake::AddFolder(folder);
  TShellLink link;
  link.Path = "C:\\P\\app.exe";
  std::string fits =
      folder + "\\" + std::string(259 - folder.size() - 1 - 4, 'a') + ".lnk";  // 259 characters
  ASSERT_EQ(fits.size(), 259u);
  EXPECT_EQ(SaveShellLink(link, fits), os::kSOk);
  std::string tooLong = folder + "\\" + std::string(20, 'b') + ".lnk";
  EXPECT_EQ(SaveShellLink(link, tooLong), os::HResultFromWin32(206));
  EXPECT_EQ(os::fake::List(folder).size(), 1u);
}

TEST_F(ShellLinks, ItemIdListsAreFreedOnlyWhenTheShellOwnsThem) {
  os::ItemIdList none = 0;
  EXPECT_TRUE(FreeItemIdList(none));
  os::ItemIdList mine = os::fake::AllocateItemIdList();
  EXPECT_TRUE(FreeItemIdList(mine));
  EXPECT_EQ(mine, 0u);
  os::ItemIdList foreign = 0x1234;
  EXPECT_FALSE(FreeItemIdList(foreign));
  EXPECT_EQ(foreign, 0x1234u);
  os::ItemIdList kept = os::fake::AllocateItemIdList();
  os::fake::FailShellAllocator(true);
  EXPECT_FALSE(FreeItemIdList(kept));
  EXPECT_TRUE(os::fake::IsAllocated(kept));
}

}  // namespace
