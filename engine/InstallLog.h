// The install log: one plain-text line per step of the install run, in the
// Windows folder's temp folder; failures to write it are silent.
#pragma once
#include <string>

// The log file for a title: <Windows folder>\temp\qvsetup_<title>.txt with
// blanks, ">", ":", "\", "/" and "*" taken out of the title. The uninstaller
// keeps its own log beside it under another prefix.
constexpr const char kInstallLogPrefix[] = "qvsetup_";
constexpr const char kRemovalLogPrefix[] = "qvuninst_";
std::string LogFileName(const std::string& windowsFolder, const std::string& title,
                        const std::string& prefix = kInstallLogPrefix);

// Creates the log afresh with the lines "Title: " and "Destination: ". The
// temp folder is shared, so the name is never trusted: whatever lies there
// (a file, a link someone planted) is removed, and the log is created only
// as a new file; when someone takes the name in between, the next numbered
// name ("qvsetup_Demo2.txt" ...) is used. The one handle serves every line
// of the run and is never reopened by name.
void StartLog(const std::string& title, const std::string& installDir,
              const std::string& prefix = kInstallLogPrefix);

// Appends one line when a log was started. Each line reaches the system when
// it is logged, so a run that dies leaves its log complete.
void LogLine(const std::string& text);

// The path of the log StartLog created; before that, or when none could be
// created, the name it was meant to have.
const std::string& LogPath();
// Closes the log and forgets it. Only tests (and the dry run) call this.
void ForgetLogForTests();
