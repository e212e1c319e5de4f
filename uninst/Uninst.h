// The uninstaller's main block.
#pragma once
#include <string>

// Runs the removal for the command line (without the program's name);
// answers the exit code.
int UninstallMain(const std::string& commandLine);
