// Restarting Windows at the end of an installation that needs it.
#pragma once

// The box shown when Windows refuses to restart.
extern const char kRestartRefusedText[];

// Asks Windows to restart. The NT family grants that only to a process
// that has enabled its shutdown privilege, so the process enables it first
// there (the 95 family has no privileges). When Windows refuses all the
// same, the user is told to restart it and the answer is false: the files
// waiting for the restart are still old.
bool RestartWindows();
