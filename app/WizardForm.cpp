// The wizard form: layout, FormCreate (the whole start-up), the message hook
// AppMessage, and the page handlers.
#include "app/WizardForm.h"

#include "app/BackgroundForm.h"
#include "app/CopyWindow.h"
#include "app/SetupMessages.h"
#include "engine/SetupState.h"
#include "engine/SetupTexts.h"
#include "engine/UninstallTraces.h"
#include "os/OsFiles.h"
#include "os/OsSession.h"
#include "sys/AdminRights.h"
#include "sys/Dialogs.h"
#include "sys/Folders.h"
#include "sys/PathText.h"
#include "sys/Restart.h"
#include "sys/SetupError.h"
#include "sys/WindowsVersion.h"

namespace {

enum ControlId {
  kLogoPicture = 101, kCopyRight, kBack, kNext, kCancel, kIntro, kWarning, kLicenseTitle, kLicense,
  kCheckLicense, kReadmeTitle, kReadme, kInstallLabel, kDestination, kBrowse, kPathsDivider, kStartMenuPrompt,
  kStartMenuEdit, kExistingFolders, kStartMenuList, kProgramHeading, kProgramName, kProgramFilesHeading,
  kProgFiles, kStartMenuHeading, kStartMenuLabel, kFinishDivider, kFinishHint, kPanel,
};

const std::vector<std::string> kBuiltInCredits = {
    "Setup Wizard 2.42", "Installs programs", "from plain lists.", "Free to use and", "to pass on."};

}  // namespace

TfSetup::TfSetup(os::Hwnd application, TfBack& back)
    : archive(application), application_(application), back_(back) {
  // The archive component never shows a box or a dialog of its own here,
  // and gives the engine no window to own one.
  archive.Unattended = true;
  LayOut();
  FormCreate();
}

TfSetup::~TfSetup() {
  FormDestroy();
  os::SetAppMessageHook(nullptr);
}

void TfSetup::FormDestroy() {
  SetupState& s = Shared();
  os::SetCurrentDirectoryA("c:\\");  // a failure changes nothing here
  RemoveTempInstallDir(s.TempInstallDir);
  if (!s.RebootFlag) return;
  // The restart is the very last action: through the product's restart
  // program when it was installed (not waited for), else directly. A restart
  // that Windows refuses was told to the user, and the exit code says that
  // a restart is still needed.
  if (!s.RestartProgram.empty() && FileFound(s.RestartProgram)) {
    if (!os::WinExec(QuotedCommand(s.RestartProgram, "/rb"), os::kSwShowNormal)) s.RestartNeeded = true;
  } else if (!RestartWindows()) {
    s.RestartNeeded = true;
  }
}

