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

// What decides whether a file of a file section is moved into place rather than copied.
struct PlacementFacts {
  std::string source, destination;  // full paths
  int version = 0;                  // GetWinVersion's code
  bool fromPrivateFolder = false;   // the source folder is the run's own temporary folder
  bool usedLater = false;           // a later entry of the file sections names the same source
  bool destinationNew = false;      // nothing is at the destination yet
  bool sourcesKept = false;         // every source stays: an extra setup program is given the folder
};
// True when the file may be moved: it comes from the private temporary folder, nothing needs it
// there afterwards, nothing is in its place, it stays on its volume, and the system can give a
// moved file the security of its new folder (the 95 family has none; NT 4.0 cannot).
bool MovesIntoPlace(const PlacementFacts& facts);
