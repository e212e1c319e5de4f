// What the uninstaller may remove: only what lies inside the recorded
// install folder and shortcuts inside the Programs folder, both judged on
// the paths as Windows resolves them (short names, trailing periods, ".."),
// and never a relative path or a whole system folder.
#pragma once
#include <string>
#include <vector>

// The folders the rules are measured against, resolved, without trailing
// backslashes.
struct TRemovalFolders {
  std::string windows;
  std::string system;
  std::string programFiles;
  std::string programs;  // the Start Menu's Programs folder, may be empty
};

// The folders of this machine: Windows, System, Program Files (from the
// registry, else on the Windows folder's drive) and the user's Programs folder.
TRemovalFolders MachineFolders();

// The path resolved as Windows would (ResolvePath), or empty when the rules
// refuse it: not a full path on a drive, wildcards, a stream name.
std::string RuledPath(const std::string& path);

// True when path lies below folder (at any depth); both compared as given,
// without letter case and without trailing backslashes.
bool IsInsideFolder(const std::string& path, const std::string& folder);
bool SameFolder(const std::string& a, const std::string& b);

// True for the root of a drive as Windows reads the path ("C:\", "C:\.",
// "C:\Windows\..") and for a bare drive ("C:").
bool IsDriveRoot(const std::string& folder);

// The one rule for a folder an installation may go to (the wizard, the
// install run) and be removed from (the uninstaller).
// Why the install folder must not be used (the text completes "The install
// folder ... "), or empty when it may: a drive root, the Windows, System or
// Program Files folder itself, a folder that holds one of them, or a folder
// inside the System folder.
std::string InstallFolderProblem(const std::string& installDir, const TRemovalFolders& folders);

enum class PathVerdict {
  Remove,   // inside the install folder, or a shortcut inside the Programs folder
  Shared,   // in the Windows or System folder: other programs may use it
  Outside,  // anywhere else
  Unsafe,   // relative, "..", wildcards and the like
};
// Judges the path once resolved; installDir and the folders are resolved
// ones (RuledPath, MachineFolders).
PathVerdict JudgePath(const std::string& path, const std::string& installDir, const TRemovalFolders& folders);

// The Start Menu folder may go (when empty) only when it lies inside the
// Programs folder.
bool MayRemoveStartMenuFolder(const std::string& folder, const TRemovalFolders& folders);

// The folders above the install folder (or above the Start Menu folder)
// that an emptied tree takes with it: those inside the Program Files (or
// Programs) folder, deepest first; none for a folder outside it.
std::vector<std::string> EmptiedParents(const std::string& folder, const std::string& container);
