// The wizard's pages as a user walks them: captions, texts, the licence
// reminder, the destination checks, the Start Menu list, the running-program
// test and automatic mode, on the in-memory Windows.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "app/Setup.h"
#include "app/WizardFlow.h"
#include "engine/SetupState.h"
#include "os/OsFiles.h"
#include "os/OsRegistry.h"
#include "os/fake/FakeControl.h"
#include "os/fake/FakeRegistryControl.h"
#include "os/fake/FakeShellControl.h"
#include "os/fake/FakeUiControl.h"
#include "sys/WindowsVersion.h"
#include "tests/unit/ProgramTestUtil.h"

namespace {

using os::fake::Info;
using Step = std::function<void(os::Hwnd wizard)>;

constexpr char kHead[] = "\\Acme\r\nAcme\r\nAcme Mail\r\n";

class WizardPages : public ::testing::Test {
 protected:
  void SetUp() override {
    programtest::FreshProgram();
  }

  // Plays the steps one by one whenever the wizard waits for the user; the
  // program ends when the steps run out (the wizard is closed then).
  int Play(const std::string& list, std::vector<Step> steps) {
    os::fake::AddFile("C:\\SETUP\\setup.ini", list);
    size_t next = 0;
    os::fake::SetUser([&] {
      os::Hwnd wizard = Wizard();
      if (!wizard || !Info(wizard)->visible) return false;
      if (next < steps.size()) {
        steps[next++](wizard);
      } else {
        os::CloseWindow(wizard);
      }
      return true;
    });
    return SetupMain();
  }

