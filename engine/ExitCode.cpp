// The exit code of a run from its outcome.
#include "engine/ExitCode.h"

int ExitCodeOf(RunOutcome outcome, bool restartNeeded) {
  switch (outcome) {
    case RunOutcome::Installed:
      return restartNeeded ? exitcode::kRestartNeeded : exitcode::kInstalled;
    case RunOutcome::Refused:
      return exitcode::kRefused;
    case RunOutcome::Failed:
      return restartNeeded ? exitcode::kRestartNeeded : exitcode::kFailed;
    case RunOutcome::Cancelled:
      return restartNeeded ? exitcode::kRestartNeeded : exitcode::kCancelled;
    case RunOutcome::Open:
      break;
  }
  return exitcode::kCancelled;
}
