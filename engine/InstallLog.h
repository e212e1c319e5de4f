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

// Goes on with the install log of that title where it ends (started afresh
// when there is none), until StopLog: the restoring of a run that never ended
// is told where that run was told.
void ContinueLog(const std::string& title, const std::string& installDir);
void StopLog();

// Appends one line when a log was started; the file is opened and closed
// each time, unless a LogHold keeps it open.
void LogLine(const std::string& text);

// While one lasts, the log stays open between lines: a line costs one write
// instead of an open, a seek, a write and a close. Each line still reaches
// the system when it is logged, so a run that dies leaves its log complete;
// other programs cannot write to the log meanwhile.
class LogHold {
 public:
  LogHold();
  ~LogHold();
  LogHold(const LogHold&) = delete;
  LogHold& operator=(const LogHold&) = delete;
};

// The path StartLog remembered; empty before.
const std::string& LogPath();
// Forgets the remembered path. Only tests call this.
void ForgetLogForTests();
