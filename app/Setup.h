// The program's main block: rights test, the three forms, the message loop.
#pragma once

// Runs the program; its exit code (ExitCodeOf the run's outcome).
int SetupMain();
