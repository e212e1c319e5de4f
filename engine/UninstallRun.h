// The removal run of the uninstaller: reads the uninstall data file named on
// its command line and removes what the install recorded, within the
// removal rules.
#pragma once
#include <string>

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

// The program's exit codes.
enum UninstallExitCode : int {
  kUninstallDone = 0,         // everything recorded is gone
  kUninstallIncomplete = 1,   // some items remain; the user was told which
  kUninstallRestart = 2,      // items in use go at the next start of Windows (others may remain)
  kUninstallDeclined = 3,     // the user answered No; nothing changed
  kUninstallBadInput = 4,     // no usable data file or install folder; nothing changed
  kUninstallNotAdmin = 5,     // refused: not an administrator on the NT family
  kUninstallNotRecorded = 6,  // the data file is not the one the install recorded; nothing changed
};

// The command line: the data file's path (quoted when it holds blanks),
// then optionally "/S" for a removal without any box.
struct TUninstallArgs {
  std::string dataFile;
  bool silent = false;
  bool valid = false;
};
TUninstallArgs ParseUninstallArgs(const std::string& commandLine);

// The whole removal; answers the exit code.
int RunUninstall(const std::string& commandLine, UninstallHost& host);