  static os::Hwnd Wizard() { return programtest::FormOfKind(os::FormKind::Dialog); }
  static os::Hwnd Control(os::Hwnd wizard, const std::string& text) { return os::fake::FindControl(wizard, text); }
  static os::Hwnd Page(os::Hwnd wizard, int index) { return os::fake::Children(wizard)[2 + index]; }
  static os::Hwnd PageControl(os::Hwnd wizard, int page, int index) {
    return os::fake::Children(Page(wizard, page))[index];
  }
  static std::string Text(os::Hwnd h) { return Info(h)->text; }
  // The visible page: 0 intro, 1 licence, 2 readme, 3 paths, 4 summary.
  static int VisiblePage(os::Hwnd wizard) {
    for (int i = 0; i < 5; ++i)
      if (Info(Page(wizard, i))->visible) return i;
    return -1;
  }
  static std::vector<std::string> Buttons(os::Hwnd wizard) {
    std::vector<std::string> texts;
    for (os::Hwnd b : os::fake::Children(os::fake::Children(wizard)[1])) texts.push_back(Info(b)->text);
    return texts;  // tab order: Next, Back, Cancel
  }
  static void Press(os::Hwnd wizard, int index) { os::fake::Click(os::fake::Children(os::fake::Children(wizard)[1])[index]); }
  static void Next(os::Hwnd w) { Press(w, 0); }
  static void Back(os::Hwnd w) { Press(w, 1); }
};

TEST_F(WizardPages, WalkingForwardAndBackSetsPagesCaptionsAndTexts) {
  os::fake::AddFile("C:\\SETUP\\license.txt", "Terms\r\nMore terms");
  os::fake::AddFile("C:\\SETUP\\readme.txt", "Read me");
  std::vector<std::string> seen;
  Play(kHead, {
      [](os::Hwnd w) { Next(w); },
      [&](os::Hwnd w) {
        EXPECT_EQ(VisiblePage(w), 1);
        EXPECT_EQ(Text(PageControl(w, 1, 1)), "Terms\r\nMore terms");
        EXPECT_TRUE(Info(PageControl(w, 1, 2))->visible);
        EXPECT_EQ(Info(PageControl(w, 1, 2))->hint, "Please click here to accept this license agreement.");
        EXPECT_EQ(Info(Control(w, "..."))->hint, "Click to select an install folder");
        Next(w);  // not ticked: the reminder, and the page stays
      },
      [&](os::Hwnd w) {
        EXPECT_EQ(VisiblePage(w), 1);
        ASSERT_EQ(os::fake::Boxes().size(), 1u);
        EXPECT_EQ(os::fake::Boxes()[0].owner, w);
        EXPECT_EQ(os::fake::Boxes()[0].text,
                  "Please accept this license agreement by placing a mark in the check box. If you do not accept "
                  "this license agreement, please click the Cancel button.");
        EXPECT_TRUE(Info(Control(w, "Next"))->enabled);  // enabled again after the reminder
        os::fake::Click(PageControl(w, 1, 2));
        Next(w);
      },
      [&](os::Hwnd w) {
        EXPECT_EQ(VisiblePage(w), 2);
        EXPECT_EQ(Text(PageControl(w, 2, 1)), "Read me");
        Next(w);
      },
      [&](os::Hwnd w) {
        EXPECT_EQ(VisiblePage(w), 3);
        EXPECT_EQ(Text(PageControl(w, 3, 0)), "Setup will install Acme Mail to the following folder:");
        EXPECT_EQ(Text(PageControl(w, 3, 1)), "C:\\Program Files\\Acme");
        EXPECT_EQ(Text(PageControl(w, 3, 5)), "Acme");
        os::SetWindowTextA(PageControl(w, 3, 5), "Acme Tools");
        Next(w);
      },
      [&](os::Hwnd w) {
        EXPECT_EQ(VisiblePage(w), 4);
        EXPECT_EQ(Buttons(w), (std::vector<std::string>{"Finish", "Back", "Cancel"}));
        EXPECT_EQ(Text(PageControl(w, 4, 1)), "Acme Mail");
        EXPECT_EQ(Text(PageControl(w, 4, 3)), "C:\\Program Files\\Acme");
        EXPECT_EQ(Text(PageControl(w, 4, 5)), "Acme Tools");
        EXPECT_EQ(Shared().StartMenu, "Acme Tools");
        Back(w);
      },
      [&](os::Hwnd w) {
        EXPECT_EQ(VisiblePage(w), 3);
        EXPECT_EQ(Buttons(w)[0], "Next");
        Back(w);
        Back(w);
        EXPECT_EQ(VisiblePage(w), 1);
        EXPECT_TRUE(os::IsChecked(PageControl(w, 1, 2)));  // stays ticked
        Back(w);
        Back(w);  // on the intro page Back does nothing
        EXPECT_EQ(VisiblePage(w), 0);
      },
  });
}

TEST_F(WizardPages, LicenceByButtonsReadsYesAndNo) {
  bool ended = false;
  Play(std::string(kHead) + ":NEXTLICENSE\r\n", {
      [](os::Hwnd w) { Next(w); },
      [&](os::Hwnd w) {
        EXPECT_EQ(Buttons(w), (std::vector<std::string>{"Yes", "Back", "No"}));
        EXPECT_FALSE(Info(PageControl(w, 1, 2))->visible);  // no check box
        EXPECT_EQ(Text(PageControl(w, 1, 1)),
                  "This program is freeware.\r\n\r\nThis program is provided as-is, with no warranty,\r\n"
                  "and therefore is used at your own risk.");
        Next(w);  // "Yes" accepts
      },
      [&](os::Hwnd w) {
        EXPECT_EQ(VisiblePage(w), 2);
        EXPECT_EQ(Buttons(w), (std::vector<std::string>{"Next", "Back", "Cancel"}));
        Back(w);
        EXPECT_EQ(Buttons(w), (std::vector<std::string>{"Yes", "Back", "No"}));
        Press(w, 2);  // "No" ends the wizard
        ended = !Info(w)->visible;
      },
  });
  EXPECT_TRUE(ended);
  EXPECT_TRUE(os::fake::Boxes().empty());
}

TEST_F(WizardPages, DestinationChecks) {
  const std::string root =
      "You may not install this software to the root of a hard disk.  Please select a valid folder on this "
      "drive to continue.";
  const auto cannot = [](const std::string& folder) {
    return "The folder " + folder + " cannot be created.  Please select a valid folder to continue.";
  };
  const auto refused = [](const std::string& folder, const std::string& why) {
    return "You may not install this software to " + folder + ", which " + why +
           ".  Please select a valid folder to continue.";
  };
  struct Case {
    std::string defPath, typed;
    std::string box;  // empty when the destination is taken
    std::string destination;
  } cases[] = {
      {"", "C:\\", root, ""},
      {"", "D:", root, ""},
      // A root however it is spelt: the uninstaller would refuse to remove from it.
      {"", "C:\\.", root, ""},
      {"Acme", "C:\\Windows\\..", root, ""},
      {"", "C:\\A", "", "C:\\A"},
      {"Acme", "C:\\Program Files", "", "C:\\Program Files\\Acme"},
      {"Acme", "d:\\tools\\acme\\bin", "", "d:\\tools\\acme\\bin"},
      {"Acme", "D:\\Apps\\", "", "D:\\Apps\\Acme"},
      // Folders that cannot be made: a name Windows refuses, a path through a file, a missing drive.
      {"", "C:\\Qvs<Bad>|Name", cannot("C:\\Qvs<Bad>|Name"), ""},
      {"", "C:\\SETUP\\setup.exe\\Sub", cannot("C:\\SETUP\\setup.exe\\Sub"), ""},
      {"", "Q:\\Apps", cannot("Q:\\Apps"), ""},
      // Folders the uninstaller would not remove from.
      {"", "C:\\Program Files", refused("C:\\Program Files", "is the Program Files folder"), ""},
      {"", "c:\\windows\\", refused("c:\\windows\\", "is the Windows folder"), ""},
      {"Acme", "C:\\WINDOWS\\SYSTEM32", refused("C:\\WINDOWS\\SYSTEM32\\Acme", "lies inside the System folder"), ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed);
    SetUp();
    os::fake::AddDrive('D');
    os::fake::AddFile("C:\\SETUP\\setup.exe", "");
    std::string list = std::string(kHead) + ":NEXTLICENSE\r\n" + (c.defPath.empty() ? "" : ":DEFPATH\r\n" + c.defPath + "\r\n");
    int page = -1;
    Play(list, {
        [](os::Hwnd w) { Next(w); },
        [](os::Hwnd w) { Next(w); },
        [](os::Hwnd w) { Next(w); },
        [&](os::Hwnd w) {
          os::SetWindowTextA(PageControl(w, 3, 1), c.typed);
          Next(w);
          page = VisiblePage(w);
        },
    });
    EXPECT_EQ(page, c.box.empty() ? 4 : 3);
    if (c.box.empty()) {
      EXPECT_EQ(Shared().InstallDir, c.destination);
      EXPECT_FALSE(os::fake::Exists(c.destination));  // the test made it and took it away again
      EXPECT_TRUE(os::fake::Boxes().empty());
    } else {
      ASSERT_EQ(os::fake::Boxes().size(), 1u);
      EXPECT_EQ(os::fake::Boxes()[0].text, c.box);
      EXPECT_EQ(Shared().InstallDir, "C:\\Program Files\\Acme");
    }
  }
}

// The flow alone, without a window: where Next and Back lead, and what the buttons read.
TEST(WizardFlow, PagesAndCaptions) {
  using P = WizardPage;
  struct Row {
    P page;
    P after, before;
    std::string byButtons, byCheckBox;  // "next/cancel" in either way of accepting the licence
  } rows[] = {
      {P::Intro, P::License, P::Intro, "Next/Cancel", "Next/Cancel"},
      {P::License, P::Readme, P::Intro, "Yes/No", "Next/Cancel"},
      {P::Readme, P::Paths, P::License, "Next/Cancel", "Next/Cancel"},
      {P::Paths, P::Finish, P::Readme, "Next/Cancel", "Next/Cancel"},
      {P::Finish, P::Finish, P::Paths, "Finish/Cancel", "Finish/Cancel"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(static_cast<int>(r.page));
    EXPECT_EQ(PageAfter(r.page), r.after);
    EXPECT_EQ(PageBefore(r.page), r.before);
    for (bool checkBox : {false, true}) {
      const ButtonCaptions c = CaptionsOn(r.page, checkBox);
      EXPECT_EQ(std::string(c.next) + "/" + c.cancel, checkBox ? r.byCheckBox : r.byButtons);
    }
  }
}

TEST_F(WizardPages, StartMenuListShowsVisibleSubFoldersOfPrograms) {
  const std::string programs = "C:\\Documents and Settings\\u\\Start Menu\\Programs";
  os::fake::SetRegString(os::kHkeyCurrentUser, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                         "Programs", programs);
  os::fake::AddFolder(programs + "\\Games");
  os::fake::AddFile(programs + "\\Shortcut.lnk", "");
  os::fake::AddFolder(programs + "\\Hidden");
  os::SetFileAttributesA(programs + "\\Hidden", os::kAttrHidden);
  os::fake::AddFolder(programs + "\\Accessories");
  std::string picked;
  Play(std::string(kHead) + ":NEXTLICENSE\r\n", {
      [](os::Hwnd w) { Next(w); },
      [](os::Hwnd w) { Next(w); },
      [](os::Hwnd w) { Next(w); },
      [&](os::Hwnd w) {
        os::Hwnd list = PageControl(w, 3, 7);
        EXPECT_EQ(Info(list)->items, (std::vector<std::string>{"Games", "Accessories"}));
        os::fake::SelectItem(list, 1);
        picked = Text(PageControl(w, 3, 5));
      },
  });
  EXPECT_EQ(picked, "Accessories");
}

TEST_F(WizardPages, RunningProgramEndsSetupWithItsName) {
  os::fake::AddForeignWindow("MailWnd", "Acme Mail");
  const std::string list = std::string(kHead) + ":NOTRUNNING\r\nNoSuch,Window,Other\r\nMailWnd,Acme Mail,Acme Mail, the mailer\r\n:\r\n";
  bool shown = false;
  EXPECT_EQ(Play(list, {[&](os::Hwnd) { shown = true; }}), exitcode::kRefused);
  EXPECT_FALSE(shown);
  ASSERT_EQ(os::fake::Boxes().size(), 1u);
  EXPECT_EQ(os::fake::Boxes()[0].text,
            "You must exit Acme Mail, the mailer before setup may continue. To exit the program, right click on its "
            "icon from in the system tray and select Exit.");
  EXPECT_TRUE(os::fake::QuitPosted());

  SetUp();
  os::fake::AddForeignWindow("MailWnd", "Acme Mail");
  Play(std::string(kHead) + ":NRMSG\r\nClose the mailer.\r\n" + list.substr(std::string(kHead).size()), {});
  ASSERT_EQ(os::fake::Boxes().size(), 1u);
  EXPECT_EQ(os::fake::Boxes()[0].text, "Close the mailer.");
}

TEST_F(WizardPages, AFailureInAHandlerIsToldAndTheProgramEndsTheOrdinaryWay) {
  // The running-program check, as the wizard shows, reads past the list's end.
  EXPECT_EQ(Play(std::string(kHead) + ":NRMSG", {}), exitcode::kFailed);
  ASSERT_EQ(os::fake::Boxes().size(), 1u);
  EXPECT_EQ(os::fake::Boxes()[0].text.rfind("The installation list is malformed: :NRMSG", 0), 0u);
  EXPECT_EQ(os::fake::Boxes()[0].caption, "Dialog");
  EXPECT_EQ(os::fake::Boxes()[0].type, os::kMbOk | os::kMbIconExclamation);
  EXPECT_FALSE(Wizard());  // the forms were taken down

  // The paths page finds the Programs folder value of the wrong type.
  SetUp();
  os::fake::SetRegValue(os::kHkeyCurrentUser,
                        "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", "Programs",
                        os::fake::RegValue{os::kRegDword, std::string("\1\0\0\0", 4)});
  bool pathsShown = false;
  EXPECT_EQ(Play(std::string(kHead) + ":NEXTLICENSE\r\n",
                 {[](os::Hwnd w) { Next(w); }, [](os::Hwnd w) { Next(w); }, [](os::Hwnd w) { Next(w); },
                  [&](os::Hwnd) { pathsShown = true; }}),
            exitcode::kFailed);
  EXPECT_FALSE(pathsShown);
  ASSERT_EQ(os::fake::Boxes().size(), 1u);
  EXPECT_EQ(os::fake::Boxes()[0].caption, "Dialog");
  EXPECT_FALSE(Wizard());
}

TEST_F(WizardPages, PreInstallProgramRunsToItsEndWhenNothingListedRuns) {
  std::vector<std::string> events;
  os::fake::AddProgram("C:\\SETUP\\_IN242.exe");
  Play(std::string(kHead) + ":NOTRUNNING\r\nMailWnd,Acme Mail,Acme Mail\r\n:\r\n",
       {[&](os::Hwnd) { events = os::fake::ProcessEvents(); }});
  ASSERT_EQ(os::fake::Launches().size(), 1u);
  EXPECT_EQ(os::fake::Launches()[0].parameters.value_or("<none>"), "INSTALL");
  ASSERT_GE(events.size(), 3u);
  EXPECT_EQ(events.back().rfind("close", 0), 0u);  // waited for to its end before the user could act

  SetUp();  // without :NOTRUNNING the program is not started
  os::fake::AddProgram("C:\\SETUP\\_IN242.exe");
  Play(kHead, {});
  EXPECT_TRUE(os::fake::Launches().empty());
}

TEST_F(WizardPages, AutomaticModeWalksThroughTheInstallRunByItself) {
  os::fake::AddFile("C:\\SETUP\\autoin.dat", "");
  bool userAsked = false;
  EXPECT_EQ(Play(std::string(kHead) + ":NOTRUNNING\r\nMailWnd,Acme Mail,Acme Mail\r\n:\r\n",
                 {[&](os::Hwnd) { userAsked = true; }}),
            exitcode::kInstalled);
  EXPECT_FALSE(userAsked);
  std::vector<std::string> texts;
  for (auto& b : os::fake::Boxes()) texts.push_back(b.text);
  EXPECT_EQ(texts, (std::vector<std::string>{"Installation is complete"}));  // no licence reminder
  EXPECT_TRUE(os::fake::Launches().empty());
  EXPECT_TRUE(os::fake::QuitPosted());
}

}  // namespace

namespace {

TEST_F(WizardPages, FolderBrowserAppliesTheForcedSubFolder) {
  struct Case {
    std::string defPath, chosen, edit;
    size_t boxes;
  } cases[] = {
      {"Acme", "D:\\Apps", "D:\\Apps\\Acme", 0},
      {"Acme", "D:\\Apps\\Acme", "D:\\Apps\\Acme", 0},
      {"Acme", "d:\\tools\\acme\\bin", "d:\\tools\\acme\\bin", 0},
      {"Acme", "D:\\", "D:\\Acme", 0},
      {"Acme", "D", "D:\\Acme", 0},
      {"", "D:\\", "D:\\", 1},
      {"", "", "C:\\Program Files\\Acme", 0},  // cancelled: the edit keeps its text
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.chosen);
    SetUp();
    std::string list = std::string(kHead) + ":NEXTLICENSE\r\n" + (c.defPath.empty() ? "" : ":DEFPATH\r\n" + c.defPath + "\r\n");
    std::string edit;
    os::fake::AnswerNextFolderBrowser(c.chosen);
    Play(list, {
        [](os::Hwnd w) { Next(w); },
        [](os::Hwnd w) { Next(w); },
        [](os::Hwnd w) { Next(w); },
        [&](os::Hwnd w) {
          os::fake::Click(Control(w, "..."));
          edit = Text(PageControl(w, 3, 1));
        },
    });
    EXPECT_EQ(edit, c.edit);
    EXPECT_EQ(os::fake::Boxes().size(), c.boxes);
    EXPECT_EQ(os::fake::FolderBrowserPrompts(), (std::vector<std::string>{"Select a folder to install this software"}));
  }
}

}  // namespace
