// The install run: carries out the installation list in its fixed order
// once the user presses Finish.
#pragma once
#include <string>

#include "engine/InstallList.h"
#include "os/OsTypes.h"

// What the run needs of the program's windows.
class InstallHost {
 public:
  virtual ~InstallHost() = default;
  // The copy window: directly below the wizard (not in automatic mode), shown.
  virtual void ShowCopyWindow(bool belowWizard) = 0;
  // lFileName and progressBar; the step's text shows together with the progress
  // that follows it, and the window may gather fast updates into one repaint.
  virtual void ShowStep(const std::string& fileName) = 0;
  virtual void ShowProgress(int percent) = 0;
  virtual void PresentProgress() = 0;  // what was last given shows at once
  virtual void CloseCopyWindow() = 0;
  virtual void CloseWizard() = 0;
  virtual os::Hwnd WizardWindow() = 0;
  virtual os::Hwnd ApplicationWindow() = 0;
  virtual std::string DestinationText() = 0;  // what the destination edit shows
};

// Runs the installation; returns when the run is over, whatever its outcome.
// A malformed list, a registry value Windows refuses or an uninstall data
// file that cannot be written stop the run with a SetupError.
void RunInstallation(const TSetupList& list, InstallHost& host);
