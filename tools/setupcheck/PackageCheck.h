// The package list's own checks: the loose extra files, the parts, the
// join, the CRC test of every entry, and the installation list inside.
#pragma once
#include <string>
#include <vector>

#include "engine/InstallList.h"
#include "tools/setupcheck/SetupCheck.h"

// Checks the package list of the setup folder and extracts its package as
// the installer would. Answers the folder that the installation list is then
// read from, or "" when the package cannot be checked further.
std::string CheckPackage(const TSetupList& packageList, const std::string& folder,
                         std::vector<Finding>& findings);
