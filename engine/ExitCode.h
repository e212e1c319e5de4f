// The exit codes of every program we ship (setup.exe, uninst.exe,
// setupsfx.exe), one vocabulary for a caller that scripts against them, and
// how a run of the installer ended. The table is in the guide.
#pragma once

enum class RunOutcome {
  Open,       // the program ended before anything else was decided: the user closed the wizard
  Installed,  // the install run reached its end
  Refused,    // refused or ended at start-up: rights, :OS, a missing list, a running program, ...
  Cancelled,  // the user cancelled (the copy window's Cancel, a disk that was not inserted)
  Failed,     // stopped by an error
};

namespace exitcode {
constexpr int kInstalled = 0;         // done: installed, or everything recorded removed
constexpr int kRefused = 1;           // refused at start-up; nothing changed
constexpr int kCancelled = 1602;      // the user cancelled or answered No
constexpr int kFailed = 1603;         // stopped by an error, or ended with items it could not handle
constexpr int kRestartNeeded = 3010;  // done once Windows has restarted
}  // namespace exitcode

// Installed with a restart needed (a file in use waits for it, or the list
// asks for it) gives kRestartNeeded; a wizard closed before Finish counts as
// cancelled.
int ExitCodeOf(RunOutcome outcome, bool restartNeeded);
