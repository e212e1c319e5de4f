// The program's main block: the rights test, the three forms in their
// order, the message loop, and the end.
#include "app/Setup.h"

#include <exception>
#include <memory>
#include <string>

#include "app/BackgroundForm.h"
#include "app/CopyWindow.h"
#include "app/Form.h"
#include "app/WizardForm.h"
#include "engine/InstallLog.h"
#include "engine/RunJournal.h"
#include "engine/SetupTexts.h"
#include "engine/SetupState.h"
#include "engine/UninstallTraces.h"
#include "sys/AdminRights.h"
#include "sys/Dialogs.h"
#include "sys/SetupError.h"
#include "sys/WindowsVersion.h"
#include "sys/TextBytes.h"

namespace {

// The hidden application window: private messages for the application go here.
class TApplication : public Form {
 public:
  TApplication() { CreateWindowOf(os::FormKind::Hidden, "Setup", 0, 0); }
};

// A failure that reached the top: the "Dialog" warning, a line in the log
// when there is one, and the program's ordinary end.
void Stopped(const std::string& text) {
  SetupState& s = Shared();
  s.Outcome = RunOutcome::Failed;
  LogLine("Setup stopped: " + text);
  WarningBox(text);
  RemoveTempInstallDir(s.TempInstallDir);  // the wizard's end does this too; its creation may have failed
}

void Stopped(const std::exception_ptr& failure) {
  try {
    std::rethrow_exception(failure);
  } catch (const SetupError& e) {
    Stopped(e.what());
  } catch (const std::exception& e) {
    Stopped(std::string("Setup stopped unexpectedly: ") + e.what());
  } catch (...) {
    Stopped("Setup stopped unexpectedly.");
  }
}

void Run() {
  if (!(GetWinVersion() < kWinNT4 || IsAdministrator())) {
    InfoBox("You must be a Windows Administrator to install this program.");
    Shared().Outcome = RunOutcome::Refused;
    return;
  }
  // An earlier install cut short by a crash or a power loss is put back first.
  if (RecoverUnfinishedRuns()) InfoBox(kRestartFinishesRestoring);
  std::exception_ptr failure;
  try {
    TApplication application;
    TfBack fBack(application.Handle());  // the first form: the main form
    TfSetup fSetup(application.Handle(), fBack);
    TfCopy fCopy;
    fSetup.SetCopyWindow(&fCopy);
    try {
      fBack.Show();  // posts RunWizard behind anything start-up posted
      os::RunMessageLoop();
    } catch (...) {
      // Told while the forms still stand; they end the ordinary way after.
      failure = std::current_exception();
      fCopy.Hide();
      fSetup.Hide();
      Stopped(failure);
    }
  } catch (...) {
    if (!failure) Stopped(std::current_exception());
  }
}

}  // namespace

int SetupMain() {
  LoadSystemLeadBytes();
  Run();
  const SetupState& s = Shared();
  return ExitCodeOf(s.Outcome, s.RestartNeeded);
}
