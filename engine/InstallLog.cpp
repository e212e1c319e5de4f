// The install log: created as a new file in the shared temp folder and
// written through the one handle for the whole run.
#include "engine/InstallLog.h"

#include <cstdint>

#include "os/OsFiles.h"
#include "sys/Folders.h"
#include "sys/PathText.h"
#include "sys/TextBytes.h"

namespace {

struct LogState {
  std::string path;
  os::UniqueFile file;  // the log, open from StartLog to the end of the process
};

constexpr int kMaxLogNames = 99;

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
  LogState& log = TheLog();
  log.file.reset();
  const std::string name = LogFileName(WindowsFolder(), title, prefix);
  log.path = name;
  for (int number = 1; number <= kMaxLogNames && !log.file; ++number) {
    const std::string path = number == 1 ? name : ChangeFileExt(name, std::to_string(number) + ".txt");
    // Deleting removes a link itself, never what it points to; a name that cannot be cleared is
    // someone else's, and so is one taken again before the file is created.
    os::DeleteFileA(path);
    log.file.reset(os::CreateFileA(path, os::Access::Write, os::Disposition::CreateNew));
    if (log.file) log.path = path;
    const std::uint32_t error = os::GetLastError();
    if (!log.file && error != os::kErrorFileExists && error != os::kErrorAlreadyExists &&
        error != os::kErrorAccessDenied && error != os::kErrorSharingViolation)
      return;  // no temp folder and the like: no log, silently
  }
  if (log.file) WriteAll(log.file.get(), "Title: " + title + "\r\nDestination: " + installDir + "\r\n");
}

void LogLine(const std::string& text) {
  LogState& log = TheLog();
  if (log.file && !WriteAll(log.file.get(), text + "\r\n")) log.file.reset();  // a log that fails stays off
}

const std::string& LogPath() { return TheLog().path; }
void ForgetLogForTests() { TheLog() = LogState{}; }
