// The wizard's pages: what happens when it is shown, what Next and Back do
// on each page (the flow itself is WizardFlow), the destination's checks and
// the Start Menu folder choice.
#include "app/CopyWindow.h"
#include "app/SetupMessages.h"
#include "app/WizardForm.h"
#include "engine/InstallLog.h"
#include "engine/RemovalRules.h"
#include "engine/SetupState.h"
#include "os/OsFiles.h"
#include "sys/Dialogs.h"
#include "sys/Folders.h"
#include "sys/Launch.h"
#include "sys/PathText.h"
#include "sys/SetupError.h"
#include "sys/SetupRegistry.h"
#include "sys/TextBytes.h"

namespace {

const std::vector<std::string> kFreewareLicense = {
    "This program is freeware.", "", "This program is provided as-is, with no warranty,",
    "and therefore is used at your own risk."};

constexpr char kRootMessage[] =
    "You may not install this software to the root of a hard disk.  Please select a valid folder on this "
    "drive to continue.";

}  // namespace

void TfSetup::FormShow() {
  std::string custom;
  if (auto text = ReadLineAfter(lbSetup, Header::kNrMsg)) custom = *text;
  if (AutomaticMode()) return PostSetupMessage(Handle(), WizardShown);
  if (!lbSetup.Has(Header::kNotRunning)) return;
  for (const TNotRunning& entry : ReadNotRunning(lbSetup)) {
    if (!os::FindWindowA(entry.className, entry.windowTitle)) continue;
    WarningBox(!custom.empty() ? custom
                               : "You must exit " + entry.displayName + " before setup may continue. " +
                                     "To exit the program, right click on its icon from " + "in the system tray " +
                                     "and select Exit.");
    os::Rect r = Bounds();
    SetBounds(ScreenWidth() + 1, ScreenHeight() + 1, r.width, r.height);
    Shared().Outcome = RunOutcome::Refused;
    PostSetupMessage(application_, AbortSetup);
    return;
  }
  // No listed program runs: the publisher's pre-install program, from the
  // setup program's own folder, runs to its end first.
  std::string preInstall = ProgramFile(kPreInstallFile);
  if (FileFound(preInstall)) {
    RunProgramAndWait(preInstall, "INSTALL");
    os::SetForegroundWindow(application_);  // a refused request leaves the windows where they are
  }
}

os::Hwnd TfSetup::PagePanel(WizardPage page) const {
  switch (page) {
    case WizardPage::Intro: return pIntro;
    case WizardPage::License: return pLicense;
    case WizardPage::Readme: return pReadme;
    case WizardPage::Paths: return pPaths;
    case WizardPage::Finish: break;
  }
  return pFinish;
}

void TfSetup::ShowPage(WizardPage page) {
  os::ShowWindow(PagePanel(page), true);
  os::ShowWindow(PagePanel(page_), false);
  page_ = page;
  const ButtonCaptions captions = CaptionsOn(page, Shared().AcceptByCheckBox);
  os::SetWindowTextA(bNext, captions.next);
  os::SetWindowTextA(bCancel, captions.cancel);
}

void TfSetup::bNextClick() {
  SetupState& s = Shared();
  switch (page_) {
    case WizardPage::Intro: {
      PostSetupMessage(Handle(), AutoAdvance);
      ShowPage(PageAfter(page_));
      std::string license = s.SetupDir + "\\license.txt";
      os::SetWindowTextA(lbLicense, FileFound(license) ? FileText(license) : JoinLines(kFreewareLicense));
      return;
    }
    case WizardPage::License: {
      if (AutomaticMode()) {
        PostSetupMessage(Handle(), AutoAdvance);
      } else if (s.AcceptByCheckBox && !os::IsChecked(cbLicense)) {
        RemindOfLicense();
        return;
      }
      ShowPage(PageAfter(page_));
      std::string readme = s.SetupDir + "\\readme.txt";
      if (FileFound(readme)) os::SetWindowTextA(lbReadme, FileText(readme));
      return;
    }
    case WizardPage::Readme:
      if (AutomaticMode()) PostSetupMessage(Handle(), AutoAdvance);
      ShowPage(PageAfter(page_));
      os::SetWindowTextA(eDestination, s.InstallDir);
      os::SetWindowTextA(lInstall, "Setup will install " + s.Title + " to the following folder:");
      os::SetWindowTextA(eStartMenu, s.StartMenu);
      FillStartMenuList();
      return;
    case WizardPage::Paths:
      return LeavePaths();
    case WizardPage::Finish:
      return Finish();
  }
}

void TfSetup::RemindOfLicense() {
  if (reminderShown_) return;
  reminderShown_ = true;
  for (os::Hwnd b : {bNext, bBack, bCancel}) os::EnableWindow(b, false);
  OwnedInfoBox(Handle(),
               "Please accept this license agreement by placing a mark in the check box. If you do not "
               "accept this license agreement, please click the Cancel button.");
  for (os::Hwnd b : {bCancel, bNext, bBack}) os::EnableWindow(b, true);
  reminderShown_ = false;
}

