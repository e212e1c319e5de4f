// The traces the run leaves for the uninstaller: the uninstall entry, the
// values under the program's key, and the removal of the temporary folder.
#pragma once
#include <string>

#include "engine/InstallList.h"

// Writes the uninstall entry of :UNINSTALL for the given data file and logs it.
void RegisterUninstall(const TUninstallSection& section, const std::string& dataFile);
// A string value under HKEY_LOCAL_MACHINE\keyPath (created when missing; a
// leading backslash is taken from the root). Failures are silent.
void WriteMachineString(const std::string& keyPath, const std::string& name, const std::string& value);
// Removes the temporary installation folder with everything in it; other
// programs may still hold files for a moment, so the folder itself is tried
// up to 120 times, pending messages handled in between.
void RemoveTempInstallDir(const std::string& folder);
