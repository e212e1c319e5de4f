// What the oldest Windows a list admits cannot do with a setup folder: a
// logo.bmp that Windows 95 and NT 4.0 cannot show, and the C runtime
// library (msvcrt.dll) that the first Windows 95 does not have.
#pragma once
#include <string>
#include <vector>

#include "engine/InstallList.h"
#include "tools/setupcheck/SetupCheck.h"

// Adds the findings for the setup folder (where setup.exe starts) whose
// installation list is list to the folder's findings, keeping them in file
// and line order. sourceFolder is where Setup reads its list and its logo
// after the package stage: the extracted package in package mode, the setup
// folder otherwise.
// Whether setup.exe needs the C runtime library beside it before it can
// start: the list's :OS range begins with the first Windows 95, which has no
// msvcrt.dll. Only an explicit range counts: a list without one leaves the
// oldest systems to the publisher.
bool NeedsRuntimeBeside(const TSetupList& list);
constexpr char kRuntimeFile[] = "msvcrt.dll";

void CheckOldWindows(const TSetupList& list, const std::string& setupFolder, const std::string& sourceFolder,
                     std::vector<Finding>& findings);