void TfSetup::LayOut() {
  using K = os::ControlKind;
  CreateWindowOf(os::FormKind::Dialog, "Setup", 416, 284);
  pImages = Add(0, K::BevelPanel, kPanel, "", 0, 0, 137, 243);
  logoPicture = Add(pImages, K::Picture, kLogoPicture, "", 8, 8, 121, 113);
  mCopyRight = Add(pImages, K::Memo, kCopyRight, JoinLines(kBuiltInCredits), 10, 130, 117, 105);

  pButtons = Add(0, K::BevelPanel, kPanel, "", 0, 243, 416, 41);
  // Created in tab order: Next, Back, Cancel; placed left to right Back, Next, Cancel.
  bNext = Add(pButtons, K::Button, kNext, "Next", 248, 8, 75, 25);
  bBack = Add(pButtons, K::Button, kBack, "Back", 168, 8, 75, 25);
  bCancel = Add(pButtons, K::Button, kCancel, "Cancel", 333, 8, 75, 25);

  pIntro = Add(0, K::Panel, kPanel, "", 137, 0, 279, 243);
  mIntro = Add(pIntro, K::Memo, kIntro, "", 12, 12, 257, 117);
  mWarning = Add(pIntro, K::Memo, kWarning, "", 8, 140, 265, 89);

  pLicense = Add(0, K::Panel, kPanel, "", 137, 0, 279, 243);
  licenseTitleLabel = Add(pLicense, K::Label, kLicenseTitle, "License Agreement", 8, 6, 265, 14);
  lbLicense = Add(pLicense, K::ScrollMemo, kLicense, "", 8, 22, 265, 197);
  cbLicense = Add(pLicense, K::CheckBox, kCheckLicense, "I have read and accept this license agreement.", 8, 222,
                  245, 17);

  pReadme = Add(0, K::Panel, kPanel, "", 137, 0, 279, 243);
  readmeTitleLabel = Add(pReadme, K::Label, kReadmeTitle, "Program Readme File", 8, 6, 265, 14);
  lbReadme = Add(pReadme, K::ScrollMemo, kReadme, "", 8, 22, 265, 217);

  pPaths = Add(0, K::Panel, kPanel, "", 137, 0, 279, 243);
  lInstall = Add(pPaths, K::WrapLabel, kInstallLabel, "Install", 12, 8, 253, 33);
  eDestination = Add(pPaths, K::Edit, kDestination, "", 12, 44, 231, 21);
  bBrowse = Add(pPaths, K::Button, kBrowse, "...", 244, 44, 21, 21);
  pathsDivider = Add(pPaths, K::Bevel, kPathsDivider, "", 12, 74, 253, 2);
  startMenuPromptLabel =
      Add(pPaths, K::Label, kStartMenuPrompt, "Start Menu folder will be created as:", 12, 84, 253, 14);
  eStartMenu = Add(pPaths, K::Edit, kStartMenuEdit, "", 12, 100, 253, 21);
  existingFoldersLabel =
      Add(pPaths, K::Label, kExistingFolders, "Or select from an existing folder:", 12, 128, 253, 14);
  lbStartMenu = Add(pPaths, K::ListBox, kStartMenuList, "", 12, 144, 253, 81);

  pFinish = Add(0, K::Panel, kPanel, "", 137, 0, 279, 243);
  programHeadingLabel = Add(pFinish, K::Label, kProgramHeading, "Setup is about to install:", 12, 8, 253, 14);
  lProgramName = Add(pFinish, K::Label, kProgramName, "", 24, 26, 241, 14);
  programFilesHeadingLabel =
      Add(pFinish, K::Label, kProgramFilesHeading, "Program Files will be copied to:", 12, 50, 253, 14);
  lProgFiles = Add(pFinish, K::Label, kProgFiles, "", 24, 68, 241, 14);
  startMenuHeadingLabel =
      Add(pFinish, K::Label, kStartMenuHeading, "The Start Menu folder will be created as:", 12, 92, 253, 14);
  lStartMenu = Add(pFinish, K::Label, kStartMenuLabel, "", 24, 110, 241, 14);
  finishDivider = Add(pFinish, K::Bevel, kFinishDivider, "", 12, 134, 253, 2);
  finishHintLabel = Add(pFinish, K::WrapLabel, kFinishHint,
                        "Press Finish to begin copying files.  To make any changes to the current setup "
                        "configuration, press Back.  To quit, press Cancel.",
                        12, 144, 246, 57);

  ApplyFont("MS Sans Serif", 11);
  for (os::Hwnd box : {mCopyRight, mIntro, mWarning, lbLicense, lbReadme, eDestination, eStartMenu, lbStartMenu})
    os::SetColors(box, os::kColorWindowText, os::kColorButtonFace, false);
  for (os::Hwnd page : {pLicense, pReadme, pPaths, pFinish}) os::ShowWindow(page, false);
  os::SetHint(cbLicense, "Please click here to accept this license agreement.");
  os::SetHint(bBrowse, "Click to select an install folder");
  os::SetCancelButton(Handle(), kCancel);
  os::SetFocus(bNext);
}

void TfSetup::Abort(const std::string& warning) {
  Shared().Outcome = RunOutcome::Refused;
  WarningBox(warning);
  PostSetupMessage(application_, AbortSetup);
}

