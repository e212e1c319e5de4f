// Mending of stored names and choosing entries by file specifications.
#include <gtest/gtest.h>

#include <cstring>

#include "tests/unit/UnzTestZip.h"
#include "unzdll/FileSpecs.h"
#include "unzdll/NameMender.h"
#include "unzdll/ZipDirectory.h"

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
      {"COM\xB9", true, "_COM\xB9", true},
      {"lpt\xB2.txt", true, "_lpt\xB2.txt", true},
      {"a/Com\xB3", true, "a\\_Com\xB3", true},
      {"COM\xB4", true, "COM\xB4", false},
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

// Lead-byte tables as GetCPInfo gives them for the double-byte code pages.
LeadBytes Table(std::initializer_list<std::pair<int, int>> ranges) {
  LeadBytes t;
  for (auto [first, last] : ranges) t.AddRange(static_cast<std::uint8_t>(first), static_cast<std::uint8_t>(last));
  return t;
}
const LeadBytes kShiftJis = Table({{0x81, 0x9F}, {0xE0, 0xFC}});
const LeadBytes kWide = Table({{0x81, 0xFE}});  // GBK, UHC and Big5
const LeadBytes kSingle;

TEST(UnzNames, DoubleByteCharactersAreNeverSeparatorsOrForbidden) {
  struct Row {
    const LeadBytes* lead;
    const char* stored;
    bool folders;
    const char* path;
    bool changed;
  };
  const Row rows[] = {
      {&kShiftJis, "\x83\x5C\x83\x74\x83\x67.txt", false, "\x83\x5C\x83\x74\x83\x67.txt", false},  // ソフト.txt
      {&kShiftJis, "\x83\x8C\x83\x7C\x81\x5B\x83\x67.txt", true, "\x83\x8C\x83\x7C\x81\x5B\x83\x67.txt", false},  // レポート.txt
      {&kShiftJis, "\x8F\x5C/\x94\x5C.txt", true, "\x8F\x5C\\\x94\x5C.txt", false},  // 十/能.txt
      {&kShiftJis, "a/\x90\xAC\x90\xD1\x95\x5C", false, "\x90\xAC\x90\xD1\x95\x5C", false},  // a/成績表
      {&kShiftJis, "a|\x83\x7C", true, "a_\x83\x7C", true},  // a|ポ: only the real bar goes
      {&kShiftJis, "\x95\x5C\\..\\x", true, "\x95\x5C\\x", true},  // 表\..\x
      {&kWide, "\x83\x7C.txt", true, "\x83\x7C.txt", false},             // GBK 億.txt
      {&kWide, "\xA5\x5C\xAF\xE0/\xB3\x5C.txt", true, "\xA5\x5C\xAF\xE0\\\xB3\x5C.txt", false},  // Big5 功能/許.txt
      {&kWide, "\x83\x61" "con", true, "\x83\x61" "con", false},             // UHC 긝con: no device name
      // Without lead bytes the same ソフト.txt loses its first byte to a folder.
      {&kSingle, "\x83\x5C\x83\x74\x83\x67.txt", false, "\x83\x74\x83\x67.txt", false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.stored);
    const unz::MendedName m = unz::MendEntryName(row.stored, row.folders, *row.lead);
    EXPECT_EQ(m.path, row.path);
    EXPECT_EQ(m.changed, row.changed);
  }
  EXPECT_TRUE(unz::WildMatch("?.txt", "\x95\x5C.txt", kShiftJis));  // 表 is one character
  EXPECT_FALSE(unz::WildMatch("?.txt", "\x95\x5C.txt", kSingle));
  EXPECT_FALSE(unz::WildMatch("\x83\x45*", "\x83\x65.txt", kShiftJis));  // ウ* is not テ.txt
  EXPECT_TRUE(unz::SelectedBySpecs({"*.txt"}, "\x95\x5C.txt", kShiftJis));
  EXPECT_FALSE(unz::SelectedBySpecs({"x.txt"}, "\x95\x5Cx.txt", kShiftJis));  // 表x.txt has no folder
}

using unztest::MemoryArchive;

TEST(UnzNames, ANameEndingInASecondByteBackslashIsAFile) {
  unztest::TestEntry hyou{"\x90\xAC\x90\xD1\x95\x5C", "a file"};  // 成績表
  unztest::TestEntry folder{"\x8F\x5C/", ""};                         // 十/
  unztest::TestEntry utf8{"\xE3\x81\x82/", ""};  // あ/ in UTF-8: read as Shift-JIS, its last pair would hide the slash
  utf8.flags = 0x0800;
  MemoryArchive archive(unztest::BuildZip({hyou, folder, utf8}));
  struct Row {
    const LeadBytes* lead;
    std::vector<bool> folders;
  };
  for (const Row& row : {Row{&kShiftJis, {false, true, true}}, Row{&kSingle, {true, true, true}}}) {
    unz::ZipDirectory directory;
    ASSERT_EQ(unz::ReadZipDirectory(archive, directory, *row.lead), unz::UnzError::kNone);
    std::vector<bool> folders;
    for (const unz::ZipEntry& e : directory.entries) folders.push_back(e.isFolder);
    EXPECT_EQ(folders, row.folders);
  }
}

}  // namespace
