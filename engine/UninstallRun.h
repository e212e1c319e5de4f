// The removal run of the uninstaller: reads the uninstall data file named on
// its command line and removes what the install recorded, within the
// removal rules.
#pragma once
#include <string>

#include "engine/ExitCode.h"
#include "engine/UninstallData.h"

// What the run needs of the program's window.
class UninstallHost {
 public:
  virtual ~UninstallHost() = default;
  virtual void ShowProgressWindow() = 0;
  virtual void ShowStep(const std::string& text) = 0;  // repainted at once
  virtual void ShowProgress(int percent) = 0;
  virtual void CloseProgressWindow() = 0;
};

// The program's exit codes: the installer's vocabulary (engine/ExitCode.h).
enum UninstallExitCode : int {
  kUninstallDone = exitcode::kInstalled,         // everything recorded is gone
  kUninstallIncomplete = exitcode::kFailed,      // some items remain; the user was told which
  kUninstallRestart = exitcode::kRestartNeeded,  // items in use go at the next start of Windows
  kUninstallDeclined = exitcode::kCancelled,     // the user answered No; nothing changed
  kUninstallBadInput = exitcode::kRefused,       // no usable data file or install folder; nothing changed
  kUninstallNotAdmin = exitcode::kRefused,       // not an administrator on the NT family; nothing changed
  // the data file is not the one the install recorded (or changed since); nothing changed
  kUninstallNotRecorded = exitcode::kRefused,
};

// The whole removal; answers the exit code.
int RunUninstall(const std::string& commandLine, UninstallHost& host);
