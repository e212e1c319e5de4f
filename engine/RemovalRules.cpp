// The removal rules: plain text decisions over paths, so that a damaged or
// hostile uninstall data file can name nothing outside them.
#include "engine/RemovalRules.h"

#include <cctype>
#include <utility>

#include "sys/Folders.h"
#include "sys/PathText.h"
#include "sys/SetupError.h"
#include "sys/SetupRegistry.h"
#include "sys/TextBytes.h"

namespace {

std::string Folder(const std::string& path) {
  std::string f = path;
  while (f.size() > 3 && EndsWithBackslash(f)) f.pop_back();
  return UpperText(f);
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
  return folders;
}

bool IsSafeAbsolutePath(const std::string& path) {
  if (path.size() < 4 || !std::isalpha(static_cast<unsigned char>(path[0])) || path[1] != ':' ||
      path[2] != '\\')
    return false;
  if (NextSeparator(path, "/*?\"<>|") != std::string::npos || path.find(':', 2) != std::string::npos)
    return false;
  std::size_t start = 3;
  for (;;) {
    std::size_t end = NextSeparator(path, "\\", start);
    std::string part = path.substr(start, end == std::string::npos ? std::string::npos : end - start);
    // Windows drops trailing dots and blanks from a name, so "..." and ". ." climb as well.
    if (part.empty() || part.find_first_not_of(". ") == std::string::npos) return false;
    if (end == std::string::npos) return true;
    start = end + 1;
  }
}

bool SameFolder(const std::string& a, const std::string& b) { return Folder(a) == Folder(b); }

bool IsInsideFolder(const std::string& path, const std::string& folder) {
  std::string f = Folder(folder), p = Folder(path);
  if (f.empty()) return false;
  if (!EndsWithBackslash(f)) f += '\\';
  return p.size() > f.size() && p.compare(0, f.size(), f) == 0;
}

std::string InstallFolderProblem(const std::string& installDir, const TRemovalFolders& folders) {
  std::string dir = StripBackslash(installDir);
  if (dir.size() == 2 && dir[1] == ':') return "is the root of a drive";
  if (!IsSafeAbsolutePath(dir)) return "is not a full path of a folder";
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

PathVerdict JudgePath(const std::string& path, const std::string& installDir,
                      const TRemovalFolders& folders) {
  if (!IsSafeAbsolutePath(path)) return PathVerdict::Unsafe;
  if (IsInsideFolder(path, installDir)) return PathVerdict::Remove;
  // Before the shared rule: the 95 family keeps the Start Menu inside the Windows folder.
  if (LowerText(ExtractFileExt(path)) == ".lnk" && IsInsideFolder(path, folders.programs))
    return PathVerdict::Remove;
  if (IsInsideFolder(path, folders.windows) || IsInsideFolder(path, folders.system))
    return PathVerdict::Shared;
  return PathVerdict::Outside;
}

bool MayRemoveStartMenuFolder(const std::string& folder, const TRemovalFolders& folders) {
  return IsSafeAbsolutePath(folder) && IsInsideFolder(folder, folders.programs);
}
