// The dry run says what Setup does on a real system of that version:
// accessories where that Windows keeps them, a question that would repeat
// forever, the uninstall data where it is written, the publisher's library,
// and the report's details.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "os/fake/FakeControl.h"
#include "tests/unit/UnzTestZip.h"
#include "tools/setupcheck/DryRun.h"
#include "tools/setupcheck/PeExports.h"
#include "tools/setupcheck/SetupCheck.h"

namespace {

void Put(const std::string& name, const std::string& content) {
  os::fake::AddFile("C:\\SETUP\\" + name, content);
}

std::string Crlf(const std::string& text) {
  std::string out;
  for (char c : text) out += c == '\n' ? std::string("\r\n") : std::string(1, c);
  return out;
}

void Put16(std::string& image, std::size_t at, std::uint32_t value) {
  image[at] = static_cast<char>(value & 0xFF);
  image[at + 1] = static_cast<char>(value >> 8 & 0xFF);
}
void Put32(std::string& image, std::size_t at, std::uint32_t value) {
  Put16(image, at, value & 0xFFFF);
  Put16(image, at + 2, value >> 16);
}

// A 32-bit PE image with one section that holds the export table naming `names`.
std::string PeImage(const std::vector<std::string>& names) {
  std::string image(0x400, '\0');
  image[0] = 'M', image[1] = 'Z';
  Put32(image, 0x3C, 0x40);
  image.replace(0x40, 4, std::string("PE\0\0", 4));
  Put16(image, 0x44, 0x14C);        // i386
  Put16(image, 0x46, 1);            // one section
  Put16(image, 0x54, 0xE0);         // size of the optional header
  Put16(image, 0x58, 0x10B);        // PE32
  Put32(image, 0x58 + 96, 0x1000);  // the export table's address
  Put32(image, 0x58 + 100, 0x200);
  const std::size_t section = 0x58 + 0xE0;
  Put32(image, section + 8, 0x200);
  Put32(image, section + 12, 0x1000);
  Put32(image, section + 16, 0x200);
  Put32(image, section + 20, 0x200);
  Put32(image, 0x200 + 24, static_cast<std::uint32_t>(names.size()));
  Put32(image, 0x200 + 32, 0x1000 + 40);
  std::uint32_t text = 0x1000 + 40 + 4 * static_cast<std::uint32_t>(names.size());
  for (std::size_t i = 0; i < names.size(); ++i) {
    Put32(image, 0x200 + 40 + 4 * i, text);
    image.replace(0x200 + (text - 0x1000), names[i].size(), names[i]);
    text += static_cast<std::uint32_t>(names[i].size()) + 1;
  }
  return image;
}

TEST(DryRunFidelity, ShortcutsToAccessoriesFindThemWhereEachWindowsKeepsThem) {
  struct Case {
    const char* version;
    std::vector<std::string> targets;  // in the order of the list's shortcuts
  } cases[] = {
      {"WIN_98",
       {"C:\\WINDOWS\\COMMAND.COM", "C:\\WINDOWS\\COMMAND.COM", "C:\\Program Files\\Accessories\\WORDPAD.EXE",
        "C:\\Program Files\\Accessories\\MSPAINT.EXE", "C:\\WINDOWS\\MPLAYER.EXE", "C:\\WINDOWS\\CALC.EXE"}},
      {"WIN_NT",
       {"C:\\WINNT\\system32\\CMD.EXE", "C:\\WINNT\\system32\\CMD.EXE",
        "C:\\Program Files\\Windows NT\\Accessories\\WORDPAD.EXE", "C:\\WINNT\\system32\\MSPAINT.EXE",
        "C:\\WINNT\\system32\\MPLAY32.EXE", "C:\\WINNT\\system32\\CALC.EXE"}},
      {"WIN_XP",
       {"C:\\WINDOWS\\system32\\CMD.EXE", "C:\\WINDOWS\\system32\\CMD.EXE",
        "C:\\Program Files\\Windows NT\\Accessories\\WORDPAD.EXE", "C:\\WINDOWS\\system32\\MSPAINT.EXE",
        "C:\\WINDOWS\\system32\\MPLAY32.EXE", "C:\\WINDOWS\\system32\\CALC.EXE"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.version);
    PrepareWindows(c.version);
    Put("setup.ini", Crlf("\\A\nA\nA\n:SHORTCUTS\nPrompt\ncmd.exe\nDOS\ncommand.com\nWordPad\nwordpad.exe\n"
                          "Paint\nmspaint.exe\nMedia\nmplayer.exe\nCalculator\ncalc.exe\n:\n"));
    const DryRun run = RunDry(c.version, {});
    std::vector<std::string> targets;
    for (const auto& s : run.shortcuts) targets.push_back(s.target);
    std::sort(targets.begin(), targets.end());
    std::vector<std::string> expected = c.targets;
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(targets, expected);
  }
}

TEST(DryRunFidelity, AQuestionThatWouldComeBackForeverEndsTheRun) {
  PrepareWindows("WIN_98");
  const std::string zip = unztest::BuildZip({{"setup.ini", Crlf("\\P\nP\nP\n")}});
  Put("setup.lst", Crlf(":PACKAGE\np.p01\np.p02\n:\n"));
  Put("UNZDLL.DLL", "MZ");
  Put("p.p01", zip.substr(zip.size() / 2));
  const DryRun run = RunDry("WIN_98", {});
  ASSERT_GE(run.boxes.size(), 3u);
  EXPECT_EQ(run.boxes[0].text, "Please insert setup disk number 2");
  EXPECT_EQ(run.boxes[2].answer, "Cancel");
  EXPECT_NE(run.loop.find("3 times, answered OK"), std::string::npos) << run.loop;
  EXPECT_NE(DryRunText(run).find("Setup would ask forever"), std::string::npos);
  EXPECT_TRUE(run.files.empty());

  // A question asked again after something changed is no loop.
  PrepareWindows("WIN_98");
  Put("setup.ini", Crlf("\\A\nA\nA\n:INSTALL\na.txt\n:\n"));
  Put("a.txt", "a");
  EXPECT_TRUE(RunDry("WIN_98", {}).loop.empty());
}

TEST(DryRunFidelity, TheUninstallDataIsWhereTheRunWritesIt) {
  for (const char* line : {"R", "demo.dat", "r"}) {
    SCOPED_TRACE(line);
    PrepareWindows("WIN_XP");
    Put("setup.ini",
        Crlf(std::string("\\A\nA\nA\n:INSTALL\na.txt\n:\n:UNINSTALL\nA\nA\nun.exe\n") + line + "\n"));
    Put("a.txt", "a");
    const DryRun run = RunDry("WIN_XP", {});
    EXPECT_EQ(run.uninstallDataFile, "C:\\Program Files\\A\\unin.ini");
    EXPECT_NE(run.uninstallData.find("C:\\Program Files\\A\\a.txt"), std::string::npos) << run.uninstallData;
  }
}

TEST(DryRunFidelity, ThePublishersLibraryIsCalledAsWindowsWouldLoadIt) {
  struct Case {
    const char* what;
    std::string library;
    const char* lastLine;
    bool note;  // and no warning of the checker
  } cases[] = {
      {"exports DoSetup", PeImage({"Other", "DoSetup"}), "DoSetup returned: 0", true},
      {"without DoSetup", PeImage({"Other"}), "loading DoSetup failed", false},
      {"not an image", "MZ", "loading _setup.dll failed", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    PrepareWindows("WIN_XP");
    Put("setup.ini", Crlf("\\A\nA\nA\n:INSTALL\n_setup.dll\n:\n"));
    Put("_setup.dll", c.library);
    const std::vector<Finding> findings = CheckSetupFolder("C:\\SETUP");
    ASSERT_EQ(findings.size(), c.note ? 0u : 1u);
    if (!c.note) {
      EXPECT_NE(findings[0].message.find(std::string(c.lastLine).substr(0, 12)), std::string::npos);
    }
    const DryRun run = RunDry("WIN_XP", {});
    EXPECT_NE(run.log.find(std::string(c.lastLine) + "\r\n"), std::string::npos) << run.log;
    EXPECT_EQ(!run.notes.empty(), c.note);
    if (c.note) {
      EXPECT_NE(DryRunText(run).find("would call DoSetup of _setup.dll"), std::string::npos);
    }
  }
  EXPECT_FALSE(PeExportNames(PeImage({"DoSetup"}).substr(0, 0x220)));  // the table cut off
}

TEST(DryRunFidelity, ACraftedLibraryCannotMakeTheCheckerReadPastIt) {
  // Counts and offsets whose products or sums pass 4 GB: with 32-bit
  // arithmetic (the Windows build) they wrap to small numbers that fit.
  struct Case {
    const char* what;
    std::vector<std::pair<std::size_t, std::uint32_t>> edits;  // offset in the image, new value
  } cases[] = {
      {"name count times four wraps to 4", {{0x200 + 24, 0x40000001}}},
      {"name count times four wraps to 0", {{0x200 + 24, 0x40000000}}},
      {"the export table's file offset wraps past 4 GB to 0x80",
       {{0x58 + 0xE0 + 20, 0xFFFFFF00}, {0x58 + 96, 0x1180}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string image = PeImage({"DoSetup"});
    for (const auto& [at, value] : c.edits) Put32(image, at, value);
    EXPECT_FALSE(PeExportNames(image));
  }
  // A hundred names that are all the same long one: they would take six times
  // the file (a 2 MB library took gigabytes this way).
  std::string image = PeImage({"DoSetup"});
  Put32(image, 0x200 + 24, 100);
  image.replace(0x3C0, 60, std::string(60, 'x'));
  for (std::size_t i = 0; i < 100; ++i) Put32(image, 0x200 + 40 + 4 * i, 0x11C0);
  EXPECT_FALSE(PeExportNames(image));
}

TEST(DryRunFidelity, TheReportShowsParametersOddLinkNamesAndIcons) {
  PrepareWindows("WIN_98");
  Put("setup.ini", Crlf("\\A\nA\nA\n:INSTALL\n_setup.exe\na.txt\n:\n:SHORTCUTS\nNotes.lnk.txt\na.txt\n:\n"));
  Put("_setup.exe", "MZ");
  Put("a.txt", "a");
  const DryRun run = RunDry("WIN_98", {});
  EXPECT_EQ(run.started, (std::vector<std::string>{"C:\\Program Files\\A\\_setup.exe \"C:\\SETUP\""}));
  ASSERT_EQ(run.shortcuts.size(), 1u);
  EXPECT_EQ(run.shortcuts[0].file, "C:\\WINDOWS\\Start Menu\\Programs\\A\\Notes.lnk.txt");
  ASSERT_EQ(run.boxes.size(), 1u);
  EXPECT_EQ(run.boxes[0].icon, "information");
  EXPECT_NE(DryRunText(run).find("\"Installation is complete\" [OK, information] -> OK"), std::string::npos);
  EXPECT_NE(DryRunJson(run).find(R"("answer": "OK", "icon": "information")"), std::string::npos);
}

}  // namespace