void TfSetup::FormCreate() {
  SetupState& s = Shared();
  // The application window keeps no system menu; a failure just ends the loop.
  while (os::DeleteSystemMenuItem(application_, 0)) {
  }
  // The program's private messages reach AppMessage whichever window they are posted to.
  os::SetAppMessageHook([this](os::Hwnd w, std::uint32_t m, std::uintptr_t wp, std::intptr_t lp) {
    return AppMessage(w, m, wp, lp);
  });
  // Centred on the screen; in automatic mode just off it, so that nothing shows.
  os::Rect bounds = Bounds();
  if (AutomaticMode()) {
    SetBounds(ScreenWidth() + 1, ScreenHeight() + 1, bounds.width, bounds.height);
  } else {
    int top = static_cast<int>(ScreenHeight() / 2.0 - bounds.height / 2.0);
    int left = static_cast<int>(ScreenWidth() / 2.0 - bounds.width / 2.0);
    SetBounds(left, top, bounds.width, bounds.height);
  }
  // The setup folder is the program's own, without a trailing backslash.
  s.SetupDir = StripBackslash(ProgramFolder() + "\\");
  // The publisher's credits replace the built-in ones.
  const std::string credits = s.SetupDir + "\\" + kCreditsFile;
  if (FileFound(credits)) os::SetWindowTextA(mCopyRight, FileText(credits));
  // A package list beside the program selects package mode.
  if (FileFound(s.SetupDir + "\\" + kPackageListFile)) {
    try {
      if (!PackageStage()) return;
    } catch (const ListError& e) {
      return Abort(e.TextFor("package list"));
    }
  }
  // Files are installed from the setup folder, in package mode the temporary folder it has become.
  s.SourceDir = s.SetupDir;
  // Without an installation list there is nothing to install.
  if (!FileFound(s.SetupDir + "\\setup.ini")) return Abort(kNoInstallationList);
  try {
    // The list is read once; every later step looks into it.
    lbSetup.Load(s.SetupDir + "\\setup.ini");
    // Headers that change the wizard: the licence accepted with Next instead of the check box, and a
    // default install folder.
    if (lbSetup.Has(Header::kNextLicense)) s.AcceptByCheckBox = false;
    if (lbSetup.Has(Header::kDefPath)) s.DefPath = ReadDefPath(lbSetup);
    if (!s.AcceptByCheckBox) os::ShowWindow(cbLicense, false);
    // The list's head: the title (by the rule for this Windows) on the background and in the caption,
    // the Start Menu folder and the install folder.
    TListHead head = ReadHead(lbSetup);
    int version = GetWinVersion();
    std::string title = ApplyTitleRule(head.titleLine, version);
    os::SetWindowTextA(back_.titleLabel, title);
    s.StartMenu = head.startMenu;
    s.InstallDir = DefaultInstallDir(head.installSuffix);
    s.Title = title;
    SetCaption(s.Title);
    // The introduction page's text.
    intro_.push_back("This utility will install " + s.Title + ".  It is recommended that you " +
                     "close all other windows programs.  You can switch to other Windows " +
                     "programs by pressing CTRL and TAB.");
    os::SetWindowTextA(mIntro, JoinLines(intro_));
    // Administrator rights on the NT family when the list asks for them, unless Ctrl is held; the main
    // block made the same test already.
    if (lbSetup.Has(Header::kAdmin) && IsNtFamily(version) && !CtrlKeyDown() && !IsAdministrator())
      return Abort("You must be logged into the system as an Administrator to install this program.");
    // Outside the list's range of Windows versions start-up ends with the range's message.
    if (auto range = ReadOsRange(lbSetup); range && !range->Allows(version)) {
      Abort(range->message);
      Close();
      return;
    }
    // The list's message, before the wizard shows.
    if (auto message = ReadLineAfter(lbSetup, Header::kMessage)) InfoBox(*message);
  } catch (const ListError& e) {
    return Abort(e.what());
  }
  // The publisher's warning text and logo, when the setup folder holds them.
  if (FileFound(s.SetupDir + "\\copyWren.txt")) os::SetWindowTextA(mWarning, FileText(s.SetupDir + "\\copyWren.txt"));
  if (FileFound(s.SetupDir + "\\logo.bmp")) os::LoadPicture(logoPicture, s.SetupDir + "\\logo.bmp");
}

bool TfSetup::AppMessage(os::Hwnd, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
  if (message != kSetupMessage) return false;
  if (static_cast<std::intptr_t>(wParam) != lParam) return true;
  switch (lParam) {
    case SetupCode::CloseWizard:
      Close();
      break;
    case AbortSetup:
      PostSetupMessage(application_, SetupCode::CloseWizard);
      back_.SetBounds(0, 0, 0, 0);
      back_.Close();
      break;
    case RunWizard:
      os::ShowModal(Handle());
      back_.Close();
      break;
    case AutoAdvance:
      if (AutomaticMode()) PressNext();
      break;
    case WizardShown:
      Repaint();
      if (AutomaticMode()) PressNext();
      break;
    default:
      break;
  }
  return true;
}

void TfSetup::OnCommand(int controlId) {
  switch (controlId) {
    case kNext: return bNextClick();
    case kBack: return bBackClick();
    case kCancel: return bCancelClick();
    case kStartMenuList: return lbStartMenuClick();
    case kBrowse: return bBrowseClick();
    default: return;
  }
}

void TfSetup::PressNext() { bNextClick(); }

void TfSetup::bCancelClick() { Close(); }

bool TfSetup::FormCloseQuery() { return true; }
