// Replacing files in use at the next start of Windows, in the formats
// Windows itself reads: WININIT.INI's [rename] section and the pending
// rename list that delayed moves fill.
#include "engine/DelayedReplacement.h"

#include "engine/TextFile.h"

#include <cstdint>
#include <vector>

#include "engine/InstallList.h"
#include "os/OsDelayedFiles.h"
#include "os/OsFiles.h"
#include "os/OsRegistry.h"
#include "sys/Folders.h"
#include "sys/PathText.h"
#include "sys/TextBytes.h"
#include "sys/WindowsVersion.h"

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

// WININIT.INI as it stands, after the lines other programs wrote through the
// profile functions, which the 95 family holds in memory, have been put on
// the disk: an edit of an older copy would lose them, and they would later
// be written over the edit.
bool ReadWininit(std::vector<std::string>& lines) {
  os::FlushProfileCache(WininitPath());
  return ReadLines(WininitPath(), lines);
}

// Adds the lines to WININIT.INI's [RENAME] section where they are missing.
bool EditWininit(const std::string& deleteLine, const std::string& moveLine) {
  std::vector<std::string> lines;
  if (!ReadWininit(lines)) return false;
  if (!AddRenameLines(lines, deleteLine, moveLine)) return true;
  return WriteTextLines(WininitPath(), lines);
}

bool ScheduleWithWininit(const std::string& cached, const std::string& destination) {
  // The old file is deleted at the restart; no backup on this family.
  std::string d = ShortPath(destination), k = ShortPath(cached);
  return EditWininit(UpperText("NUL=" + d), UpperText(d + "=" + k));
}

// A path as WININIT.INI holds it: upper case, the short form of the file
// when it exists, else of its folder with the name as it stands.
std::string ShortForm(const std::string& path) {
  std::string shortPath;
  if (os::GetShortPathNameA(path, shortPath)) return UpperText(shortPath);
  size_t slash = LastSeparator(path, "\\");
  if (slash == std::string::npos) return UpperText(path);
  return UpperText(ShortPath(path.substr(0, slash)) + path.substr(slash));
}

struct RenameLine {
  std::string key, value;  // upper case; both empty when the line has no "="
};

RenameLine SplitRenameLine(const std::string& line) {
  size_t eq = line.find('=');
  if (eq == std::string::npos) return {};
  return {UpperText(line.substr(0, eq)), UpperText(line.substr(eq + 1))};
}

// The entries of the pending rename list as Windows keeps them.
std::vector<std::string> RawPendingEntries() {
  std::vector<std::string> entries;
  const std::string list = ReadPendingRenames();
  for (size_t pos = 0; pos <= list.size();) {
    size_t end = list.find("\r\n", pos);
    if (end == std::string::npos) end = list.size();
    entries.push_back(list.substr(pos, end - pos));
    pos = end + 2;
  }
  return entries;
}

// An entry's path: without the "!" that marks a target that may be
// replaced and the "\\??\\" before it.
std::string PathOf(std::string entry) {
  if (!entry.empty() && entry[0] == '!') entry.erase(0, 1);
  if (entry.rfind("\\??\\", 0) == 0) entry.erase(0, 4);
  return entry;
}

// The paths of the pending rename list (upper case when asked).
std::vector<std::string> PendingEntries(bool upper = true) {
  std::vector<std::string> entries;
  for (const std::string& raw : RawPendingEntries())
    entries.push_back(upper ? UpperText(PathOf(raw)) : PathOf(raw));
  return entries;
}

// The lines of the first [rename] section, which is the one Windows reads.
std::vector<RenameLine> RenameSection(const std::vector<std::string>& lines) {
  std::vector<RenameLine> section;
  size_t i = 0;
  while (i < lines.size() && UpperText(lines[i]) != kRenameHeader) ++i;
  for (++i; i < lines.size() && (lines[i].empty() || lines[i][0] != '['); ++i)
    if (RenameLine line = SplitRenameLine(lines[i]); !line.key.empty()) section.push_back(line);
  return section;
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
  std::vector<std::string> lines;
  if (!ReadWininit(lines)) return false;
  const std::string wanted = ShortForm(destination);
  for (const RenameLine& line : RenameSection(lines))
    if (line.key == wanted || (line.key == "NUL" && line.value == wanted)) return true;
  return false;
}

PendingReplacements PendingReplacements::Read() {
  PendingReplacements pending;
  pending.ninetyFive_ = GetWinVersion() < kWinNT4;
  if (pending.ninetyFive_) {
    std::vector<std::string> lines;
    if (ReadWininit(lines))
      for (const RenameLine& line : RenameSection(lines))
        if (line.key != "NUL") pending.moves_.push_back({line.value, line.value, line.key});
    return pending;
  }
  // Sources and targets alternate; an empty target is a deletion.
  const std::vector<std::string> entries = PendingEntries(false);
  for (size_t i = 0; i + 1 < entries.size(); i += 2)
    if (!entries[i + 1].empty())
      pending.moves_.push_back({entries[i], UpperText(entries[i]), UpperText(entries[i + 1])});
  return pending;
}

