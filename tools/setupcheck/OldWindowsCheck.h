// What the oldest Windows a list admits cannot do with a setup folder: a
// logo.bmp that Windows 95 and NT 4.0 cannot show.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "engine/InstallList.h"
#include "tools/setupcheck/SetupCheck.h"

// Adds the findings for the setup whose installation list is list to the
// folder's findings. sourceFolder is where Setup reads its list and its logo
// after the package stage: the extracted package in package mode, the setup
// folder otherwise.
void CheckOldWindows(const TSetupList& list, const std::string& sourceFolder, std::vector<Finding>& findings);

// The LZMA dictionary the oldest Windows the list admits can decode with:
// 1 MB while the range reaches the Windows 95 family (8 MB machines; a list
// without :OS admits them), 4 MB from Windows 98 and NT 4.0 on.
std::uint32_t LzmaDictionaryFor(const TSetupList& list);
