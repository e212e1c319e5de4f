// The publisher's checker: every mistake in a setup folder's lists that the
// installer would stumble over or silently pass by, with its file and line.
#pragma once
#include <string>
#include <vector>

#include "engine/InstallList.h"

enum class Severity { Warning, Error };

struct Finding {
  std::string file;  // "setup.ini" or "setup.lst", or a file of the folder
  int line = 0;      // 1 = first line; 0 for a finding about a whole file
  Severity severity = Severity::Error;
  std::string message;
};

// "setup.ini:12: error: message"; "file: warning: message" for line 0.
std::string FormatFinding(const Finding& finding);
// A file that is there but that the installer's file test counts as absent:
// its last-write time has no MS-DOS date (before 1980).
bool DatedBefore1980(const std::string& path);
// What is said of a file of the setup folder whose name has no form in the code page.
std::string UnnamedFileMessage(int codePage);
bool HasErrors(const std::vector<Finding>& findings);
// The findings as one JSON object: {"findings": [...], "errors": n, "warnings": n}.
std::string FindingsJson(const std::vector<Finding>& findings);

// Checks the setup folder that lies in the in-memory Windows at folder: the
// package list and its package when there is one, then the installation
// list against the files it names. The findings are in file and line order.
std::vector<Finding> CheckSetupFolder(const std::string& folder);

// The checks of one installation list whose files are copied from sourceDir.
std::vector<Finding> CheckInstallList(const TSetupList& list, const std::string& sourceDir);

// The known text closest to text (letter case ignored) when it is near
// enough to be a misspelling of it; empty otherwise.
std::string NearestOf(const std::string& text, const std::vector<std::string>& known);
