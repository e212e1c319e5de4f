// Start-up as a user meets it: the main block, the wizard form's creation,
// the message protocol and the end of the program, on the in-memory Windows.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "app/CopyWindow.h"
#include "app/Setup.h"
#include "engine/SetupState.h"
#include "os/fake/FakeControl.h"
#include "os/fake/FakeUiControl.h"
#include "sys/WindowsVersion.h"
#include "tests/unit/ProgramTestUtil.h"

namespace {

using os::fake::Info;

constexpr char kProgram[] = "C:\\SETUP\\setup.exe";

struct Snapshot {
  bool wizardShown = false;
  std::string caption;
  std::string intro;
  std::string backLabel;
  os::Rect wizard, back;
  std::vector<std::string> buttons;
};

class Startup : public ::testing::Test {
 protected:
  void SetUp() override {
    programtest::FreshProgram();
    seen = Snapshot{};
    os::fake::SetModuleFileName(kProgram);
  }

  void List(const std::string& text) { os::fake::AddFile("C:\\SETUP\\setup.ini", text); }
  void Version(std::uint32_t platform, std::uint32_t major, std::uint32_t minor, std::uint32_t build = 0) {
    os::fake::SetVersion(os::OsVersionInfo{major, minor, build, platform, ""});
    ResetWinVersionCacheForTests();
  }

  // The wizard form and the background window among the top-level windows.
  static os::Hwnd WindowWithCaption(const std::string& caption) {
    for (os::Hwnd h : os::fake::TopLevelWindows())
      if (Info(h) && Info(h)->text == caption) return h;
    return 0;
  }
  static os::Hwnd Wizard() { return programtest::FormOfKind(os::FormKind::Dialog); }
  static os::Hwnd Back() { return programtest::FormOfKind(os::FormKind::Backdrop); }

  // Runs the program; when the wizard waits for the user, the snapshot is
  // taken and then act() plays the user (by default: press Cancel).
  void Run(std::function<void(os::Hwnd)> act = nullptr) {
    int turns = 0;
    os::fake::SetUser([&] {
      if (++turns > 50) return false;
      os::Hwnd wizard = Wizard();
      if (!wizard || !Info(wizard)->visible) return false;
      if (!seen.wizardShown) {
        seen.wizardShown = true;
        seen.caption = Info(wizard)->text;
        seen.wizard = Info(wizard)->rect;
        seen.back = Info(Back())->rect;
        os::Hwnd intro = os::fake::Children(os::fake::Children(wizard)[2])[0];
        seen.intro = Info(intro)->text;
        for (os::Hwnd b : os::fake::Children(os::fake::Children(wizard)[1])) seen.buttons.push_back(Info(b)->text);
        seen.backLabel = Info(os::fake::Children(Back())[0])->text;
      }
      if (act) {
        act(wizard);
      } else {
        os::fake::Click(os::fake::FindControl(wizard, "Cancel"));
      }
      return true;
    });
    result = SetupMain();
  }

  std::vector<std::string> BoxTexts() const {
    std::vector<std::string> texts;
    for (auto& b : os::fake::Boxes()) texts.push_back(b.text);
    return texts;
  }

