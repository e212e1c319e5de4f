// The installation list: line splitting, header lookup, section readers, head and title rule.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/InstallList.h"
#include "os/fake/FakeControl.h"
#include "sys/SetupError.h"
#include "sys/WindowsVersion.h"

namespace {

using Lines = std::vector<std::string>;

TEST(InstallListLines, SplitsAtEveryKindOfLineEnd) {
  struct Row {
    const char* name;
    std::string text;
    Lines lines;
  };
  const Row rows[] = {
      {"empty text", "", {}},
      {"CR LF", "a\r\nb\r\n", {"a", "b"}},
      {"lone LF", "a\nb\n", {"a", "b"}},
      {"lone CR", "a\rb\r", {"a", "b"}},
      {"mixed", "a\r\nb\rc\nd", {"a", "b", "c", "d"}},
      {"last line without end", "a\r\nb", {"a", "b"}},
      {"LF CR is two ends", "a\n\rb", {"a", "", "b"}},
      {"empty lines kept", "\r\n\r\nx\r\n\r\n", {"", "", "x", ""}},
      {"single line end", "\r\n", {""}},
      {"NUL ends the text", std::string("a\r\nb\0c\r\nd", 9), {"a", "b"}},
      {"nothing trimmed", "  :INSTALL \t\r\n", {"  :INSTALL \t"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(SplitLines(row.text), row.lines);
  }
}

TEST(InstallListLines, LoadsThroughTheFileSystem) {
  os::fake::Reset();
  os::fake::AddFile("C:\\SETUP\\setup.ini", "\\Demo\r\nDemo\r\nDemo 1.0\r\n:install\r\n");
  TSetupList list("old\nlines");
  ASSERT_TRUE(list.Load("C:\\SETUP\\setup.ini"));
  EXPECT_EQ(list.Lines(), (Lines{"\\Demo", "Demo", "Demo 1.0", ":install"}));

  std::string big(200000, 'x');
  os::fake::AddFile("C:\\SETUP\\big.ini", big + "\r\nend");
  ASSERT_TRUE(list.Load("C:\\SETUP\\big.ini"));
  ASSERT_EQ(list.Count(), 2);
  EXPECT_EQ(list.Line(0).size(), big.size());

  EXPECT_FALSE(list.Load("C:\\SETUP\\missing.ini"));
  EXPECT_EQ(list.Count(), 0);
}

TEST(InstallListLines, LineOutsideTheListThrows) {
  TSetupList list("a\nb");
  EXPECT_EQ(list.Line(1), "b");
  EXPECT_THROW(list.Line(2), ListError);
  EXPECT_THROW(list.Line(-1), ListError);
  try {
    list.Line(5);
    FAIL();
  } catch (const ListError& e) {
    EXPECT_EQ(e.section(), "line 6");
    EXPECT_NE(std::string(e.what()).find("2 lines"), std::string::npos) << e.what();
  }
}

TEST(InstallListFind, WholeLineIgnoringCaseFirstMatch) {
  TSetupList list("a\n:install\n:INSTALL\n :REG\n:reg x\n:Reg\n:");
  EXPECT_EQ(list.Find(":INSTALL"), 1);
  EXPECT_EQ(list.Find(":Install"), 1);
  EXPECT_EQ(list.Find(":reg"), 5);  // " :REG" and ":reg x" are other lines
  EXPECT_EQ(list.Find(":"), 6);
  EXPECT_EQ(list.Find(":WIN"), -1);
  EXPECT_EQ(list.Find(""), -1);
  EXPECT_TRUE(list.Has(":REG"));
  EXPECT_FALSE(list.Has(":REBOOT"));
}

TEST(InstallListSections, ListSectionRunsToTheTerminatorOnly) {
  TSetupList list("h1\nh2\nh3\n:INSTALL\na.ex_\n\n:WIN\n*b.txt\n:\n:WIN\nnot this\n:");
  // an empty line and a following header are entries; only ":" ends the section
  EXPECT_EQ(ReadSection(list, ":install"), (Lines{"a.ex_", "", ":WIN", "*b.txt"}));
  EXPECT_EQ(ReadSection(list, ":WIN"), (Lines{"*b.txt"}));
  EXPECT_EQ(ReadSection(list, ":SYSTEM"), Lines{});
  EXPECT_EQ(SectionLineCount(list, ":INSTALL"), 5);
  EXPECT_EQ(SectionLineCount(list, ":WIN"), 2);
  EXPECT_EQ(SectionLineCount(list, ":SYSTEM"), 0);
}

TEST(InstallListSections, MissingTerminatorThrowsNamingTheSection) {
  TSetupList list("h1\nh2\nh3\n:REMOVEFILES\n<WINDIR>x.ini\n:INSTALL\na\nb");
  try {
    ReadSection(list, Header::kInstall);
    FAIL();
  } catch (const ListError& e) {
    EXPECT_EQ(e.section(), ":INSTALL");
    EXPECT_NE(std::string(e.what()).find("terminator"), std::string::npos);
  }
  // a section without terminator reads on into the next and fails at the end
  EXPECT_THROW(ReadSection(list, Header::kRemoveFiles), ListError);
  EXPECT_THROW(SectionLineCount(list, Header::kInstall), ListError);
  EXPECT_THROW(ReadSection(TSetupList(":EXTRA"), Header::kExtra), ListError);
}

TEST(InstallListSections, ReaderThrowsOnlyWhenItGetsToTheEnd) {
  TSetupList list("h1\nh2\nh3\n:INSTALL\n*keep.ini\ncopy.ex_\n*:");
  TSectionReader reader(list, Header::kInstall);
  TFileEntry entry;
  ASSERT_TRUE(reader.NextFileEntry(entry));
  EXPECT_EQ(entry.name, "keep.ini");
  EXPECT_TRUE(entry.keepExisting);
  ASSERT_TRUE(reader.NextFileEntry(entry));
  EXPECT_EQ(entry.name, "copy.ex_");
  EXPECT_FALSE(entry.keepExisting);
  // the "*" is removed before the terminator test
  EXPECT_FALSE(reader.NextFileEntry(entry));
  EXPECT_FALSE(reader.NextFileEntry(entry));  // and the section stays ended

  TSetupList cutList("h\n:INSTALL\na");
  TSectionReader cut(cutList, Header::kInstall);
  ASSERT_TRUE(cut.NextFileEntry(entry));
  EXPECT_THROW(cut.NextFileEntry(entry), ListError);
  TSectionReader absent(list, Header::kWin);
  EXPECT_FALSE(absent.Present());
  EXPECT_FALSE(absent.NextFileEntry(entry));
}

TEST(InstallListSections, GroupsNeedTheTerminatorAfterACompleteGroup) {
  TSetupList shortcuts("h\n:SHORTCUTS\nDemo\ndemo.exe\n|Read me\nreadme.txt\n:\n:RUNFILE\ndemo.exe");
  TSectionReader reader(shortcuts, Header::kShortcuts);
  TShortcutPair pair;
  std::vector<std::string> names;
  while (NextShortcutPair(reader, pair)) names.push_back(pair.name + "=" + pair.target);
  EXPECT_EQ(names, (Lines{"Demo=demo.exe", "|Read me=readme.txt"}));

  // an odd number of lines: the terminator is taken as a target and the
  // reader goes on past it to the next group boundary
  TSetupList odd("h\n:SHORTCUTS\nDemo\ndemo.exe\nLone\n:\n:RUNFILE\ndemo.exe\n:");
  TSectionReader oddReader(odd, Header::kShortcuts);
  names.clear();
  while (NextShortcutPair(oddReader, pair)) names.push_back(pair.name + "=" + pair.target);
  EXPECT_EQ(names, (Lines{"Demo=demo.exe", "Lone=:", ":RUNFILE=demo.exe"}));

  // the end of the list inside a group or before the terminator throws
  TSetupList insideList("h\n:reg\nHKEY_CURRENT_USER\nSoftware\\Demo\nName");
  TSectionReader inside(insideList, Header::kReg);
  TRegGroup group;
  EXPECT_THROW(NextRegGroup(inside, group), ListError);
  TSetupList afterList("h\n:reg\nHKEY_CURRENT_USER\nSoftware\\Demo\nName\ndata");
  TSectionReader after(afterList, Header::kReg);
  ASSERT_TRUE(NextRegGroup(after, group));
  EXPECT_EQ(group.data, "data");
  EXPECT_THROW(NextRegGroup(after, group), ListError);
}

TEST(InstallListSections, RegGroupsAndProgramKey) {
  TSetupList list(
      "h\n:reg\nHKEY_LOCAL_MACHINE\nSoftware\\Demo\nPath\n<RUN>\nHKEY_CLASSES_ROOT\n.abc\n\ndemo\n:");
  TSectionReader reader(list, ":REG");
  TRegGroup group;
  ASSERT_TRUE(NextRegGroup(reader, group));
  EXPECT_EQ(group.root, "HKEY_LOCAL_MACHINE");
  EXPECT_EQ(group.key, "Software\\Demo");
  EXPECT_EQ(group.name, "Path");
  EXPECT_EQ(group.data, "<RUN>");
  ASSERT_TRUE(NextRegGroup(reader, group));
  EXPECT_EQ(group.name, "");
  EXPECT_FALSE(NextRegGroup(reader, group));
  EXPECT_EQ(ReadProgramKey(list), "Software\\Demo");
  EXPECT_EQ(ReadProgramKey(TSetupList("h")), "");
  // an empty section has no group: the terminator is never read as a root key
  EXPECT_EQ(ReadProgramKey(TSetupList("h\n:reg\n:\n:INSTALL\na\n:")), "");
}

TEST(InstallListSections, PositionalSections) {
  TSetupList list("h\n:MESSAGE\nHello\n:UNINSTALL\nDemo\nDemo 1.0\nuninst.exe\nr\n:RUNFILE");
  EXPECT_EQ(ReadLineAfter(list, Header::kMessage), "Hello");
  EXPECT_EQ(ReadLineAfter(list, Header::kNrMsg), std::nullopt);
  auto uninstall = ReadUninstall(list);
  ASSERT_TRUE(uninstall);
  EXPECT_EQ(uninstall->keyName, "Demo");
  EXPECT_EQ(uninstall->displayName, "Demo 1.0");
  EXPECT_EQ(uninstall->uninstaller, "uninst.exe");
  EXPECT_EQ(uninstall->dataFileLine, "r");
  EXPECT_THROW(ReadLineAfter(list, Header::kRunFile), ListError);  // the header is the last line
  EXPECT_THROW(ReadUninstall(TSetupList(":UNINSTALL\nDemo\nDemo 1.0\nuninst.exe")), ListError);
  // a terminator may follow a positional section and is not looked for in it
  EXPECT_EQ(ReadPositional(TSetupList(":OS\n:\nWIN_XP\nno\n:"), ":os", 3), (Lines{":", "WIN_XP", "no"}));
}

TEST(InstallListSections, FallbacksOfDefPathAndSysBackup) {
  EXPECT_EQ(ReadDefPath(TSetupList("h\n:DEFPATH\nAcme")), "Acme");
  EXPECT_EQ(ReadDefPath(TSetupList("h\n:DEFPATH")), "");
  EXPECT_EQ(ReadDefPath(TSetupList("h")), "");
  struct Row {
    const char* list;
    const char* extension;
  } rows[] = {
      {"h\n:SYSBACKUP\nBAK\n:", "BAK"}, {"h\n:SYSBACKUP\n:", "QVS"},
      {"h\n:SYSBACKUP\nA:B", "QVS"},    {"h\n:SYSBACKUP", "QVS"},
      {"h\n:SYSBACKUP\n", "QVS"},  // a line end after the header adds no line
      {"h\n:SYSBACKUP\n\nx", ""},       {"h", "QVS"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.list);
    EXPECT_EQ(SysBackupExtension(TSetupList(row.list)), row.extension);
  }
}

TEST(InstallListHead, HeadAndDefaultInstallDir) {
  TListHead head = ReadHead(TSetupList("\\Tools\\Demo\nDemo\\Tools\n|Demo*(NT)"));
  EXPECT_EQ(head.installSuffix, "\\Tools\\Demo");
  EXPECT_EQ(head.startMenu, "Demo\\Tools");
  EXPECT_EQ(head.titleLine, "|Demo*(NT)");
  EXPECT_THROW(ReadHead(TSetupList("\\Demo\nDemo")), ListError);
  EXPECT_THROW(ReadHead(TSetupList("")), ListError);

  struct Row {
    const char* line1;
    const char* installDir;
  } rows[] = {
      {"\\Tools\\Demo", "C:\\Program Files\\Tools\\Demo"},
      {"\\Demo\\", "C:\\Program Files\\Demo"},
      {"", "C:\\Program Files"},
      {"\\", "C:\\Program Files"},
      {"Demo", "C:\\Program FilesDemo"},
  };
  for (const Row& row : rows) EXPECT_EQ(DefaultInstallDir(row.line1), row.installDir) << row.line1;
}

TEST(InstallListHead, TitleRule) {
  struct Row {
    const char* line;
    int version;
    const char* title;
  } rows[] = {
      {"|Demo*(NT)", kWinNT4, "Demo(NT)"},
      {"|Demo*(NT)", kWinXP, "Demo"},
      {"|Demo*(NT)", kWin95A, "Demo"},
      {"|Demo*a*b", kWinNT4, "Demoa*b"},
      {"|Demo*a*b", kWin2K, "Demo"},
      {"|Demo", kWinXP, "Demo"},
      {"|*NT only", kWin98, ""},
      {"Demo*x", kWinNT4, "Demo*x"},
      {"Demo*x", kWinXP, "Demo*x"},
      {"a|b*c", kWinXP, "a|b*c"},
      {"|", kWinXP, ""},
      {"", kWinNT4, ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.line) + " on " + std::to_string(row.version));
    EXPECT_EQ(ApplyTitleRule(row.line, row.version), row.title);
  }
}

TEST(InstallListOs, KeywordsAreExact) {
  struct Row {
    const char* keyword;
    int code;
  } rows[] = {
      {"WIN_95A", 0}, {"WIN_95B", 1}, {"WIN_95C", 2},  {"WIN_98", 3}, {"WIN_98SE", 4},
      {"WIN_ME", 5},  {"WIN_NT", 6},  {"WIN_2K", 7},   {"WIN_XP", 8}, {"win_xp", 0},
      {"WIN_XP ", 0}, {"", 0},        {"WIN_2003", 0}, {"9", 0},      {"WIN_98se", 0},
  };
  for (const Row& row : rows) EXPECT_EQ(OsKeywordCode(row.keyword), row.code) << '"' << row.keyword << '"';
}

TEST(InstallListOs, RangeFromTheList) {
  auto range = ReadOsRange(TSetupList("h\n:OS\nWIN_98\nWIN_XP\nNot on this Windows."));
  ASSERT_TRUE(range);
  EXPECT_EQ(range->message, "Not on this Windows.");
  for (int code = 0; code <= 9; ++code) EXPECT_EQ(range->Allows(code), code >= 3 && code <= 8) << code;
  // a misspelt maximum counts as 0 and refuses everything above Windows 95 A
  auto misspelt = ReadOsRange(TSetupList(":OS\nWIN_95A\nWIN_Xp\nno"));
  ASSERT_TRUE(misspelt);
  EXPECT_TRUE(misspelt->Allows(kWin95A));
  EXPECT_FALSE(misspelt->Allows(kWin95B));
  EXPECT_EQ(ReadOsRange(TSetupList("h")), std::nullopt);
  EXPECT_THROW(ReadOsRange(TSetupList(":OS\nWIN_98\nWIN_XP")), ListError);
}

TEST(InstallListNotRunning, SplittingAndEndRule) {
  struct Row {
    const char* line;
    TNotRunning entry;
  } rows[] = {
      {"DemoWnd,Demo Main,Demo", {"DemoWnd", "Demo Main", "Demo"}},
      {"DemoWnd,Demo Main,Demo, the editor", {"DemoWnd", "Demo Main", "Demo, the editor"}},
      {"DemoWnd,Demo Main", {"DemoWnd", "Demo Main", "Demo Main"}},
      {",,", {"", "", ""}},
      {"DemoWnd", {"DemoWnd", "", ""}},
      {"", {"", "", ""}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    TNotRunning e = SplitNotRunning(row.line);
    EXPECT_EQ(e.className, row.entry.className);
    EXPECT_EQ(e.windowTitle, row.entry.windowTitle);
    EXPECT_EQ(e.displayName, row.entry.displayName);
  }
  auto names = [](const char* text) {
    Lines out;
    for (const TNotRunning& e : ReadNotRunning(TSetupList(text))) out.push_back(e.displayName);
    return out;
  };
  EXPECT_EQ(names("h\n:NOTRUNNING\nA,a,One\nB,b,Two\n:\nC,c,Three"), (Lines{"One", "Two"}));
  EXPECT_EQ(names("h\n:NOTRUNNING\nA,a,One\n\nB,b,Two\n:"), (Lines{"One"}));
  EXPECT_EQ(names("h\n:NOTRUNNING\nA,a,One\nB,b,Two"), (Lines{"One", "Two"}));
  EXPECT_EQ(names("h\n:NOTRUNNING"), Lines{});
  EXPECT_EQ(names("h"), Lines{});
}

TEST(InstallListUninstall, DataFileFromLineFour) {
  EXPECT_EQ(UninstallDataFile("r", "C:\\Program Files\\Demo", "C:\\WINDOWS"),
            "C:\\Program Files\\Demo\\unin.ini");
  EXPECT_EQ(UninstallDataFile("R", "C:\\Program Files\\Demo", "C:\\WINDOWS"), "C:\\WINDOWS\\R");
  EXPECT_EQ(UninstallDataFile("demo.dat", "C:\\Demo", "C:\\WINDOWS"), "C:\\WINDOWS\\demo.dat");
  EXPECT_EQ(UninstallDataFile("demo.dat", "C:\\Demo", "C:\\"), "C:\\demo.dat");
}

TEST(InstallListMarks, Nt4MarkAndIndirectKeys) {
  struct Row {
    const char* text;
    int version;
    bool skip;
    const char* after;
  } rows[] = {
      {"|Software\\Demo", kWinNT4, true, "|Software\\Demo"},
      {"|Software\\Demo", kWin2K, false, "Software\\Demo"},
      {"|Software\\Demo", kWin95A, false, "Software\\Demo"},
      {"|Software\\Demo", kWinME, false, "Software\\Demo"},  // the codes on either side of NT 4.0
      {"Software\\Demo", kWinNT4, false, "Software\\Demo"},
      {"||x", kWinXP, false, "|x"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text);
    std::string text = row.text;
    EXPECT_EQ(SkipForNt4Mark(text, row.version), row.skip);
    EXPECT_EQ(text, row.after);
  }

  std::string lookup = "garbage", remainder = "garbage";
  ASSERT_TRUE(SplitIndirectKey(">.abc<\\shell\\open\\command", lookup, remainder));
  EXPECT_EQ(lookup, ".abc");
  EXPECT_EQ(remainder, "\\shell\\open\\command");
  ASSERT_TRUE(SplitIndirectKey(">.abc", lookup, remainder));
  EXPECT_EQ(lookup, ".abc");
  EXPECT_EQ(remainder, "");
  EXPECT_FALSE(SplitIndirectKey("|>.abc<\\shell", lookup, remainder));
  EXPECT_EQ(ResolvedIndirectKey(">.abc<\\shell", "abcfile"), "abcfile\\shell");
  EXPECT_EQ(ResolvedIndirectKey(">.abc<\\shell", ""), ".abc<\\shell");
  EXPECT_EQ(ResolvedIndirectKey("Software\\Demo", "ignored"), "Software\\Demo");
}

}  // namespace
