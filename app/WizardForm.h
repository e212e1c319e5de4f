// The wizard form: its controls, its creation (which prepares the whole
// setup), the application-wide message hook and the page handlers.
#pragma once
#include <string>
#include <vector>

#include "app/Form.h"
#include "app/WizardFlow.h"
#include "engine/InstallList.h"
#include "engine/InstallRun.h"
#include "zip/ZipMaster.h"

class TfBack;
class TfCopy;

class TfSetup : public Form, private InstallHost {
 public:
  // Creates the window and runs FormCreate. application is the window that
  // private messages for the application go to; back is the background window.
  TfSetup(os::Hwnd application, TfBack& back);
  ~TfSetup() override;

  void FormCreate();
  // When the program ends: the temporary installation folder goes.
  void FormDestroy();
  // Package mode: joins and extracts the install package into a temporary
  // folder that becomes SetupDir. False when start-up was aborted.
  bool PackageStage();
  void ExtractionProgress(zip::TZipMaster* sender, zip::ProgressType type, const std::string& name,
                          std::int64_t size);
  // The application-wide hook: handles SetupMessage, lets the rest pass.
  bool AppMessage(os::Hwnd window, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam);
  void SetCopyWindow(TfCopy* copy) { copy_ = copy; }

  void FormShow();
  void bNextClick();
  void bBackClick();
  void bCancelClick();
  bool FormCloseQuery();
  void lbStartMenuClick();
  // The browse button of eDestination: the folder browser, then the edit
  // takes the folder as eDestinationAfterDialog leaves it.
  void bBrowseClick();
  void eDestinationAfterDialog(std::string& name);

  // The installation list (never shown).
  TSetupList lbSetup;
  // The archive component; only the package stage uses it.
  zip::TZipMaster archive;

  // Left strip, bottom strip, pages.
  os::Hwnd pImages = 0, logoPicture = 0, mCopyRight = 0;
  os::Hwnd pButtons = 0, bBack = 0, bNext = 0, bCancel = 0;
  os::Hwnd pIntro = 0, mIntro = 0, mWarning = 0;
  os::Hwnd pLicense = 0, licenseTitleLabel = 0, lbLicense = 0, cbLicense = 0;
  os::Hwnd pReadme = 0, readmeTitleLabel = 0, lbReadme = 0;
  os::Hwnd pPaths = 0, lInstall = 0, eDestination = 0, bBrowse = 0, pathsDivider = 0,
           startMenuPromptLabel = 0, eStartMenu = 0, existingFoldersLabel = 0, lbStartMenu = 0;
  os::Hwnd pFinish = 0, programHeadingLabel = 0, lProgramName = 0, programFilesHeadingLabel = 0,
           lProgFiles = 0, startMenuHeadingLabel = 0, lStartMenu = 0, finishDivider = 0, finishHintLabel = 0;

  // os::WindowEvents
  void OnCommand(int controlId) override;
  bool OnCloseQuery() override { return FormCloseQuery(); }
  void OnShown() override { FormShow(); }

 private:
  // InstallHost: what the install run drives.
  void ShowCopyWindow(bool belowWizard) override;
  void ShowStep(const std::string& fileName) override;
  void ShowProgress(int percent) override;
  void PresentProgress() override;
  void CloseCopyWindow() override;
  void CloseWizard() override { Close(); }
  os::Hwnd WizardWindow() override { return Handle(); }
  os::Hwnd ApplicationWindow() override { return application_; }
  std::string DestinationText() override { return os::GetWindowTextA(eDestination); }
  void Finish();

  void LayOut();
  // The panel of a page; showing a page hides the current one and sets the captions.
  os::Hwnd PagePanel(WizardPage page) const;
  void ShowPage(WizardPage page);
  // The licence not accepted by its check box: the reminder, once at a time.
  void RemindOfLicense();
  // Next on the paths page: the destination's checks, then the summary.
  void LeavePaths();
  // Shows the box, posts AbortSetup: start-up ends before the wizard shows.
  void Abort(const std::string& warning);

  // The package stage's steps (app/PackageStage.cpp); each false when start-up was ended.
  bool ConfirmFloppyInstall();
  bool AwaitPart(const std::string& path, const std::string& prompt);
  void CancelStartUp();
  bool EnoughTemporarySpace(const std::string& folder, std::uint64_t bytes);
  std::vector<std::string> KeepExtraFiles(const std::string& temp);
  bool GatherPackage(const std::vector<std::string>& parts, std::uint64_t packageBytes, const std::string& package);
  bool ExtractPackage(const std::string& package, const std::string& temp);
  void PressNext();
  void FillStartMenuList();

  os::Hwnd application_;
  TfBack& back_;
  TfCopy* copy_ = nullptr;
  std::vector<std::string> intro_;
  WizardPage page_ = WizardPage::Intro;
  bool reminderShown_ = false;  // the licence reminder is on the screen
  TfCopy* extraction_ = nullptr;  // the package stage's own copy window while it extracts
};