  Snapshot seen;
  int result = -1;
};

TEST_F(Startup, WizardShowsTitleIntroAndDefaultsThenCancelEndsTheProgram) {
  List("\\Acme\r\nAcme Group\r\nAcme Mail 2.0\r\n:INSTALL\r\nmail.exe\r\n:\r\n");
  Run();
  ASSERT_TRUE(seen.wizardShown);
  EXPECT_EQ(seen.caption, "Acme Mail 2.0");
  EXPECT_EQ(seen.backLabel, "Acme Mail 2.0");
  EXPECT_EQ(seen.intro,
            "This utility will install Acme Mail 2.0.  It is recommended that you close all other windows "
            "programs.  You can switch to other Windows programs by pressing CTRL and TAB.");
  EXPECT_EQ(seen.buttons, (std::vector<std::string>{"Next", "Back", "Cancel"}));
  EXPECT_EQ(Shared().InstallDir, "C:\\Program Files\\Acme");
  EXPECT_EQ(Shared().StartMenu, "Acme Group");
  EXPECT_EQ(Shared().SetupDir, "C:\\SETUP");
  EXPECT_EQ(Shared().SourceDir, "C:\\SETUP");
  EXPECT_TRUE(BoxTexts().empty());
  EXPECT_TRUE(os::fake::QuitPosted());
  EXPECT_EQ(result, exitcode::kCancelled);
  // the wizard is centred on the 1024 x 768 screen, the background covers it
  EXPECT_EQ(seen.wizard.left, 512 - seen.wizard.width / 2);
  EXPECT_EQ(seen.back.left, 0);
  EXPECT_EQ(seen.back.width, 1024);
  EXPECT_EQ(seen.back.height, 768);
}

TEST_F(Startup, TitleRuleFollowsTheWindowsVersion) {
  struct Case {
    std::uint32_t platform, major, minor;
    std::string line, title;
  } cases[] = {
      {2, 4, 0, "|Acme Mail* for NT 4", "Acme Mail for NT 4"},
      {2, 5, 1, "|Acme Mail* for NT 4", "Acme Mail"},
      {1, 4, 10, "|Acme Mail* for NT 4", "Acme Mail"},
      {2, 4, 0, "Acme*Extra", "Acme*Extra"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    SetUp();
    Version(c.platform, c.major, c.minor);
    List("\r\nGroup\r\n" + c.line + "\r\n");
    Run();
    EXPECT_EQ(seen.caption, c.title);
    EXPECT_EQ(Shared().InstallDir, "C:\\Program Files");
  }
}

TEST_F(Startup, MissingListEndsBeforeTheWizardShows) {
  Run();
  EXPECT_FALSE(seen.wizardShown);
  ASSERT_EQ(os::fake::Boxes().size(), 1u);
  EXPECT_EQ(os::fake::Boxes()[0].text, "Could not find installation list");
  EXPECT_EQ(os::fake::Boxes()[0].caption, "Dialog");
  EXPECT_EQ(os::fake::Boxes()[0].type, os::kMbOk | os::kMbIconExclamation);
  EXPECT_TRUE(os::fake::QuitPosted());
}

TEST_F(Startup, OsRangeRefusesOutsideAndPassesInside) {
  const std::string list = "\\A\r\nA\r\nA 1.0\r\n:OS\r\nWIN_98\r\nWIN_XP\r\nNeeds Windows 98 or later.\r\n";
  Version(1, 4, 0, 950);  // Windows 95
  List(list);
  Run();
  EXPECT_FALSE(seen.wizardShown);
  EXPECT_EQ(BoxTexts(), (std::vector<std::string>{"Needs Windows 98 or later."}));

  SetUp();
  Version(2, 5, 2);  // code 9: no keyword names it, above WIN_XP
  List(list);
  Run();
  EXPECT_FALSE(seen.wizardShown);

  SetUp();
  Version(2, 5, 1);  // XP
  List(list);
  Run();
  EXPECT_TRUE(seen.wizardShown);
  EXPECT_TRUE(BoxTexts().empty());
}

TEST_F(Startup, MessageIsShownBeforeTheWizard) {
  List("\\A\r\nA\r\nA 1.0\r\n:MESSAGE\r\nPlease close your mail first.\r\n");
  Run();
  EXPECT_TRUE(seen.wizardShown);
  ASSERT_EQ(os::fake::Boxes().size(), 1u);
  EXPECT_EQ(os::fake::Boxes()[0].text, "Please close your mail first.");
  EXPECT_EQ(os::fake::Boxes()[0].type, os::kMbOk | os::kMbIconInformation);
  EXPECT_EQ(os::fake::Boxes()[0].owner, 0u);
}

TEST_F(Startup, AdministratorsOnlyOnTheNtFamily) {
  os::fake::SetProcessToken(os::fake::TokenState::Present, {});  // not an administrator
  List("\\A\r\nA\r\nA 1.0\r\n");
  Run();
  EXPECT_FALSE(seen.wizardShown);
  EXPECT_EQ(BoxTexts(), (std::vector<std::string>{"You must be a Windows Administrator to install this program."}));
  EXPECT_TRUE(os::fake::TopLevelWindows().empty());  // no form was created

  SetUp();
  Version(1, 4, 10);  // Windows 98: everyone may install, :ADMIN or not
  os::fake::SetProcessToken(os::fake::TokenState::Present, {});
  List("\\A\r\nA\r\nA 1.0\r\n:ADMIN\r\n");
  Run();
  EXPECT_TRUE(seen.wizardShown);
}

TEST_F(Startup, MalformedListIsReportedByItsSection) {
  List("\\A\r\nA\r\nA 1.0\r\n:OS\r\nWIN_98\r\n");
  Run();
  EXPECT_FALSE(seen.wizardShown);
  ASSERT_EQ(os::fake::Boxes().size(), 1u);
  EXPECT_NE(os::fake::Boxes()[0].text.find(":OS"), std::string::npos) << os::fake::Boxes()[0].text;

  SetUp();
  List("\\A\r\nA\r\n");  // a head of two lines
  Run();
  EXPECT_FALSE(seen.wizardShown);
  EXPECT_EQ(os::fake::Boxes().size(), 1u);
}

TEST_F(Startup, AutomaticModePutsEverythingOffTheScreen) {
  os::fake::AddFile("C:\\SETUP\\autoin.dat", "");
  List("\\A\r\nA\r\nA 1.0\r\n");
  // The wizard walks itself through the install run; its closing message
  // finds both windows off the screen.
  os::fake::SetBoxObserver([&](const os::fake::ShownBox& box) {
    if (box.text != "Installation is complete") return;
    seen.wizardShown = true;
    seen.wizard = Info(Wizard())->rect;
    seen.back = Info(Back())->rect;
  });
  Run();
  ASSERT_TRUE(seen.wizardShown);
  EXPECT_EQ(seen.wizard.left, 1025);
  EXPECT_EQ(seen.wizard.top, 769);
  EXPECT_EQ(seen.back.left, 1025);
  EXPECT_EQ(seen.back.top, 769);
}

TEST_F(Startup, CopyrightNoticeAndLogoComeFromTheSetupFolder) {
  List("\\A\r\nA\r\nA 1.0\r\n");
  os::fake::AddFile("C:\\SETUP\\copyQuill.txt", "Acme Setup\r\nby Acme");
  os::fake::AddFile("C:\\SETUP\\copyWren.txt", "Read this first.");
  std::string bmp(54, '\0');
  bmp[0] = 'B', bmp[1] = 'M', bmp[18] = 40, bmp[22] = 30;
  os::fake::AddFile("C:\\SETUP\\logo.bmp", bmp);
  std::string credit, notice;
  os::Rect logo;
  Run([&](os::Hwnd wizard) {
    os::Hwnd images = os::fake::Children(wizard)[0];
    logo = Info(os::fake::Children(images)[0])->rect;
    credit = Info(os::fake::Children(images)[1])->text;
    notice = Info(os::fake::Children(os::fake::Children(wizard)[2])[1])->text;
    os::CloseWindow(wizard);
  });
  EXPECT_EQ(credit, "Acme Setup\r\nby Acme");
  EXPECT_EQ(notice, "Read this first.");
  EXPECT_EQ(logo.width, 40);
  EXPECT_EQ(logo.height, 30);
}

}  // namespace

namespace {

TEST_F(Startup, CopyWindowIsCentredHiddenAndItsCancelOnlySetsTheFlag) {
  List("\\A\r\nA\r\nA 1.0\r\n");
  os::fake::SetScreen(1023, 767);
  os::Rect copy;
  bool visible = true;
  std::string label, caption;
  Run([&](os::Hwnd wizard) {
    for (os::Hwnd h : os::fake::TopLevelWindows())
      if (Info(h) && Info(h)->formKind == os::FormKind::Tool) {
        copy = Info(h)->rect;
        visible = Info(h)->visible;
        caption = Info(h)->text;
        label = Info(os::fake::Children(h)[0])->text;
        os::fake::Click(os::fake::FindControl(h, "Cancel"));
      }
    os::CloseWindow(wizard);
  });
  EXPECT_EQ(caption, "Copying");
  EXPECT_EQ(label, "Copying file: ");
  EXPECT_FALSE(visible);
  EXPECT_EQ(copy.width, 424);
  EXPECT_EQ(copy.height, 85);
  EXPECT_EQ(copy.top, 383 - 42);   // Trunc(767 / 2) - Trunc(85 / 2)
  EXPECT_EQ(copy.left, 511 - 212);
  EXPECT_TRUE(Shared().CancelPressed);
}

}  // namespace

namespace {

TEST(CopyWindow, FastUpdatesAreGatheredAndTheLastOneIsAlwaysShown) {
  os::fake::Reset();
  TfCopy copy;
  auto shown = [&] {
    return Info(copy.lFileName)->text + " " + std::to_string(Info(copy.progressBar)->progress);
  };
  auto repaints = [&] { return Info(copy.Handle())->repaints; };
  int before = repaints();
  copy.ShowFile("a.txt");
  copy.ShowPercent(10);
  copy.Update();  // the first after a quiet spell: at once
  EXPECT_EQ(shown(), "a.txt 10");
  copy.ShowFile("b.txt");
  copy.ShowPercent(20);
  copy.Update();  // too soon after the last repaint
  EXPECT_EQ(shown(), "a.txt 10");
  os::fake::AdvanceTicks(TfCopy::kRepaintInterval);
  copy.ShowFile("c.txt");
  copy.ShowPercent(30);
  copy.Update();
  EXPECT_EQ(shown(), "c.txt 30");
  EXPECT_EQ(repaints(), before + 2);
  copy.ShowFile("d.txt");
  copy.Update();
  copy.Present();  // the final state, whatever the clock says
  EXPECT_EQ(shown(), "d.txt 30");
  copy.Present();  // nothing new: no repaint
  EXPECT_EQ(repaints(), before + 3);
}

}  // namespace
