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

// Remembers the log path, then creates (or truncates) the file with the
// lines "Title: " and "Destination: ".
void StartLog(const std::string& title, const std::string& installDir,
              const std::string& prefix = kInstallLogPrefix);

// Appends one line when a log was started; the file is opened and closed
// each time.
void LogLine(const std::string& text);

// The path StartLog remembered; empty before.
const std::string& LogPath();
// Forgets the remembered path. Only tests call this.
void ForgetLogForTests();
