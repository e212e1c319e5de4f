// Path and name rules on double-byte code pages: Shift-JIS (932), GBK (936), UHC (949) and Big5
// (950) names whose second bytes read as "\", "|" or letters, against the single-byte 1252 where the
// same bytes are characters of their own.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "os/OsFiles.h"
#include "os/fake/FakeControl.h"
#include "sys/PathText.h"
#include "sys/TextBytes.h"
#include "tests/unit/CodePageTestUtil.h"

namespace {

using codepagetest::ScopedCodePage;

class TextBytes : public ::testing::Test {
 protected:
  void SetUp() override { os::fake::Reset(); }
  void TearDown() override { ScopedCodePage::Switch(1252); }
};

TEST_F(TextBytes, FolderAndNameSplitOnlyAtWholeBackslashes) {
  struct Row {
    std::uint32_t codePage;
    const char* path;
    const char* folder;  // ExtractFilePath
    const char* name;    // ExtractFileName
  };
  const Row rows[] = {
      {932, "C:\\Program Files\\" SJ_SEISEKIHYOU, "C:\\Program Files\\", SJ_SEISEKIHYOU},
      {932, "C:\\" SJ_JUU "\\" SJ_SOFUTO ".txt", "C:\\" SJ_JUU "\\", SJ_SOFUTO ".txt"},
      {932, "C:\\a\\" SJ_JUU SJ_NOU, "C:\\a\\", SJ_JUU SJ_NOU},
      {932, "D:" SJ_NOU, "D:", SJ_NOU},
      {936, "C:\\\x81\x5C\\\x83\x7C.txt", "C:\\\x81\x5C\\", "\x83\x7C.txt"},          // 乗\億.txt
      {950, "C:\\\xA5\x5C\xAF\xE0\\\xB3\x5C", "C:\\\xA5\x5C\xAF\xE0\\", "\xB3\x5C"},  // 功能\許
      {949, "C:\\\xC7\xD1\\\x83\x61", "C:\\\xC7\xD1\\", "\x83\x61"},                  // 한\긝
      // The same bytes on a single-byte system: 0x95 is a character, 0x5C after it a separator.
      {1252, "C:\\a\x95\\b", "C:\\a\x95\\", "b"},
      {932, "C:\\a\x95\\b", "C:\\", "a\x95\\b"},
      // A lead byte at the very end has no partner: it stands alone.
      {932, "C:\\a\x95", "C:\\", "a\x95"},
      // The last lead byte of each range takes its 0x5C; the byte after the range does not.
      {932, "C:\\\x9F\x5C\\b", "C:\\\x9F\x5C\\", "b"},
      {932, "C:\\a\xA0\\b", "C:\\a\xA0\\", "b"},
      {932, "C:\\\xFC\x5C", "C:\\", "\xFC\x5C"},
      {932, "C:\\a\xFD\\b", "C:\\a\xFD\\", "b"},
      {936, "C:\\\xFE\x5C", "C:\\", "\xFE\x5C"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::to_string(row.codePage) + " " + row.path);
    ScopedCodePage::Switch(row.codePage);
    EXPECT_EQ(ExtractFilePath(row.path), row.folder);
    EXPECT_EQ(ExtractFileName(row.path), row.name);
    EXPECT_EQ(ChangeFileExt(row.path, ".new"), ExtractFilePath(row.path) + ChangeFileExt(row.name, ".new"));
  }
}

TEST_F(TextBytes, TrailingBackslashes) {
  struct Row {
    std::uint32_t codePage;
    const char* text;
    const char* stripped;
    const char* added;
  };
  const Row rows[] = {
      {932, "C:\\" SJ_SEISEKIHYOU, "C:\\" SJ_SEISEKIHYOU, "C:\\" SJ_SEISEKIHYOU "\\"},
      {932, "C:\\" SJ_SEISEKIHYOU "\\", "C:\\" SJ_SEISEKIHYOU, "C:\\" SJ_SEISEKIHYOU "\\"},
      {932, SJ_NOU, SJ_NOU, SJ_NOU "\\"},
      {936, "\x81\x5C", "\x81\x5C", "\x81\x5C\\"},
      {950, "C:\\\xB3\x5C", "C:\\\xB3\x5C", "C:\\\xB3\x5C\\"},
      {1252, "C:\\a\x95\\", "C:\\a\x95", "C:\\a\x95\\"},
      {932, "C:\\a\\\\", "C:\\a\\", "C:\\a\\\\"},  // one backslash at a time, as before
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::to_string(row.codePage) + " " + row.text);
    ScopedCodePage::Switch(row.codePage);
    EXPECT_EQ(StripBackslash(row.text), row.stripped);
    EXPECT_EQ(AddBackslash(row.text), row.added);
    EXPECT_EQ(EndsWithBackslash(row.text), std::string(row.stripped) != row.text);
  }
}

