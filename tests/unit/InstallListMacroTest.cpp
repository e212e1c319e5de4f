// The installation list's macros: :REMOVEFILES entries and :reg data, one row a case.
#include <gtest/gtest.h>

#include <string>

#include "engine/InstallList.h"

namespace {

TEST(InstallListMacros, RemoveFilesEntries) {
  struct Row {
    const char* entry;
    const char* windows;
    const char* install;
    const char* path;
  } rows[] = {
      {"<WINDIR>old.ini", "C:\\WINDOWS", "C:\\Program Files\\Demo", "C:\\WINDOWS\\old.ini"},
      {"<INSTALL>old.ini", "C:\\WINDOWS", "C:\\Program Files\\Demo", "C:\\Program Files\\Demo\\old.ini"},
      {"<INSTALL>sub\\old.dll", "C:\\WINDOWS", "C:\\Demo\\", "C:\\Demo\\sub\\old.dll"},
      {"<WINDIR>old.ini", "C:\\", "C:\\Demo", "C:\\old.ini"},
      {"C:\\Other\\old.ini", "C:\\WINDOWS", "C:\\Demo", "C:\\Other\\old.ini"},
      {"<windir>old.ini", "C:\\WINDOWS", "C:\\Demo", "<windir>old.ini"},
      {"<WINDIR>", "C:\\WINDOWS", "C:\\Demo", "C:\\WINDOWS\\"},
      {"", "C:\\WINDOWS", "C:\\Demo", ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.entry);
    EXPECT_EQ(ExpandRemoveFilesEntry(row.entry, row.windows, row.install), row.path);
  }
}

TEST(InstallListMacros, RegData) {
  const TRegMacroContext demo{"C:\\WINDOWS", "C:\\WINDOWS\\SYSTEM32", "C:\\Program Files\\Demo", "demo.exe"};
  const TRegMacroContext slash{"C:\\WINDOWS", "C:\\WINDOWS\\SYSTEM32", "C:\\Demo\\", "demo.exe"};
  const std::string exe = "C:\\Program Files\\Demo\\demo.exe";
  struct Row {
    std::string data;
    const TRegMacroContext& context;
    std::string expanded;
  } rows[] = {
      {"plain text", demo, "plain text"},
      {"", demo, ""},
      {"#1#", demo, "#1#"},
      // grave accents
      {"``quoted``", demo, "\"quoted\""},
      {"```", demo, "\"`"},
      {"````", demo, "\"\""},
      {"`x`", demo, "`x`"},
      {"``<EXEFILEPATH>`` ``%1``", demo, "\"" + exe + "\" \"%1\""},
      // leading folder macros, each tested on what the step before left
      {"<RUN>\\app.exe", demo, "C:\\Program Files\\Demo\\app.exe"},
      {"<RUN>\\app.exe", slash, "C:\\Demo\\app.exe"},
      {"x<RUN>", demo, "x<RUN>"},
      {"<WIN>\\notepad.exe", demo, "C:\\WINDOWS\\notepad.exe"},
      {"<SYS>\\x.dll", demo, "C:\\WINDOWS\\SYSTEM32\\x.dll"},
      {"<RUN><WIN>", demo, "C:\\Program Files\\Demo<WIN>"},
      {"<run>", demo, "<run>"},
      // whole-data forms
      {"r", demo, "C:\\Program Files\\Demo"},
      {"R", slash, "C:\\Demo\\"},
      {"r ", demo, "r "},
      {"p", demo, "\"" + exe + "\" %1"},
      {"P", demo, "\"" + exe + "\" %1 %2 %3 %4 %5 %6 %7 %8 %9"},
      {"pp", demo, "pp"},
      // RunFile macros: first occurrence only
      {"<EXEFILE>", demo, "demo.exe"},
      {"<EXEFILE> <EXEFILE>", demo, "demo.exe <EXEFILE>"},
      {"<EXEPATH>\\help", demo, "C:\\Program Files\\Demo\\help"},
      {"<EXEPATH>", slash, "C:\\Demo"},
      {"<EXEFILEPATH>", slash, "C:\\Demo\\demo.exe"},
      {"<EXEFILEPATH>,<EXEFILE>,<EXEPATH>", demo, exe + ",demo.exe,C:\\Program Files\\Demo"},
      // EXEPARAMS forms replace the whole data; the highest present wins
      {"open <EXEPARAMS1> now", demo, "\"" + exe + "\" \"%1\""},
      {"<EXEPARAMS2>", demo, "\"" + exe + "\" \"%1\" \"%2\""},
      {"<EXEPARAMS3>", demo, "\"" + exe + "\" \"%1\" \"%2\" \"%3\""},
      {"<EXEPARAMS3><EXEPARAMS1>", demo, "\"" + exe + "\" \"%1\" \"%2\" \"%3\""},
      {"<EXEPARAMS1><EXEPARAMS2>", demo, "\"" + exe + "\" \"%1\" \"%2\""},
      {"<EXEPARAMS1>", slash, "\"C:\\Demo\\demo.exe\" \"%1\""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.data);
    EXPECT_EQ(ExpandRegData(row.data, row.context), row.expanded);
  }
}

}  // namespace
