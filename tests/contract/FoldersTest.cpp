// Contract of the folder services: folder chains, existence tests and tree removal behave alike on the fake
// and on Windows.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "os/OsFiles.h"
#include "sys/Folders.h"
#include "tests/contract/ContractEnv.h"

namespace {

using Texts = std::vector<std::string>;

void Write(const std::string& path, std::uint32_t attributes = os::kAttrArchive) {
  {
    os::UniqueFile f(os::CreateFileA(path, os::Access::Write, os::Disposition::CreateAlways));
    ASSERT_TRUE(f) << path;
    std::uint32_t written = 0;
    ASSERT_TRUE(os::WriteFile(f.get(), "data", 4, written));
  }
  ASSERT_TRUE(os::SetFileAttributesA(path, attributes)) << path;
}

bool Present(const std::string& path) { return os::GetFileAttributesA(path) != os::kInvalidFileAttributes; }

// A tree: s\T with a.txt, Sub\b.txt (read-only, hidden), Sub\Deeper\c.txt (system), Empty.
std::string MakeTree(const std::string& s) {
  const std::string t = s + "\\T";
  EXPECT_TRUE(os::CreateDirectoryA(t));
  EXPECT_TRUE(os::CreateDirectoryA(t + "\\Sub"));
  EXPECT_TRUE(os::CreateDirectoryA(t + "\\Sub\\Deeper"));
  EXPECT_TRUE(os::CreateDirectoryA(t + "\\Empty"));
  Write(t + "\\a.txt");
  Write(t + "\\Sub\\b.txt", os::kAttrReadonly | os::kAttrHidden);
  Write(t + "\\Sub\\Deeper\\c.txt", os::kAttrSystem);
  return t;
}

TEST(DirContract, FolderAndFileTests) {
  const std::string s = contract::FreshScratch();
  Write(s + "\\file.txt");
  EXPECT_TRUE(FolderExists(s));
  EXPECT_TRUE(FolderExists(s.substr(0, 3)));  // the drive root
  EXPECT_FALSE(FolderExists(s + "\\file.txt"));
  EXPECT_FALSE(FolderExists(s + "\\none"));
  EXPECT_FALSE(FolderExists(s + "\\none\\deeper"));

  EXPECT_TRUE(FileFound(s + "\\file.txt"));
  EXPECT_TRUE(FileFound(s + "\\FILE.TXT"));
  EXPECT_TRUE(FileFound(s + "\\f*.t?t"));
  EXPECT_FALSE(FileFound(s));
  EXPECT_FALSE(FileFound(s + "\\none.txt"));
  EXPECT_FALSE(FileFound(s + "\\none\\none.txt"));

  Write(s + "\\old.txt");
  {
    os::UniqueFile f(os::CreateFileA(s + "\\old.txt", os::Access::Write, os::Disposition::OpenExisting));
    ASSERT_TRUE(f);
    ASSERT_TRUE(
        os::SetFileTime(f.get(), os::FileTime{116444736000000000ull + 180ull * 86400 * 10000000}));  // 1970
  }
  EXPECT_FALSE(FileFound(s + "\\old.txt"));
}

TEST(DirContract, ForceFolders) {
  const std::string s = contract::FreshScratch();
  ForceFolders(s + "\\A\\B\\D\\");
  EXPECT_TRUE(FolderExists(s + "\\A"));
  EXPECT_TRUE(FolderExists(s + "\\A\\B"));
  EXPECT_TRUE(FolderExists(s + "\\A\\B\\D"));
  ForceFolders(s + "\\A\\B\\D");  // already there: nothing happens
  EXPECT_TRUE(FolderExists(s + "\\A\\B\\D"));

  Write(s + "\\F");
  ForceFolders(s + "\\F\\G\\H");
  EXPECT_FALSE(FolderExists(s + "\\F\\G"));
  ForceFolders(s + "\\X:");  // ends; Windows refuses the name
  ForceFolders("");
}

TEST(DirContract, ListTreeListsEveryFolderBeforeItsContents) {
  const std::string s = contract::FreshScratch();
  const std::string t = MakeTree(s);
  Texts list;
  ListTree(t, list, t);
  ASSERT_FALSE(list.empty());
  EXPECT_EQ(list.front(), "[" + t);
  Texts sorted = list;
  std::sort(sorted.begin(), sorted.end());
  Texts expected{"[" + t,
                 "[" + t + "\\Empty",
                 "[" + t + "\\Sub",
                 "[" + t + "\\Sub\\Deeper",
                 t + "\\Sub\\Deeper\\c.txt",
                 t + "\\Sub\\b.txt",
                 t + "\\a.txt"};
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(sorted, expected);
  auto at = [&](const std::string& entry) {
    return std::find(list.begin(), list.end(), entry) - list.begin();
  };
  EXPECT_LT(at("[" + t + "\\Sub"), at(t + "\\Sub\\b.txt"));
  EXPECT_LT(at("[" + t + "\\Sub"), at("[" + t + "\\Sub\\Deeper"));
  EXPECT_LT(at("[" + t + "\\Sub\\Deeper"), at(t + "\\Sub\\Deeper\\c.txt"));
}

TEST(DirContract, RemoveTree) {
  const std::string s = contract::FreshScratch();
  const std::string t = MakeTree(s);
  RemoveTree(t, t, 102);  // not confirmed: nothing in the tree goes
  EXPECT_TRUE(Present(t + "\\a.txt"));
  EXPECT_TRUE(Present(t + "\\Empty"));

  RemoveTree(t, t, kRemoveTreeConfirm);
  EXPECT_FALSE(Present(t));
  EXPECT_TRUE(FolderExists(s));

  ASSERT_TRUE(os::CreateDirectoryA(s + "\\E"));
  RemoveTree(s + "\\E", s + "\\E", 0);  // an empty top folder goes whatever the code
  EXPECT_FALSE(Present(s + "\\E"));

  Write(s + "\\one.txt", os::kAttrReadonly);
  RemoveTree(s + "\\one.txt", s + "\\one.txt", kRemoveTreeConfirm);
  EXPECT_FALSE(Present(s + "\\one.txt"));
}

TEST(DirContract, RemoveTreeKeepsStartupFolders) {
  const std::string s = contract::FreshScratch();
  const std::string t = MakeTree(s);
  ASSERT_TRUE(os::CreateDirectoryA(t + "\\Sub\\MyStartupItems"));
  Write(t + "\\Sub\\MyStartupItems\\item.lnk");
  RemoveTree(t, t, kRemoveTreeConfirm);
  EXPECT_FALSE(Present(t + "\\Sub\\MyStartupItems\\item.lnk"));
  EXPECT_TRUE(FolderExists(t + "\\Sub\\MyStartupItems"));
  EXPECT_FALSE(Present(t + "\\Sub\\Deeper"));
  EXPECT_FALSE(Present(t + "\\a.txt"));
  EXPECT_TRUE(FolderExists(t));
}

}  // namespace