void TfSetup::LeavePaths() {
  SetupState& s = Shared();
  std::string destination = os::GetWindowTextA(eDestination);
  if (IsDriveRoot(destination)) return OwnedInfoBox(Handle(), kRootMessage);
  if (!s.DefPath.empty() && FindTextIgnoringCase(destination, s.DefPath) == std::string::npos) {
    destination = AddBackslash(destination) + s.DefPath;
    os::SetWindowTextA(eDestination, destination);
  }
  // A folder that cannot be made (a name Windows refuses, a path through a file) would leave
  // every file uncopied; the test leaves nothing behind.
  if (!FolderCanBeCreated(destination))
    return OwnedInfoBox(Handle(), "The folder " + destination +
                                      " cannot be created.  Please select a valid folder to continue.");
  // A folder the uninstaller would refuse to remove from is refused here already.
  const std::string problem = InstallFolderProblem(destination, MachineFolders());
  if (!problem.empty())
    return OwnedInfoBox(Handle(), "You may not install this software to " + destination + ", which " + problem +
                                      ".  Please select a valid folder to continue.");
  // Automatic mode goes on only from a destination that was taken: a refused one would be
  // refused again and again.
  if (AutomaticMode()) PostSetupMessage(Handle(), AutoAdvance);
  s.StartMenu = os::GetWindowTextA(eStartMenu);
  s.InstallDir = destination;
  ShowPage(PageAfter(page_));
  os::SetWindowTextA(lProgramName, s.Title);
  os::SetWindowTextA(lProgFiles, s.InstallDir);
  os::SetWindowTextA(lStartMenu, s.StartMenu);
}

void TfSetup::Finish() {
  for (os::Hwnd b : {bBack, bCancel, bNext}) os::EnableWindow(b, false);
  try {
    RunInstallation(lbSetup, *this);
  } catch (const SetupError& e) {
    // The run stops at a malformed list, a refused registry value or an
    // uninstall data file that cannot be written: say so before closing.
    Shared().Outcome = RunOutcome::Failed;
    LogLine(std::string("Setup stopped: ") + e.what());
    WarningBox(e.what());
  }
  os::EnableWindow(bCancel, true);
  Close();
}

void TfSetup::ShowCopyWindow(bool belowWizard) {
  if (!copy_) return;
  if (belowWizard) {
    os::Rect wizard = Bounds(), copy = copy_->Bounds();
    copy_->SetBounds(copy.left, wizard.top + wizard.height, copy.width, copy.height);
  }
  copy_->Show();
}

void TfSetup::ShowStep(const std::string& fileName) {
  if (copy_) copy_->ShowFile(fileName);
}

void TfSetup::ShowProgress(int percent) {
  if (!copy_) return;
  copy_->ShowPercent(percent);
  copy_->Update();
}

void TfSetup::PresentProgress() {
  if (copy_) copy_->Present();
}

void TfSetup::CloseCopyWindow() {
  if (!copy_) return;
  copy_->Present();
  copy_->Close();
}

void TfSetup::bBackClick() {
  if (page_ != WizardPage::Intro) ShowPage(PageBefore(page_));
}

void TfSetup::lbStartMenuClick() {
  int selected = os::ListBoxSelection(lbStartMenu);
  if (selected >= 0) os::SetWindowTextA(eStartMenu, os::ListBoxItem(lbStartMenu, selected));
}

void TfSetup::bBrowseClick() {
  std::string folder = os::BrowseForFolder(Handle(), "Select a folder to install this software");
  if (folder.empty()) return;
  eDestinationAfterDialog(folder);
  os::SetWindowTextA(eDestination, folder);
}

void TfSetup::eDestinationAfterDialog(std::string& name) {
  const std::string& defPath = Shared().DefPath;
  if (name.size() <= 3) {
    if (defPath.empty()) {
      OwnedInfoBox(Handle(), kRootMessage);  // the edit still shows it; Next refuses it
    } else {
      if (name.size() == 1) name += ":\\";
      name = AddBackslash(name) + defPath;
    }
  }
  if (!defPath.empty() && FindTextIgnoringCase(name, defPath) == std::string::npos)
    name = AddBackslash(name) + defPath;
}

void TfSetup::FillStartMenuList() {
  std::string programs = ProgramsFolder();
  if (programs.empty() || !FolderExists(programs)) return;
  os::ListBoxClear(lbStartMenu);
  os::FindData found;
  os::UniqueFind find(os::FindFirstFileA(AddBackslash(programs) + "*.*", found));
  if (!find) return;
  do {
    bool folder = found.attributes & os::kAttrDirectory;
    bool hiddenOrSystem = found.attributes & (os::kAttrHidden | os::kAttrSystem);
    if (folder && !hiddenOrSystem && found.name != "." && found.name != "..")
      os::ListBoxAdd(lbStartMenu, found.name);
  } while (os::FindNextFileA(find.get(), found));
}
