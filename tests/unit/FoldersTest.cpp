// Path texts, folder chains and tree listing and removal on the in-memory Windows
// (the cases both Windows and the fake can show are contract tests).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "os/OsFiles.h"
#include "os/OsSystem.h"
#include "os/fake/FakeControl.h"
#include "os/fake/FakeDirControl.h"
#include "sys/Folders.h"
#include "sys/PathText.h"
#include "sys/WindowsVersion.h"

namespace {

using Texts = std::vector<std::string>;

TEST(DirText, FileNamesAndExtensions) {
  struct Row {
    const char* path;
    const char* name;
    const char* ext;
    const char* changed;  // the extension changed to ".MCC"
  } rows[] = {
      {"C:\\App\\demo.ex_", "demo.ex_", ".ex_", "C:\\App\\demo.MCC"},
      {"C:\\App.v2\\readme", "readme", "", "C:\\App.v2\\readme.MCC"},  // a dot in the folder is not an extension
      {"C:\\App\\", "", "", "C:\\App\\.MCC"},
      {"C:demo.tar.gz", "demo.tar.gz", ".gz", "C:demo.tar.MCC"},
      {"demo.exe*-x", "demo.exe*-x", ".exe*-x", "demo.MCC"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.path);
    EXPECT_EQ(ExtractFileName(r.path), r.name);
    EXPECT_EQ(ExtractFilePath(r.path) + r.name, r.path);  // the folder part is the rest, separator kept
    EXPECT_EQ(ExtractFileExt(r.path), r.ext);
    EXPECT_EQ(ChangeFileExt(r.path, ".MCC"), r.changed);
  }
  EXPECT_EQ(ChangeFileExt("C:\\T\\set.lst", ""), "C:\\T\\set");
}

TEST(DirText, BackslashesAndUpperCase) {
  struct Row {
    const char* text;
    const char* added;
    const char* stripped;
  } rows[] = {
      {"", "", ""},           {"C:\\A", "C:\\A\\", "C:\\A"},
      {"C:\\", "C:\\", "C:"}, {"C:\\A\\\\", "C:\\A\\\\", "C:\\A\\"},
      {"\\", "\\", ""},       {"a/", "a/\\", "a/"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text);
    EXPECT_EQ(AddBackslash(row.text), row.added);
    EXPECT_EQ(StripBackslash(row.text), row.stripped);
  }
  EXPECT_EQ(UpperText("c:\\Program Files\\acme-1.0_z{}"), "C:\\PROGRAM FILES\\ACME-1.0_Z{}");
  EXPECT_EQ(UpperText("caf\xe9"), "CAF\xe9");  // only ASCII letters change
}

TEST(DirFolders, WindowsAndSystemFolders) {
  os::fake::Reset();
  EXPECT_EQ(WindowsFolder(), "C:\\WINDOWS");
  EXPECT_EQ(SystemFolderBS(), "C:\\WINDOWS\\SYSTEM32\\");
  os::fake::SetWindowsDirectory("C:\\");
  EXPECT_EQ(WindowsFolderBS(), "C:\\");
}

TEST(DirFolders, ForceFoldersCreatesTheChain) {
  os::fake::Reset();
  ForceFolders("C:\\A\\B\\D\\");
  EXPECT_TRUE(FolderExists("C:\\A\\B\\D"));
  EXPECT_EQ(os::fake::List("C:\\A"), Texts{"B"});
  ForceFolders("C:\\A\\B\\E");
  EXPECT_EQ(os::fake::List("C:\\A\\B"), (Texts{"D", "E"}));
  ForceFolders("");
  ForceFolders("C:");
  // a file in the way stops the chain silently
  os::fake::AddFile("C:\\F", "x");
  ForceFolders("C:\\F\\G");
  EXPECT_FALSE(FolderExists("C:\\F\\G"));
  // a missing drive creates nothing
  ForceFolders("Q:\\A\\B");
  EXPECT_FALSE(os::fake::Exists("Q:\\A"));
}

TEST(DirFolders, ForceFoldersEndsOnPathsThatEndWithAColon) {
  os::fake::Reset();
  ForceFolders("C:\\A:");  // used to ask for itself without end
  ForceFolders("Data:");
  ForceFolders("C:\\A\\\\\\");
  EXPECT_TRUE(FolderExists("C:\\A"));
}

// The temporary folders setup and the single-file stub run programs from:
// only a folder the call made itself is taken, and on the NT family only
// Administrators, SYSTEM and the user may use it.
TEST(DirFolders, NumberedOwnFolderIsNewAndPrivate) {
  const std::vector<os::Trustee> ntOwners{os::Trustee::Administrators, os::Trustee::LocalSystem,
                                          os::Trustee::CurrentUser};
  for (bool nt : {true, false}) {
    SCOPED_TRACE(nt ? "NT family" : "95 family");
    os::fake::Reset();
    if (!nt) os::fake::SetVersion(os::OsVersionInfo{4, 0, 950, 1, ""});
    ResetWinVersionCacheForTests();
    os::fake::AddFolder("C:\\TEMP\\QVSFX1");                  // someone's folder
    os::fake::AddFile("C:\\TEMP\\QVSFX2", "a file");          // a file of that name
    os::fake::AddFile("C:\\TEMP\\QVSFX3\\planted.dll", "x");  // a folder with something planted in it
    EXPECT_EQ(CreateNumberedOwnFolder("C:\\TEMP\\QVSFX", 100), "C:\\TEMP\\QVSFX4");
    EXPECT_TRUE(FolderExists("C:\\TEMP\\QVSFX4"));
    EXPECT_EQ(os::fake::List("C:\\TEMP\\QVSFX4").size(), 0u);
    EXPECT_EQ(os::fake::FolderTrustees("C:\\TEMP\\QVSFX4"), nt ? ntOwners : std::vector<os::Trustee>{});
    EXPECT_TRUE(os::fake::FolderTrustees("C:\\TEMP\\QVSFX1").empty()) << "someone's folder is left as it was";
    EXPECT_EQ(CreateNumberedOwnFolder("C:\\TEMP\\QVSFX", 100), "C:\\TEMP\\QVSFX5");
    // Every name taken, or a parent that is not there: nothing is made anywhere else.
    EXPECT_EQ(CreateNumberedOwnFolder("C:\\TEMP\\QVSFX", 5), "");
    EXPECT_FALSE(os::fake::Exists("C:\\TEMP\\QVSFX6"));
    EXPECT_EQ(CreateNumberedOwnFolder("C:\\NOWHERE\\QVSFX", 100), "");
    EXPECT_FALSE(os::fake::Exists("C:\\NOWHERE"));
  }
  ResetWinVersionCacheForTests();
}

void MakeTree() {
  os::fake::Reset();
  os::fake::AddFile("C:\\T\\a.txt", "a");
  os::fake::AddFile("C:\\T\\Sub\\b.txt", "b", os::kAttrReadonly | os::kAttrHidden);
  os::fake::AddFile("C:\\T\\Sub\\Deeper\\c.txt", "c", os::kAttrSystem);
  os::fake::AddFolder("C:\\T\\Empty");
  os::fake::AddFile("C:\\T\\z", "z");
}

TEST(DirFolders, FolderIndexAnswersAsFileFoundAndFollowsTheCallersChanges) {
  os::fake::Reset();
  os::fake::AddFile("C:\\D\\a.MCC", "");
  os::fake::AddFile("C:\\D\\long name.MCC", "");
  os::fake::AddFolder("C:\\D\\sub.MCC");
  TFolderIndex index(true);
  for (const char* path : {"C:\\D\\A.mcc", "C:\\D\\b.MCC", "C:\\D\\sub.MCC", "C:\\D\\LONGNA~1.MCC",
                           "C:\\D\\long name.mcc", "C:\\E\\a.MCC", "C:\\D\\a.*", "C:\\D\\a"})
    EXPECT_EQ(index.FileFound(path), FileFound(path)) << path;
  EXPECT_TRUE(index.FileFound("C:\\D\\LONGNA~1.MCC"));
  EXPECT_EQ(index.Attributes("C:\\D\\a.mcc"), os::kAttrArchive);
  EXPECT_EQ(index.Attributes("C:\\D\\b.MCC"), os::kInvalidFileAttributes);
  // The folder is read once; what the caller makes or deletes there, it reports.
  os::fake::AddFile("C:\\D\\late.MCC", "");
  EXPECT_FALSE(index.FileFound("C:\\D\\late.MCC"));
  index.Added("C:\\D\\late.MCC");
  index.Removed("C:\\D\\a.MCC");
  EXPECT_TRUE(index.FileFound("C:\\D\\late.MCC"));
  EXPECT_EQ(index.Attributes("C:\\D\\late.MCC"), os::kInvalidFileAttributes);  // not known: not guessed
  EXPECT_FALSE(index.FileFound("C:\\D\\a.MCC"));
  // A whole-folder index reads every file, whatever its extension.
  TFolderIndex all(false);
  os::fake::AddFile("C:\\D\\x.txt", "", os::kAttrReadonly);
  EXPECT_EQ(all.Attributes("C:\\D\\X.TXT"), os::kAttrReadonly);
  EXPECT_TRUE(all.FileFound("C:\\D\\late.MCC"));
}

TEST(DirTree, ListsFoldersBeforeTheirContents) {
  MakeTree();
  Texts list;
  ListTree("C:\\T", list, "C:\\T");
  EXPECT_EQ(list, (Texts{"[C:\\T", "C:\\T\\a.txt", "[C:\\T\\Sub", "C:\\T\\Sub\\b.txt", "[C:\\T\\Sub\\Deeper",
                         "C:\\T\\Sub\\Deeper\\c.txt", "[C:\\T\\Empty", "C:\\T\\z"}));
  list.clear();
  ListTree("[C:\\T]", list, "C:\\T");  // a folder entry of the list itself may be given
  EXPECT_EQ(list.size(), 8u);
  EXPECT_EQ(list.front(), "[C:\\T");
  list.clear();
  ListTree("C:\\Nothing", list, "C:\\Nothing");
  EXPECT_TRUE(list.empty());
}

TEST(DirTree, StartupFoldersAreEmptiedButKept) {
  for (const char* name : {"Startup", "STARTUP", "a startup b"}) {
    SCOPED_TRACE(name);
    MakeTree();
    const std::string startup = std::string("C:\\T\\Sub\\") + name;
    os::fake::AddFile(startup + "\\item.lnk", "l");
    RemoveTree("C:\\T", "C:\\T", kRemoveTreeConfirm);
    EXPECT_FALSE(os::fake::Exists(startup + "\\item.lnk"));
    EXPECT_TRUE(FolderExists(startup));
    EXPECT_FALSE(os::fake::Exists("C:\\T\\a.txt"));
    EXPECT_FALSE(os::fake::Exists("C:\\T\\Sub\\b.txt"));  // read-only and hidden: cleared, then deleted
    EXPECT_FALSE(os::fake::Exists("C:\\T\\Sub\\Deeper"));
    EXPECT_TRUE(FolderExists("C:\\T\\Sub"));
  }
}

TEST(DirTree, FileInUseStaysAndSoDoesItsFolder) {
  MakeTree();
  os::fake::SetInUse("C:\\T\\Sub\\b.txt", true);
  RemoveTree("C:\\T", "C:\\T", kRemoveTreeConfirm);
  EXPECT_TRUE(os::fake::Exists("C:\\T\\Sub\\b.txt"));
  EXPECT_FALSE(os::fake::Exists("C:\\T\\a.txt"));
  EXPECT_FALSE(os::fake::Exists("C:\\T\\Sub\\Deeper"));
}

TEST(DirTree, LinkedFoldersAreNotFollowed) {
  MakeTree();
  os::fake::AddFile("C:\\T\\Link\\precious.txt", "elsewhere");
  os::fake::MarkFolderAsLink("C:\\T\\Link");
  Texts list;
  ListTree("C:\\T", list, "C:\\T");
  EXPECT_NE(std::find(list.begin(), list.end(), "[C:\\T\\Link"), list.end());
  EXPECT_EQ(std::find(list.begin(), list.end(), "C:\\T\\Link\\precious.txt"), list.end());
  RemoveTree("C:\\T", "C:\\T", kRemoveTreeConfirm);
  EXPECT_EQ(os::fake::Content("C:\\T\\Link\\precious.txt"), "elsewhere");

  // A link anywhere from the folder down (the folder itself included) is on the way; links above
  // the folder and parts that do not exist yet are not.
  os::fake::AddFile("C:\\T\\Sub\\b.txt", "b");
  os::fake::AddFile("C:\\Up\\App\\x.txt", "x");
  os::fake::MarkFolderAsLink("C:\\Up");
  const struct {
    const char* folder;
    const char* path;
    bool free;
  } rows[] = {
      {"C:\\T", "C:\\T\\Sub\\b.txt", true},
      {"C:\\T\\", "C:\\t\\sub\\new\\c.txt", true},
      {"C:\\T", "C:\\T\\Link\\precious.txt", false},
      {"c:\\t", "C:\\T\\LINK\\New\\x.txt", false},
      {"C:\\T\\Link", "C:\\T\\Link\\precious.txt", false},
      {"C:\\Up\\App", "C:\\Up\\App\\x.txt", true},
      {"C:\\Other", "C:\\T\\Link\\precious.txt", false},  // outside: its own folder is looked at
      {"C:\\Other", "C:\\T\\Sub\\b.txt", true},
  };
  for (const auto& row : rows)
    EXPECT_EQ(NoLinkOnTheWay(row.folder, row.path), row.free) << row.folder << " " << row.path;
}

}  // namespace
