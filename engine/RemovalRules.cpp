// The removal rules: decisions over resolved paths, so that a damaged or
// hostile uninstall data file can name nothing outside them, whatever
// spelling of a folder it uses.
#include "engine/RemovalRules.h"

#include <utility>

#include "sys/Folders.h"
#include "sys/PathText.h"
#include "sys/ResolvedPath.h"
#include "sys/SetupError.h"
#include "sys/SetupRegistry.h"
#include "sys/TextBytes.h"

namespace {

std::string Folder(const std::string& path) {
  std::string f = path;
  while (f.size() > 3 && EndsWithBackslash(f)) f.pop_back();
  return UpperText(f);
}

// A resolved folder, or the text itself when it does not resolve (the
// rules then compare with what was given).
std::string ResolvedFolder(const std::string& folder) {
  std::string resolved = ResolvePath(folder);
  return resolved.empty() ? StripBackslash(folder) : StripBackslash(resolved);
}

}  // namespace

TRemovalFolders MachineFolders() {
  TRemovalFolders folders;
  folders.windows = StripBackslash(WindowsFolder());
  folders.system = StripBackslash(SystemFolder());
  try {
    folders.programFiles = StripBackslash(ReadRegString(
        "HKEY_LOCAL_MACHINE", "SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir"));
    folders.programs = StripBackslash(ProgramsFolder());
  } catch (const SetupError&) {
    // A value of the wrong type counts as none.
  }
  if (folders.programFiles.empty() && folders.windows.size() >= 2)
    folders.programFiles = folders.windows.substr(0, 2) + "\\Program Files";
  for (std::string* folder : {&folders.windows, &folders.system, &folders.programFiles, &folders.programs})
    if (!folder->empty()) *folder = ResolvedFolder(*folder);
  return folders;
}

std::string RuledPath(const std::string& path) { return ResolvePath(path); }

bool SameFolder(const std::string& a, const std::string& b) { return Folder(a) == Folder(b); }

bool IsInsideFolder(const std::string& path, const std::string& folder) {
  std::string f = Folder(folder), p = Folder(path);
  if (f.empty()) return false;
  if (!EndsWithBackslash(f)) f += '\\';
  return p.size() > f.size() && p.compare(0, f.size(), f) == 0;
}

bool IsDriveRoot(const std::string& folder) {
  const std::string resolved = RuledPath(folder);
  return resolved.empty() ? folder.size() <= 3 : resolved.size() <= 3;
}

std::string InstallFolderProblem(const std::string& installDir, const TRemovalFolders& folders) {
  std::string dir = RuledPath(installDir);
  if (dir.empty()) return "is not a full path of a folder";
  if (IsDriveRoot(dir)) return "is the root of a drive";
  const std::pair<const std::string*, const char*> system[] = {
      {&folders.windows, "Windows"}, {&folders.system, "System"}, {&folders.programFiles, "Program Files"}};
  for (const auto& [folder, name] : system) {
    if (folder->empty()) continue;
    if (SameFolder(dir, *folder)) return std::string("is the ") + name + " folder";
    if (IsInsideFolder(*folder, dir)) return std::string("holds the ") + name + " folder";
  }
  if (IsInsideFolder(dir, folders.system)) return "lies inside the System folder";
  return "";
}

PathVerdict JudgePath(const std::string& recorded, const std::string& installDir,
                      const TRemovalFolders& folders) {
  std::string path = RuledPath(recorded);
  if (path.empty()) return PathVerdict::Unsafe;
  if (IsInsideFolder(path, installDir)) return PathVerdict::Remove;
  // Before the shared rule: the 95 family keeps the Start Menu inside the Windows folder.
  if (LowerText(ExtractFileExt(path)) == ".lnk" && IsInsideFolder(path, folders.programs))
    return PathVerdict::Remove;
  if (IsInsideFolder(path, folders.windows) || IsInsideFolder(path, folders.system))
    return PathVerdict::Shared;
  return PathVerdict::Outside;
}

bool MayRemoveStartMenuFolder(const std::string& folder, const TRemovalFolders& folders) {
  std::string path = RuledPath(folder);
  return !path.empty() && IsInsideFolder(path, folders.programs);
}

std::vector<std::string> EmptiedParents(const std::string& folder, const std::string& container) {
  std::vector<std::string> parents;
  if (container.empty()) return parents;
  for (std::string parent = StripBackslash(ExtractFilePath(folder)); IsInsideFolder(parent, container);
       parent = StripBackslash(ExtractFilePath(parent)))
    parents.push_back(parent);
  return parents;
}
