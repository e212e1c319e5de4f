// Folders, files and directory trees over the seam's file operations.
#include "sys/Folders.h"

#include <algorithm>
#include <cstdint>

#include "os/OsFiles.h"
#include "os/OsSystem.h"
#include "sys/PathText.h"
#include "sys/TextBytes.h"
#include "sys/WindowsVersion.h"

namespace {

bool EndsWithAnyMask(const std::string& text) {
  // "*.*" at the end: the last and the third-from-last characters are both "*".
  return text.size() >= 3 && text.back() == '*' && text[text.size() - 3] == '*';
}

void DropAnyMask(std::string& text) {
  if (EndsWithAnyMask(text)) text.resize(text.size() - 3);
}

bool IsDotEntry(const std::string& name) { return name == "." || name == ".."; }

// What FileFound counts as a file: not a folder, with a last-write time that
// converts to a local MS-DOS date.
bool CountsAsFile(const os::FindData& found) {
  if (found.attributes & os::kAttrDirectory) return false;
  os::FileTime local;
  std::uint16_t dosDate = 0, dosTime = 0;
  return os::FileTimeToLocalFileTime(found.lastWriteTime, local) &&
         os::FileTimeToDosDateTime(local, dosDate, dosTime);
}

}  // namespace

std::string WindowsFolder() {
  std::string folder = os::GetWindowsDirectoryA();
  return folder.substr(0, folder.find('\0'));
}

std::string SystemFolder() {
  std::string folder = os::GetSystemDirectoryA();
  return folder.substr(0, folder.find('\0'));
}

std::string WindowsFolderBS() { return AddBackslash(WindowsFolder()); }
std::string SystemFolderBS() { return AddBackslash(SystemFolder()); }

bool FileFound(const std::string& path) {
  os::FindData found;
  os::UniqueFind search(os::FindFirstFileA(path, found));
  return search && CountsAsFile(found);
}

TFolderIndex::Names* TFolderIndex::Listing(const std::string& path, bool load, std::string& name) {
  auto slash = LastSeparator(path, "\\");
  std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
  name = UpperText(path.substr(folder.size()));
  std::string pattern = UpperText(folder) + "*" + (byExtension_ ? ExtractFileExt(name) : std::string());
  auto it = listings_.find(pattern);
  if (it != listings_.end()) return &it->second;
  if (!load) return nullptr;
  Names& names = listings_[pattern];
  os::FindData found;
  os::UniqueFind search(os::FindFirstFileA(pattern, found));
  for (bool more = static_cast<bool>(search); more; more = os::FindNextFileA(search.get(), found)) {
    if (!CountsAsFile(found)) continue;
    names[UpperText(found.name)] = found.attributes;
    if (!found.shortName.empty()) names[UpperText(found.shortName)] = found.attributes;
  }
  return &names;
}

bool TFolderIndex::FileFound(const std::string& path) {
  if (path.find_first_of("*?") != std::string::npos) return ::FileFound(path);
  std::string name;
  return Listing(path, true, name)->count(name) > 0;
}

std::uint32_t TFolderIndex::Attributes(const std::string& path) {
  if (path.find_first_of("*?") != std::string::npos) return os::kInvalidFileAttributes;
  std::string name;
  Names* names = Listing(path, true, name);
  auto it = names->find(name);
  return it == names->end() ? os::kInvalidFileAttributes : it->second;
}

void TFolderIndex::Added(const std::string& path) {
  std::string name;
  if (Names* names = Listing(path, false, name)) (*names)[name] = os::kInvalidFileAttributes;
}

void TFolderIndex::Removed(const std::string& path) {
  std::string name;
  if (Names* names = Listing(path, false, name)) names->erase(name);
}

bool FolderExists(const std::string& path) {
  const std::uint32_t attributes = os::GetFileAttributesA(path);
  return attributes != os::kInvalidFileAttributes && (attributes & os::kAttrDirectory);
}

void ForceFolders(const std::string& path) {
  const std::string folder = StripBackslash(path);
  if (folder.size() < 3 || FolderExists(folder)) return;
  // A path that ends with ":" is its own folder part; going up stops there
  // rather than asking for the same path again.
  const std::string parent = ExtractFilePath(folder);
  if (parent.size() < folder.size()) ForceFolders(parent);
  os::CreateDirectoryA(folder);  // a failure shows up in the caller's FolderExists test
}

bool NoLinkOnTheWay(const std::string& folder, const std::string& path) {
  const std::string base = StripBackslash(folder);
  // Without the folder in front, only the path's own folder and the path itself are looked at.
  std::size_t at =
      UpperText(path).rfind(UpperText(base) + "\\", 0) == 0 ? base.size() : LastSeparator(path, "\\");
  for (;;) {
    const std::uint32_t attributes =
        os::GetFileAttributesA(at == std::string::npos ? path : path.substr(0, at));
    if (attributes != os::kInvalidFileAttributes && (attributes & os::kAttrReparsePoint)) return false;
    if (at == std::string::npos) return true;
    at = NextSeparator(path, "\\", at + 1);
  }
}