std::string PendingReplacements::Form(const std::string& path) const {
  return ninetyFive_ ? ShortForm(path) : UpperText(path);
}

std::string PendingReplacements::CachedFileFor(const std::string& destination) const {
  if (moves_.empty()) return "";
  const std::string wanted = Form(destination);
  for (const Move& move : moves_) {
    if (move.destinationForm != wanted) continue;
    // WININIT.INI holds short names: beside the destination, as usual, the
    // cached file is named in the destination's own folder.
    size_t slash = LastSeparator(destination, "\\"), cachedSlash = LastSeparator(move.cached, "\\");
    if (ninetyFive_ && slash != std::string::npos && cachedSlash != std::string::npos &&
        ShortForm(destination.substr(0, slash)) == UpperText(move.cached.substr(0, cachedSlash))) {
      std::string name = move.cached.substr(cachedSlash + 1);
      os::FindData found;
      os::UniqueFind find(os::FindFirstFileA(move.cached, found));
      if (find) name = found.name;  // its long name
      return destination.substr(0, slash + 1) + name;
    }
    return move.cached;
  }
  return "";
}

std::string PendingReplacements::CachedNameFor(const std::string& destination) const {
  if (std::string pending = CachedFileFor(destination); !pending.empty()) return pending;
  for (int n = 0;; ++n) {
    std::string cached = ChangeFileExt(destination, n == 0 ? ".MCC" : ".MC" + std::to_string(n));
    const std::string form = Form(cached);
    // A destination named *.MCC would otherwise be its own cached file.
    bool used = form == Form(destination);
    for (const Move& move : moves_) used = used || move.cachedForm == form;
    if (!used) return cached;
  }
}

void PendingReplacements::Add(const std::string& cached, const std::string& destination) {
  if (CachedFileFor(destination).empty()) moves_.push_back({cached, Form(cached), Form(destination)});
}

bool RemoveRenameLines(std::vector<std::string>& lines, const std::string& shortDestination) {
  const std::string wanted = UpperText(shortDestination);
  bool inside = false, removed = false;
  for (size_t i = 0; i < lines.size();) {
    if (!lines[i].empty() && lines[i][0] == '[') inside = UpperText(lines[i]) == kRenameHeader;
    RenameLine line = SplitRenameLine(lines[i]);
    if (inside && (line.key == wanted || (line.key == "NUL" && line.value == wanted))) {
      lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(i));
      removed = true;
    } else {
      ++i;
    }
  }
  return removed;
}

// NT: the delayed moves of the destination's replacement (the old file to
// its backup, the cached file onto it) taken out of the pending list.
bool CancelDelayedMoves(const std::string& destination) {
  const std::string wanted = UpperText(destination);
  const std::vector<std::string> raw = RawPendingEntries();
  std::string kept;
  bool removed = false;
  for (size_t i = 0; i + 1 < raw.size(); i += 2) {
    if (raw[i].empty()) continue;
    if (UpperText(PathOf(raw[i])) == wanted || UpperText(PathOf(raw[i + 1])) == wanted) {
      removed = true;
      continue;
    }
    kept += raw[i] + '\0' + raw[i + 1] + '\0';
  }
  if (!removed) return true;
  kept += '\0';
  os::Hkey opened = 0;
  if (os::RegOpenKeyExA(os::kHkeyLocalMachine, kSessionManager, os::kKeyAllAccess, opened) != 0) return false;
  os::UniqueKey key(opened);
  return os::RegSetValueExA(key.get(), kPendingRenames, os::kRegMultiSz, kept.data(),
                            static_cast<std::uint32_t>(kept.size())) == 0;
}

bool CancelReplace(const std::string& destination) {
  if (GetWinVersion() >= kWinNT4) return CancelDelayedMoves(destination);
  std::vector<std::string> lines;
  if (!ReadWininit(lines)) return false;
  if (!RemoveRenameLines(lines, ShortForm(destination))) return true;
  return WriteTextLines(WininitPath(), lines);
}

bool IsRenamePendingNT(const std::string& upperDestination) {
  if (upperDestination.empty()) return false;
  // Whole paths are compared, so that a longer name that merely begins with
  // the destination (demo.dll2) does not stop the destination's own
  // replacement from being scheduled.
  const std::string wanted = UpperText(upperDestination);
  for (const std::string& entry : PendingEntries())
    if (entry == wanted) return true;
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
