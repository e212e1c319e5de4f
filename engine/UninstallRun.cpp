// The removal run: servers unregistered, files and shortcuts removed (or
// scheduled for the next start of Windows when in use), registry values
// and the uninstall entry removed, empty folders taken away, and every step
// logged beside the install log.
#include "engine/UninstallRun.h"

#include <algorithm>
#include <cstdint>
#include <set>
#include <vector>

#include "engine/DelayedReplacement.h"
#include "engine/InstallLog.h"
#include "engine/RegistryRemoval.h"
#include "engine/RemovalRules.h"
#include "engine/TextFile.h"
#include "os/OsFiles.h"
#include "os/OsRegistry.h"
#include "os/OsUi.h"
#include "sys/AdminRights.h"
#include "sys/Dialogs.h"
#include "sys/Folders.h"
#include "sys/Launch.h"
#include "sys/PathText.h"
#include "sys/ResolvedPath.h"
#include "sys/SetupError.h"
#include "sys/SetupRegistry.h"
#include "sys/TextBytes.h"
#include "sys/WindowsVersion.h"

namespace {

constexpr int kMaxServers = 9999;

std::string ParentOf(const std::string& path) {
  std::size_t pos = LastSeparator(path, "\\");
  return pos == std::string::npos ? "" : path.substr(0, pos);
}

// The number of backslashes between a path's parts.
std::size_t Depth(const std::string& path) {
  std::size_t n = 0;
  for (std::size_t pos = NextSeparator(path, "\\"); pos != std::string::npos; pos = NextSeparator(path, "\\", pos + 1))
    ++n;
  return n;
}

std::string DataProblem(const std::string& path, const UninstallDataResult& result) {
  std::string at = result.line > 0 ? " (line " + std::to_string(result.line) + ")" : "";
  switch (result.status) {
    case UninstallDataStatus::Missing:
      return "The uninstall data file " + path + " cannot be read.";
    case UninstallDataStatus::Empty:
      return "The uninstall data file " + path + " is empty.";
    case UninstallDataStatus::OtherFormat:
      return "The file " + path + " is not an uninstall data file" + at + ".";
    case UninstallDataStatus::Garbled:
      return "The uninstall data file " + path + " is damaged" + at + ".";
    case UninstallDataStatus::Ok:
      break;
  }
  return "";
}

class Removal {
 public:
  Removal(const TUninstallArgs& args, UninstallHost& host) : args_(args), host_(host) {}
  int Run();

 private:
  void Notice(const std::string& text) {
    if (!args_.silent) InfoBox(text);
  }
  int Refuse(const std::string& text, int exitCode = kUninstallBadInput) {
    if (!args_.silent) WarningBox(text + " Nothing was removed.");
    return exitCode;
  }
  void Step(const std::string& text);
  bool Recorded(const std::string& path) const;
  void ReadServers();
  void UnregisterServers();
  void RemovePaths();
  bool RemoveFile(const std::string& path);
  void RemoveRegistry();
  void RemoveFolders();
  bool RemoveFolder(const std::string& folder, bool report);
  void RemoveEmptiedParents(const std::string& folder, const std::string& container);
  int End();

