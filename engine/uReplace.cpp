// Replacing files in use at the next start of Windows, in the formats
// Windows itself reads: WININIT.INI's [rename] section and the pending
// rename list that delayed moves fill.
#include "engine/uReplace.h"

#include "engine/uTextFile.h"

#include <cstdint>
#include <vector>

#include "engine/uInstallList.h"
#include "os/OsDelayedFiles.h"
#include "os/OsFiles.h"
#include "os/OsRegistry.h"
#include "sys/uQVDir.h"
#include "sys/uQVOpSys.h"
#include "sys/uQVStr.h"

namespace {

constexpr const char* kSessionManager = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";
constexpr const char* kPendingRenames = "PendingFileRenameOperations";
constexpr const char* kRenameHeader = "[RENAME]";

std::string WininitPath() { return AddBackslash(WindowsFolder()) + "WININIT.INI"; }

// The whole file; no file means no lines, one that cannot be read is a failure.
bool ReadLines(const std::string& path, std::vector<std::string>& lines) {
  lines.clear();
  if (os::GetFileAttributesA(path) == os::kInvalidFileAttributes) return true;
  return ReadTextLines(path, lines);
}

// Adds the lines to WININIT.INI's [RENAME] section where they are missing.
bool EditWininit(const std::string& deleteLine, const std::string& moveLine) {
  std::vector<std::string> lines;
  if (!ReadLines(WininitPath(), lines)) return false;
  if (!AddRenameLines(lines, deleteLine, moveLine)) return true;
  return WriteTextLines(WininitPath(), lines);
}

bool ScheduleWithWininit(const std::string& cached, const std::string& destination) {
  // The old file is deleted at the restart; no backup on this family.
  std::string d = ShortPath(destination), k = ShortPath(cached);
  return EditWininit(UpperText("NUL=" + d), UpperText(d + "=" + k));
}

}  // namespace

bool AddRenameLines(std::vector<std::string>& lines, const std::string& deleteLine,
                    const std::string& moveLine) {
  size_t header = 0;
  while (header < lines.size() && UpperText(lines[header]) != kRenameHeader) ++header;
  if (header == lines.size()) {
    lines.insert(lines.end(), {kRenameHeader, deleteLine});
    if (!moveLine.empty()) lines.push_back(moveLine);
    return true;
  }
  // The section runs to the next section header. Both lines must be inside
  // it: Windows reads no other section, and a move line elsewhere would
  // leave the old file deleted and the new one never moved in.
  size_t end = header + 1;
  while (end < lines.size() && (lines[end].empty() || lines[end][0] != '[')) ++end;
  bool hasDelete = false, hasMove = moveLine.empty();
  for (size_t i = header + 1; i < end; ++i) {
    std::string upper = UpperText(lines[i]);
    hasDelete = hasDelete || upper == UpperText(deleteLine);
    hasMove = hasMove || upper == UpperText(moveLine);
  }
  if (!hasMove) lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(end), moveLine);
  if (!hasDelete) lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(header + 1), deleteLine);
  return !hasDelete || !hasMove;
}

bool ScheduleReplace(const std::string& backup, const std::string& cached, const std::string& destination) {
  if (GetWinVersion() < kWinNT4) return ScheduleWithWininit(cached, destination);
  if (IsRenamePendingNT(UpperText(destination))) return true;  // an earlier install's replacement waits
  // At the restart the old file becomes the backup and the cached file
  // takes its place; the results are not looked at.
  const std::uint32_t flags = os::kMoveFileReplaceExisting | os::kMoveFileDelayUntilReboot;
  os::MoveFileExA(destination, backup, flags);
  os::MoveFileExA(cached, destination, flags);
  return true;
}

bool ScheduleDelete(const std::string& path) {
  if (GetWinVersion() >= kWinNT4) return os::MoveFileExA(path, "", os::kMoveFileDelayUntilReboot);
  return EditWininit(UpperText("NUL=" + ShortPath(path)), "");
}

bool IsRenamePending(const std::string& destination) {
  if (GetWinVersion() >= kWinNT4) return IsRenamePendingNT(UpperText(destination));
  return !os::GetPrivateProfileStringA("Rename", destination, "", WininitPath()).empty();
}

bool IsRenamePendingNT(const std::string& upperDestination) {
  if (upperDestination.empty()) return false;
  // Each entry is a source or a target: "\\??\\" + path, a target that may
  // be replaced with "!" before it. Whole paths are compared, so that a
  // longer name that merely begins with the destination (demo.dll2) does not
  // stop the destination's own replacement from being scheduled.
  const std::string wanted = UpperText(upperDestination);
  const std::string list = ReadPendingRenames();
  size_t pos = 0;
  while (pos <= list.size()) {
    size_t end = list.find("\r\n", pos);
    if (end == std::string::npos) end = list.size();
    std::string entry = list.substr(pos, end - pos);
    if (!entry.empty() && entry[0] == '!') entry.erase(0, 1);
    if (entry.rfind("\\??\\", 0) == 0) entry.erase(0, 4);
    if (UpperText(entry) == wanted) return true;
    pos = end + 2;
  }
  return false;
}

std::string ReadPendingRenames() {
  os::Hkey raw = 0;
  if (os::RegOpenKeyExA(os::kHkeyLocalMachine, kSessionManager, os::kKeyRead, raw) != 0) return "";
  os::UniqueKey key(raw);
  std::uint32_t type = 0, size = 0;
  if (os::RegQueryValueExA(key.get(), kPendingRenames, &type, nullptr, &size) != 0) return "";
  if (type != os::kRegSz && type != os::kRegExpandSz && type != os::kRegMultiSz) return "";
  // The list may grow between the two questions: ask again with the new
  // size, and never read past the size the registry reports.
  std::vector<char> data;
  for (;;) {
    data.assign(size, '\0');
    std::int32_t r = os::RegQueryValueExA(key.get(), kPendingRenames, &type, data.data(), &size);
    if (r == 0) break;
    if (r != os::kErrorMoreData) return "";
  }
  std::string joined;
  size_t pos = 0;
  while (pos < size) {
    size_t end = pos;
    while (end < size && data[end] != '\0') ++end;
    if (pos > 0) joined += "\r\n";
    joined.append(data.data() + pos, end - pos);
    pos = end + 1;
  }
  return joined;
}

std::string ShortPath(const std::string& path) {
  std::string shortPath;
  return os::GetShortPathNameA(path, shortPath) ? shortPath : path;
}
