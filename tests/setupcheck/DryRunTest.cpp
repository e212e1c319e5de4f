// The dry run: the demo installed on Windows of both families, answers to
// the boxes, a file in use, and the JSON form.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "os/fake/FakeControl.h"
#include "tools/setupcheck/DryRun.h"
#include "tools/setupcheck/HostFolder.h"

namespace {

DryRun DemoOn(const std::string& version, const std::vector<BoxAnswer>& answers = {}) {
  PrepareWindows(version);
  EXPECT_TRUE(MirrorHostFolder(std::string(QV_SOURCE_DIR) + "/examples/demo", "C:\\SETUP"));
  os::fake::AddFile("C:\\SETUP\\uninst.exe", "MZ");  // copied in from dist/ by the demo command
  return RunDry(version, answers);
}

std::vector<std::string> Paths(const DryRun& run) {
  std::vector<std::string> paths;
  for (const auto& f : run.files) paths.push_back(f.path);
  return paths;
}

TEST(DryRun, TheDemoLandsInEachWindowsOwnFolders) {
  struct Case {
    const char* version;
    const char* programs;
    const char* log;
  } cases[] = {
      {"WIN_98", "C:\\WINDOWS\\Start Menu\\Programs\\Quillpad\\",
       "C:\\WINDOWS\\temp\\qvsetup_Quillpad1.4.txt"},
      {"WIN_NT", "C:\\WINNT\\Profiles\\Administrator\\Start Menu\\Programs\\Quillpad\\",
       "C:\\WINNT\\temp\\qvsetup_Quillpad1.4.txt"},
      {"WIN_XP", "C:\\Documents and Settings\\Administrator\\Start Menu\\Programs\\Quillpad\\",
       "C:\\WINDOWS\\temp\\qvsetup_Quillpad1.4.txt"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.version);
    const DryRun run = DemoOn(c.version);
    const std::vector<std::string> paths = Paths(run);
    EXPECT_EQ(paths.size(), 11u);  // six files, the uninstaller, the uninstall data, two shortcuts, the log
    EXPECT_NE(std::find(paths.begin(), paths.end(), "C:\\Program Files\\Quillpad\\quillpad.ini"),
              paths.end());
    ASSERT_EQ(run.shortcuts.size(), 2u);
    EXPECT_EQ(run.shortcuts[0].file, std::string(c.programs) + "Letter template.lnk");
    EXPECT_EQ(run.shortcuts[0].target, "C:\\Program Files\\Quillpad\\letter.qpt");
    EXPECT_EQ(run.logFile, c.log);
    EXPECT_NE(run.log.find("Copy: C:\\Program Files\\Quillpad\\memo.qpt"), std::string::npos);
    EXPECT_EQ(run.uninstallDataFile, "C:\\Program Files\\Quillpad\\unin.ini");
    bool number = false;
    for (const auto& v : run.values)
      number |= v.key == "HKEY_CURRENT_USER\\Software\\Quillpad\\1.4" && v.name == "FirstRun" &&
                v.type == "REG_DWORD" && v.data == "1";
    EXPECT_TRUE(number);
    ASSERT_EQ(run.boxes.size(), 1u);
    EXPECT_EQ(run.boxes[0].answer, "Yes");
    EXPECT_EQ(run.started, (std::vector<std::string>{"C:\\Program Files\\Quillpad\\readme.txt"}));
    EXPECT_FALSE(run.wizardWaited);
    EXPECT_EQ(run.exitCode, 0);
  }
}

TEST(DryRun, AnswersOutsideTheRangeAndAFileInUse) {
  // No to the question: nothing is started.
  DryRun run = DemoOn("WIN_XP", {*ParseBoxAnswer("would you like to run=no")});
  ASSERT_EQ(run.boxes.size(), 1u);
  EXPECT_EQ(run.boxes[0].answer, "No");
  EXPECT_TRUE(run.started.empty());
  EXPECT_FALSE(ParseBoxAnswer("text=Maybe"));

  // A Windows the list's :OS range leaves out: the box, and nothing installed.
  PrepareWindows("WIN_98");
  os::fake::AddFile("C:\\SETUP\\setup.ini", "\\A\r\nA\r\nA\r\n:OS\r\nWIN_2K\r\nWIN_XP\r\nNT only.\r\n");
  run = RunDry("WIN_98", {});
  ASSERT_EQ(run.boxes.size(), 1u);
  EXPECT_EQ(run.boxes[0].text, "NT only.");
  EXPECT_TRUE(run.files.empty());

  // A destination in use waits for the next start of Windows, as WININIT.INI says on 9x.
  for (const char* version : {"WIN_98", "WIN_XP"}) {
    SCOPED_TRACE(version);
    PrepareWindows(version);
    os::fake::AddFile("C:\\SETUP\\setup.ini", "\\A\r\nA\r\nA\r\n:WIN\r\nold.dll\r\n:\r\n");
    os::fake::AddFile("C:\\SETUP\\old.dll", "new");
    os::fake::AddFile("C:\\WINDOWS\\old.dll", "old");
    os::fake::SetInUse("C:\\WINDOWS\\old.dll", true);
    run = RunDry(version, {{"reboot", "Cancel"}});
    ASSERT_FALSE(run.pending.empty());
    EXPECT_NE(run.pending.back().find(".MCC"), std::string::npos) << run.pending.back();
    ASSERT_FALSE(run.boxes.empty());
    EXPECT_EQ(run.boxes[0].answer, "Cancel");
  }
}

// Cancel answered Yes: the rollback leaves nothing but the log.
TEST(DryRun, ACancelLeavesNothing) {
  for (const char* version : {"WIN_98", "WIN_XP"}) {
    SCOPED_TRACE(version);
    const DryRun run = DemoOn(version, {*ParseBoxAnswer("Cancel Setup?=Yes")});
    ASSERT_EQ(run.files.size(), 1u);  // the log
    EXPECT_NE(run.files[0].path.find("qvsetup_Quillpad"), std::string::npos);
    EXPECT_TRUE(run.removedFiles.empty());
    EXPECT_TRUE(run.values.empty());
    EXPECT_TRUE(run.removedValues.empty());
    ASSERT_EQ(run.boxes.size(), 2u);
    EXPECT_EQ(run.boxes[1].text, "Setup did not complete.");
    EXPECT_NE(run.log.find("Removed: C:\\Program Files\\Quillpad"), std::string::npos);
    EXPECT_EQ(run.exitCode, 1602);
  }
}

TEST(DryRun, JsonCarriesTheSameFacts) {
  const std::string json = DryRunJson(DemoOn("WIN_98"));
  for (const char* fact :
       {R"("path": "C:\\Program Files\\Quillpad\\readme.txt", "size": 485)",
        R"("type": "REG_DWORD", "data": "1")", R"("target": "C:\\Program Files\\Quillpad\\readme.txt")",
        R"("exit": 0)", R"("answer": "Yes")"})
    EXPECT_NE(json.find(fact), std::string::npos) << fact;
}

}  // namespace