  const TUninstallArgs& args_;
  UninstallHost& host_;
  TUninstallData data_;
  std::string dataFile_;   // the data file, resolved
  std::string installDir_;  // the install folder, resolved
  std::string startMenu_;   // the Start Menu folder, resolved; empty when none
  std::vector<std::string> resolvedPaths_;  // data_.paths resolved (empty where refused)
  TRemovalFolders folders_;
  std::vector<std::string> servers_;        // the "regsvr" values, in number order
  std::set<std::string> folderCandidates_;  // folders that held what was removed
  std::vector<std::string> scheduled_, notRemoved_;
  int total_ = 0, done_ = 0;
};

int Removal::Run() {
  if (IsNtFamily(GetWinVersion()) && !IsAdministrator()) {
    Notice("You must be a Windows Administrator to remove this program.");
    return kUninstallNotAdmin;
  }
  // The data file as the install wrote its name: the install folder as the
  // user typed it (a trailing backslash, blanks) followed by the file name.
  dataFile_ = args_.valid ? ResolvePath(args_.dataFile) : "";
  if (dataFile_.empty() || dataFile_.size() <= 3)
    return Refuse("Start the uninstaller with the full path of an uninstall data file.");
  std::string text;
  UninstallDataResult read = ReadWholeFile(dataFile_, text)
                                 ? ParseUninstallData(text, data_)
                                 : UninstallDataResult{UninstallDataStatus::Missing, 0};
  if (read.status != UninstallDataStatus::Ok) return Refuse(DataProblem(args_.dataFile, read));
  // The data file decides what goes only when the administrators' uninstall entry records this
  // very file and install folder: an edited file could name anything.
  if (!UninstallDataSealed(dataFile_, data_.installDir, text))
    return Refuse("The uninstall data file " + args_.dataFile +
                      " is not the one the installation recorded, or it was changed since.",
                  kUninstallNotRecorded);
  folders_ = MachineFolders();
  std::string problem = InstallFolderProblem(data_.installDir, folders_);
  if (!problem.empty())
    return Refuse("The uninstall data file " + args_.dataFile + " names the install folder " +
                  data_.installDir + ", which " + problem + ".");
  installDir_ = RuledPath(data_.installDir);
  if (!data_.startMenu.empty()) startMenu_ = RuledPath(data_.startMenu);
  for (const std::string& path : data_.paths) resolvedPaths_.push_back(RuledPath(path));

  bool automatic = args_.silent || FileFound(ParentOf(dataFile_) + "\\autoun.dat");
  if (!automatic && !QuestionBox(0, "Are you sure you want to completely remove " + data_.title +
                                        " and all of its components?"))
    return kUninstallDeclined;

  StartLog(data_.title, data_.installDir, kRemovalLogPrefix);
  host_.ShowProgressWindow();
  ReadServers();
  total_ = static_cast<int>(servers_.size() + data_.paths.size() + data_.regItems.size()) + 2;
  UnregisterServers();
  RemovePaths();
  RemoveRegistry();
  RemoveUninstallEntryFor(dataFile_);
  Step(dataFile_);
  if (!RemoveFile(dataFile_)) notRemoved_.push_back(dataFile_);
  Step(installDir_);
  RemoveFolders();
  host_.CloseProgressWindow();
  return End();
}

void Removal::Step(const std::string& text) {
  os::ProcessMessages();
  host_.ShowStep(text);
  ++done_;
  if (total_ > 0)
    host_.ShowProgress(static_cast<int>(static_cast<double>(std::min(done_, total_)) / total_ * 100));
}

// The path, resolved, is one the data file names.
bool Removal::Recorded(const std::string& path) const {
  return std::any_of(resolvedPaths_.begin(), resolvedPaths_.end(),
                     [&](const std::string& p) { return !p.empty() && SameFolder(p, path); });
}

void Removal::ReadServers() {
  std::string key = data_.ProgramKey();
  if (key.empty() || !IsSafeKeyPath(key)) return;
  for (int n = 1; n <= kMaxServers; ++n) {
    std::string entry;
    try {
      entry = ReadRegString("HKEY_LOCAL_MACHINE", key, "regsvr" + std::to_string(n));
    } catch (const RegistryError&) {
      // a value of another type is not ours
    }
    if (entry.empty()) break;
    servers_.push_back(entry);
  }
}

void Removal::UnregisterServers() {
  for (const std::string& entry : servers_) {
    std::string path = WindowsFolderBS() + entry;
    Step(path);
    // Only a server the install copied is unregistered: a value that names
    // anything else is not trusted to call into.
    std::string resolved = RuledPath(path);
    if (resolved.empty() || !Recorded(resolved) || !FileFound(resolved)) {
      LogLine("Not unregistered: " + path);
      continue;
    }
    LogLine("Unregister Server: " + path);
    ServerCallResult result = UnregisterServer(resolved);
    if (result.outcome == ServerCall::NotLoaded) LogLine("Unregister failed, not loaded: " + path);
    if (result.outcome == ServerCall::NoEntryPoints) LogLine("Unregister failed, no entry points: " + path);
    if (result.outcome == ServerCall::Crashed) LogLine("Unregister failed, the server crashed: " + path);
    if (result.outcome == ServerCall::Called && result.code < 0)
      LogLine("Unregister failed, code " + std::to_string(result.code) + ": " + path);
  }
}

void Removal::RemovePaths() {
  // Read once: the removal schedules only deletions, which name no cached file.
  const PendingReplacements pending = PendingReplacements::Read();
  for (std::size_t i = 0; i < data_.paths.size(); ++i) {
    const std::string& recorded = data_.paths[i];
    Step(recorded);
    PathVerdict verdict = JudgePath(recorded, installDir_, folders_);
    if (verdict != PathVerdict::Remove) {
      LogLine("Kept: " + recorded);
      // Shared files stay on purpose; anything else was named wrongly.
      if (verdict != PathVerdict::Shared) notRemoved_.push_back(recorded);
      continue;
    }
    std::string path = resolvedPaths_[i];
    // A shortcut whose name ended in ".lnk" already was saved under that
    // name, and recorded with ".lnk" once more.
    const std::string single = ChangeFileExt(path, "");
    if (UpperText(ExtractFileExt(path)) == ".LNK" && UpperText(ExtractFileExt(single)) == ".LNK" &&
        os::GetFileAttributesA(path) == os::kInvalidFileAttributes)
      path = single;
    if (!RemoveFile(path)) notRemoved_.push_back(path);
    // A copy the install cached beside a file in use (.MCC, or .MC1, ...
    // when another replacement had that name) waits for a restart that
    // would put it in place again.
    std::string cached = pending.CachedFileFor(path);
    if (cached.empty()) cached = ChangeFileExt(path, ".MCC");
    if (os::GetFileAttributesA(cached) != os::kInvalidFileAttributes && !RemoveFile(cached))
      notRemoved_.push_back(cached);
    // Folders that held a removed item may be empty now; the install folder
    // and the Start Menu folder themselves are handled at the end.
    for (std::string folder = ParentOf(path);
         IsInsideFolder(folder, installDir_) ||
         (!startMenu_.empty() && IsInsideFolder(folder, startMenu_) &&
          MayRemoveStartMenuFolder(startMenu_, folders_));
         folder = ParentOf(folder))
      folderCandidates_.insert(folder);
  }
}

// Deletes the file; one in use is scheduled for the next start of Windows.
// False when it could do neither.
bool Removal::RemoveFile(const std::string& path) {
  std::uint32_t attributes = os::GetFileAttributesA(path);
  if (attributes == os::kInvalidFileAttributes) return true;  // gone already
  // A folder of the install swapped for a link since would lead the delete elsewhere.
  const std::string& container = IsInsideFolder(path, installDir_) ? installDir_
                                 : (!folders_.programs.empty() && IsInsideFolder(path, folders_.programs))
                                     ? folders_.programs
                                     : ParentOf(path);
  if (!NoLinkOnTheWay(container, path)) {
    LogLine("Kept, a link is on the way: " + path);
    return false;
  }
  if (attributes & os::kAttrDirectory) {
    LogLine("Kept: " + path);  // a folder is never removed as an entry
    return false;
  }
  os::SetFileAttributesA(path, os::kAttrNormal);  // read-only would refuse the delete
  if (os::DeleteFileA(path)) {
    LogLine("Remove: " + path);
    return true;
  }
  if (ScheduleDelete(path)) {
    LogLine("Scheduled: " + path);
    scheduled_.push_back(path);
    return true;
  }
  LogLine("Kept: " + path);
  return false;
}

void Removal::RemoveRegistry() {
  std::vector<std::pair<std::string, std::string>> touched;
  std::string programKey = data_.ProgramKey();
  if (!programKey.empty() && IsSafeKeyPath(programKey)) {
    std::vector<std::string> names = {"smpath"};
    for (std::size_t n = 1; n <= servers_.size(); ++n) names.push_back("regsvr" + std::to_string(n));
    RemoveMachineValues(programKey, names);
    touched.emplace_back("HKEY_LOCAL_MACHINE", programKey);
  }
  // Last written first: a value written twice holds the later data.
  std::set<std::string> seen;
  for (auto item = data_.regItems.rbegin(); item != data_.regItems.rend(); ++item) {
    Step(item->root + "\\" + item->key);
    if (!seen.insert(UpperText(item->root + "\\" + RegKeyPath(item->key) + "\\" + item->name)).second)
      continue;
    std::string what = item->root + ", " + item->key + ", " + item->name;
    if (RootKeyByName(item->root) == 0 || !IsSafeKeyPath(item->key)) {
      LogLine("Kept: " + what);
      notRemoved_.push_back(item->root + "\\" + item->key + " " + item->name);
      continue;
    }
    ValueRemoval removal = RemoveRegValueIfUnchanged(*item);
    if (removal == ValueRemoval::Removed) LogLine("Reg Remove: " + what);
    if (removal == ValueRemoval::Changed) LogLine("Kept: " + what + " (changed since the install)");
    touched.emplace_back(item->root, item->key);
  }
  for (const auto& [root, key] : touched) PruneRegKey(root, key, true);
}

std::vector<std::string> FolderEntries(const std::string& folder) {
  std::vector<std::string> names;
  os::FindData found;
  os::UniqueFind find(os::FindFirstFileA(folder + "\\*", found));
  if (!find) return names;
  do {
    if (found.name != "." && found.name != "..") names.push_back(AddBackslash(folder) + found.name);
  } while (os::FindNextFileA(find.get(), found));
  return names;
}

void Removal::RemoveFolders() {
  // Deepest first, so that a folder is tried after the folders inside it.
  std::vector<std::string> folders(folderCandidates_.begin(), folderCandidates_.end());
  std::sort(folders.begin(), folders.end(), [](const std::string& a, const std::string& b) {
    return Depth(a) > Depth(b);
  });
  for (const std::string& folder : folders) RemoveFolder(folder, false);
  // An empty Start Menu name records the Programs folder itself: that stays, unreported.
  if (!data_.startMenu.empty() && !(!startMenu_.empty() && SameFolder(startMenu_, folders_.programs))) {
    if (MayRemoveStartMenuFolder(startMenu_, folders_)) {
      if (RemoveFolder(startMenu_, true)) RemoveEmptiedParents(startMenu_, folders_.programs);
    } else {
      LogLine("Kept: " + data_.startMenu);
      notRemoved_.push_back(data_.startMenu);
    }
  }
  if (RemoveFolder(installDir_, true)) RemoveEmptiedParents(installDir_, folders_.programFiles);
}

// A vendor's folder that held only this program goes with it, up to but not
// including Program Files (or Programs); a folder still in use stops the walk.
void Removal::RemoveEmptiedParents(const std::string& folder, const std::string& container) {
  for (const std::string& parent : EmptiedParents(folder, container)) {
    if (!os::RemoveDirectoryA(parent)) return;
    LogLine("Remove: " + parent);
  }
}

// Removes the folder only when it is empty, never what it holds. One that
// holds nothing but files waiting for the restart goes with them on the NT
// family; otherwise a folder that stays is reported when `report` is set.
bool Removal::RemoveFolder(const std::string& folder, bool report) {
  if (!FolderExists(folder)) return true;
  if (os::RemoveDirectoryA(folder)) {
    LogLine("Remove: " + folder);
    return true;
  }
  std::vector<std::string> left = FolderEntries(folder);
  bool onlyScheduled = !left.empty() && std::all_of(left.begin(), left.end(), [&](const std::string& p) {
    return std::any_of(scheduled_.begin(), scheduled_.end(), [&](const std::string& s) {
      return UpperText(s) == UpperText(p) || IsInsideFolder(s, p);
    });
  });
  if (onlyScheduled && IsNtFamily(GetWinVersion()) && ScheduleDelete(folder)) {
    LogLine("Scheduled: " + folder);
    scheduled_.push_back(folder);
    return false;
  }
  if (!report) return false;
  LogLine("Kept: " + folder);
  notRemoved_.push_back(folder);
  return false;
}

int Removal::End() {
  if (notRemoved_.empty() && scheduled_.empty()) {
    LogLine("Removal complete");
    Notice(data_.title + " was removed.");
    return kUninstallDone;
  }
  std::string text;
  if (!notRemoved_.empty()) {
    text = "These items of " + data_.title + " could not be removed:";
    for (const std::string& item : notRemoved_) text += "\r\n" + item;
  }
  if (!scheduled_.empty()) {
    if (!text.empty()) text += "\r\n\r\n";
    text += "These items are in use; a restart of Windows completes their removal:";
    for (const std::string& item : scheduled_) text += "\r\n" + item;
  }
  LogLine(notRemoved_.empty() ? "Removal completes at the next start of Windows" : "Removal incomplete");
  Notice(text);
  // A caller must hear of a restart that is needed, also when some items stay.
  return scheduled_.empty() ? kUninstallIncomplete : kUninstallRestart;
}

}  // namespace

int RunUninstall(const std::string& commandLine, UninstallHost& host) {
  TUninstallArgs args = ParseUninstallArgs(commandLine);
  return Removal(args, host).Run();
}
