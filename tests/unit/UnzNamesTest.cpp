// Mending of stored names and choosing entries by file specifications.
#include <gtest/gtest.h>

#include "unzdll/FileSpecs.h"
#include "unzdll/NameMender.h"

namespace {

TEST(UnzNames, MendedNames) {
  struct Row {
    const char* stored;
    bool folders;
    const char* path;
    bool changed;
  };
  const Row rows[] = {
      {"plain.txt", true, "plain.txt", false},
      {"a/b/c.txt", true, "a\\b\\c.txt", false},
      {"a/b/c.txt", false, "c.txt", false},
      {"a\\b\\c.txt", true, "a\\b\\c.txt", false},
      {"./a//b.txt", true, "a\\b.txt", false},
      {"../x.txt", true, "x.txt", true},
      {"a/../../x.txt", true, "a\\x.txt", true},
      {"/etc/passwd", true, "etc\\passwd", true},
      {"\\\\server\\share\\f", true, "server\\share\\f", true},
      {"C:\\Windows\\evil.dll", true, "Windows\\evil.dll", true},
      {"C:evil.dll", false, "evil.dll", true},
      {"a/.../b", true, "a\\b", true},
      {"a/. ./b", true, "a\\b", true},
      {"name. ", true, "name", true},
      {"file:stream", true, "file_stream", true},
      {"q?u*e<s>t|i\"on", true, "q_u_e_s_t_i_on", true},
      {"tab\there", true, "tab_here", true},
      {"CON", true, "_CON", true},
      {"dir/aux.txt", true, "dir\\_aux.txt", true},
      {"lpt1", false, "_lpt1", true},
      {"console.txt", true, "console.txt", false},
      {"COM10", true, "COM10", false},
      {"..", true, "", true},
      {"dir/", true, "dir", false},
      {"", true, "", false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.stored);
    const unz::MendedName m = unz::MendEntryName(row.stored, row.folders);
    EXPECT_EQ(m.path, row.path);
    EXPECT_EQ(m.changed, row.changed);
  }
}

TEST(UnzNames, WildcardMatching) {
  const std::string manyA(200, 'a');
  struct Row {
    const char* pattern;
    const char* name;
    bool match;
  };
  const Row rows[] = {
      {"*", "anything/at/all", true},       {"*.txt", "a.TXT", true},
      {"*.txt", "dir/a.txt", true},         {"*.txt", "a.txt.bak", false},
      {"a?c", "abc", true},                 {"a?c", "ac", false},
      {"dir\\*.dll", "dir/x.dll", true},    {"dir/*.dll", "other/x.dll", false},
      {"setup.ini", "SETUP.INI", true},     {"*a*a*a*a*b", manyA.c_str(), false},
      {"", "", true},                       {"", "x", false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.pattern) + " ~ " + row.name);
    EXPECT_EQ(unz::WildMatch(row.pattern, row.name), row.match);
  }
}

TEST(UnzNames, SpecificationWithoutFolderAlsoMatchesTheLastPart) {
  EXPECT_TRUE(unz::SelectedBySpecs({}, "any/thing"));
  EXPECT_TRUE(unz::SelectedBySpecs({"readme.txt"}, "docs/readme.txt"));
  EXPECT_FALSE(unz::SelectedBySpecs({"docs/readme.txt"}, "other/readme.txt"));
  EXPECT_FALSE(unz::SelectedBySpecs({"x.txt", "y.txt"}, "z.txt"));
}

}  // namespace