namespace {

// The folder is as private as it was made: its owner is one of the trustees, and its list holds
// entries that allow them and nobody else (none merged from the parent). A volume that keeps no
// security (FAT) has nothing to check.
bool PrivateAsMade(const std::string& path, const std::vector<os::Trustee>& trustees) {
  os::FolderSecurity security;
  if (!os::GetFolderSecurityA(path, security)) return false;
  if (!security.kept) return true;
  const auto listed = [&](os::Trustee t) {
    return std::find(trustees.begin(), trustees.end(), t) != trustees.end();
  };
  return security.ownerKnown && listed(security.owner) && security.hasList && !security.othersListed &&
         std::all_of(security.allowed.begin(), security.allowed.end(), listed);
}

}  // namespace

bool CreateOwnFolder(const std::string& path) {
  if (!IsNtFamily(GetWinVersion())) return os::CreateDirectoryA(path);
  const std::vector<os::Trustee> trustees{os::Trustee::Administrators, os::Trustee::LocalSystem,
                                          os::Trustee::CurrentUser};
  if (!os::CreateDirectoryForA(path, trustees)) return false;
  if (PrivateAsMade(path, trustees)) return true;
  os::RemoveDirectoryA(path);  // a folder others may use is no private folder
  os::SetLastError(os::kErrorAccessDenied);
  return false;
}

std::string CreateNumberedOwnFolder(const std::string& base, int most) {
  for (int number = 1; number <= most; ++number) {
    const std::string folder = base + std::to_string(number);
    if (CreateOwnFolder(folder)) return folder;
    const std::uint32_t error = os::GetLastError();
    if (error != os::kErrorAlreadyExists && error != os::kErrorFileExists) return "";
  }
  return "";
}

namespace {

// Creates the folder's missing parents and the folder, recording each one
// made; false at the first that cannot be made.
bool CreateChain(std::string folder, std::vector<std::string>& created) {
  while (folder.size() > 3 && EndsWithBackslash(folder)) folder = StripBackslash(folder);
  if (folder.size() <= 3) return FolderExists(AddBackslash(folder));
  if (FolderExists(folder)) return true;
  const std::string parent = ExtractFilePath(folder);
  if (parent.size() >= folder.size() || !CreateChain(parent, created)) return false;
  if (!os::CreateDirectoryA(folder)) return false;
  created.push_back(folder);
  return true;
}

}  // namespace

bool FolderCanBeCreated(const std::string& path) {
  std::vector<std::string> created;
  bool ok = CreateChain(path, created);
  for (auto folder = created.rbegin(); folder != created.rend(); ++folder) os::RemoveDirectoryA(*folder);
  return ok;
}

void ListTree(const std::string& mask, std::vector<std::string>& list, const std::string& startPath) {
  std::string search = mask;
  if (!search.empty() && search.front() == '[') search.erase(0, 1);
  if (EndsWithChar(search, ']')) search.pop_back();
  std::string prefix = search;
  if (!prefix.empty() && prefix.front() == '\\') prefix.erase(0, 1);

  os::FindData found;
  os::UniqueFind find(os::FindFirstFileA(search, found));
  if (!find) return;
  do {
    const std::string& name = found.name;
    if (IsDotEntry(name)) continue;
    if (found.attributes & os::kAttrDirectory) {
      DropAnyMask(prefix);
      std::string folder;
      if (prefix == startPath) {
        folder = prefix;
        list.push_back("[" + prefix);
      } else {
        prefix = AddBackslash(prefix);
        folder = prefix + name;
        // A start-up folder is emptied but kept.
        if (LowerText(name).find("startup") == std::string::npos) list.push_back("[" + folder);
      }
      // A linked folder is removed as a link; what it points to lies outside the tree.
      if (!(found.attributes & os::kAttrReparsePoint)) ListTree(folder + "\\*.*", list, startPath);
    } else {
      DropAnyMask(prefix);
      list.push_back(prefix + name);
    }
  } while (os::FindNextFileA(find.get(), found));
}

void RemoveTree(const std::string& path, const std::string& /*unused*/, int code) {
  std::vector<std::string> tree;
  if (FileFound(path))
    tree.push_back(path);
  else
    ListTree(path, tree, path);

  if (code == kRemoveTreeConfirm && !tree.empty()) {
    for (const std::string& entry : tree) {
      if (entry.empty() || entry.front() == '[') continue;
      // A file that refuses (read-only) loses read-only, hidden and system
      // and is tried again; failures are ignored.
      if (os::DeleteFileA(entry)) continue;
      os::SetFileAttributesA(entry, os::kAttrArchive);
      os::DeleteFileA(entry);  // a file that stays keeps its folder, which the caller sees
    }
    std::vector<std::string> folders;
    for (auto it = tree.rbegin(); it != tree.rend(); ++it)
      if (!it->empty() && it->front() == '[') folders.push_back(it->substr(1));
    for (const std::string& folder : folders) os::RemoveDirectoryA(folder);  // a non-empty folder stays
  }
  os::RemoveDirectoryA(path + "\\");  // last attempt; fails harmlessly on a file or a non-empty folder
}
