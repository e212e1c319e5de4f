// The install log: each line opens the file, appends and closes it again,
// except while a LogHold keeps it open; every line is written through to the
// system at once either way, so the log survives whatever happens to the run.
#include "engine/InstallLog.h"

#include <cstdint>

#include "os/OsFiles.h"
#include "sys/Folders.h"
#include "sys/PathText.h"
#include "sys/TextBytes.h"

namespace {

struct LogState {
  std::string path;
  os::UniqueFile held;  // open while a LogHold lasts and a line was written
  int holds = 0;
};

LogState& TheLog() {
  static LogState log;
  return log;
}

bool WriteAll(os::Handle file, const std::string& text) {
  std::uint32_t written = 0;
  return os::WriteFile(file, text.data(), static_cast<std::uint32_t>(text.size()), written) &&
         written == text.size();
}

}  // namespace

std::string LogFileName(const std::string& windowsFolder, const std::string& title,
                        const std::string& prefix) {
  std::string name;
  const LeadBytes& lead = ProcessLeadBytes();
  for (std::size_t i = 0, n; i < title.size(); i += n) {
    n = CharLength(title, i, lead);
    const char c = title[i];
    if (n == 2 || (c != ' ' && c != '>' && c != ':' && c != '\\' && c != '/' && c != '*')) name.append(title, i, n);
  }
  return AddBackslash(windowsFolder) + "temp\\" + prefix + name + ".txt";
}

void StartLog(const std::string& title, const std::string& installDir, const std::string& prefix) {
  TheLog().path = LogFileName(WindowsFolder(), title, prefix);
  os::UniqueFile file(os::CreateFileA(TheLog().path, os::Access::Write, os::Disposition::CreateAlways));
  if (!file) return;  // no log; later lines fail the same way, silently
  WriteAll(file.get(), "Title: " + title + "\r\nDestination: " + installDir + "\r\n");
}

void ContinueLog(const std::string& title, const std::string& installDir) {
  const std::string path = LogFileName(WindowsFolder(), title);
  if (os::GetFileAttributesA(path) == os::kInvalidFileAttributes) return StartLog(title, installDir);
  TheLog().path = path;
}

void StopLog() {
  TheLog().held.reset();
  TheLog().path.clear();
}

void LogLine(const std::string& text) {
  LogState& log = TheLog();
  if (log.path.empty()) return;
  if (log.held) {
    if (WriteAll(log.held.get(), text + "\r\n")) return;
    log.held.reset();  // the next line opens the file afresh
    return;
  }
  // Appending needs the file that StartLog made; a file gone since stays gone.
  os::UniqueFile file(os::CreateFileA(log.path, os::Access::Write, os::Disposition::OpenExisting));
  std::uint64_t size = 0;
  if (!file || !os::GetFileSize(file.get(), size) || !os::SetFilePointer(file.get(), size)) return;
  if (WriteAll(file.get(), text + "\r\n") && log.holds > 0) log.held = std::move(file);
}

LogHold::LogHold() { ++TheLog().holds; }

LogHold::~LogHold() {
  if (--TheLog().holds == 0) TheLog().held.reset();
}

const std::string& LogPath() { return TheLog().path; }
void ForgetLogForTests() { TheLog() = LogState{}; }