TEST_F(TextBytes, CaseFoldingLeavesDoubleByteCharactersAlone) {
  struct Row {
    std::uint32_t codePage;
    const char* text;
    const char* upper;
    const char* lower;
  };
  const Row rows[] = {
      {932, SJ_TESUTO ".mcc", SJ_TESUTO ".MCC", SJ_TESUTO ".mcc"},
      {932, "a" SJ_REPOOTO "Z", "A" SJ_REPOOTO "Z", "a" SJ_REPOOTO "z"},
      {936, "\x81\x61x\x81\x41X", "\x81\x61X\x81\x41X", "\x81\x61x\x81\x41x"},  // 乤x丄X
      {949,
       "\x83\x61"
       "a\x81\x7A",
       "\x83\x61"
       "A\x81\x7A",
       "\x83\x61"
       "a\x81\x7A"},                                           // 긝a걕
      {950, "\xA1\x61q", "\xA1\x61Q", "\xA1\x61q"},            // ｛q
      {1252, "\x83\x65\xE9", "\x83\x45\xE9", "\x83\x65\xE9"},  // single bytes: e is a letter
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::to_string(row.codePage) + " " + row.text);
    ScopedCodePage::Switch(row.codePage);
    EXPECT_EQ(UpperText(row.text), row.upper);
    EXPECT_EQ(LowerText(row.text), row.lower);
  }
  // Byte-wise upper case made テスト and ウスエ the same name.
  ScopedCodePage::Switch(932);
  EXPECT_FALSE(SameTextIgnoringCase(SJ_TESUTO, SJ_USUE));
  EXPECT_TRUE(SameTextIgnoringCase(SJ_TESUTO ".Exe", SJ_TESUTO ".eXE"));
  ScopedCodePage::Switch(1252);
  EXPECT_TRUE(SameTextIgnoringCase(SJ_TESUTO, SJ_USUE));
}

TEST_F(TextBytes, SearchesFindOnlyWholeCharacters) {
  ScopedCodePage::Switch(932);
  struct Row {
    const char* text;
    const char* part;
    std::size_t at;
  };
  const Row rows[] = {
      {"C:\\" SJ_SOFUTO "NOTEPAD.EXE", "\\notepad.exe", std::string::npos},  // the only 0x5C is a second byte
      {"C:\\" SJ_SOFUTO "\\notepad.exe", "\\NOTEPAD.EXE", 9},
      {"a" SJ_TESUTO, "E", std::string::npos},
      {"\x95\x5C", "\x95", std::string::npos},  // a match may not end inside a character
      {"\x95\x5C\x95\x5C", "\x5C\x95", std::string::npos},
      {"x``" SJ_NOU "``", "``", 1},
      {"\x82\x60``", "``", 2},  // Ａ` then ``: the first backquote is Ａ's second byte
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text);
    EXPECT_EQ(FindTextIgnoringCase(row.text, row.part), row.at);
  }
  EXPECT_EQ(FindTextIgnoringCase("x``" SJ_NOU "``", "``", 2), 5u);
  EXPECT_EQ(NextSeparator("a" SJ_REPOOTO "|b", "|"), 9u);
  EXPECT_EQ(NextSeparator("a" SJ_REPOOTO, "|"), std::string::npos);
  EXPECT_EQ(LastSeparator(SJ_NOU "\\" SJ_JUU, "\\"), 2u);
  // Cut to fit a record: never after a lead byte.
  EXPECT_EQ(WholeCharsWithin("ab" SJ_NOU, 3, ProcessLeadBytes()), 2u);
  EXPECT_EQ(WholeCharsWithin("ab" SJ_NOU, 4, ProcessLeadBytes()), 4u);
  EXPECT_EQ(WholeCharsWithin("ab" SJ_NOU, 3, LeadBytes()), 3u);
  EXPECT_TRUE(EndsWithChar("[" SJ_SEISEKI "]", ']'));
  EXPECT_FALSE(EndsWithChar("[\x81\x5D", ']'));  // ］'s second byte
}

TEST_F(TextBytes, TheInMemoryFileSystemKeepsDoubleByteNamesWhole) {
  ScopedCodePage::Switch(932);
  os::fake::AddFolder("C:\\Program Files");
  ASSERT_TRUE(os::CreateDirectoryA("C:\\Program Files\\" SJ_SEISEKIHYOU));
  ASSERT_TRUE(os::CreateDirectoryA("C:\\Program Files\\" SJ_SEISEKIHYOU "\\" SJ_JUU SJ_NOU));
  os::fake::AddFile("C:\\Program Files\\" SJ_SEISEKIHYOU "\\" SJ_TESUTO ".txt", "x");
  EXPECT_EQ(os::fake::List("C:\\Program Files"), (std::vector<std::string>{SJ_SEISEKIHYOU}));
  EXPECT_EQ(os::fake::List("C:\\Program Files\\" SJ_SEISEKIHYOU),
            (std::vector<std::string>{SJ_JUU SJ_NOU, SJ_TESUTO ".txt"}));
  // Names compare without case only in their single-byte letters.
  EXPECT_TRUE(os::fake::Exists("c:\\program files\\" SJ_SEISEKIHYOU "\\" SJ_TESUTO ".TXT"));
  EXPECT_FALSE(os::fake::Exists("C:\\Program Files\\" SJ_SEISEKIHYOU "\\" SJ_USUE ".txt"));
}

}  // namespace
