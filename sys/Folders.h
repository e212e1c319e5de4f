// Folders, files and directory trees: the Windows and System folders, existence
// tests, creation of a folder chain, listing and removal of a whole tree.
#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <vector>

// The Windows folder as the system reports it (no trailing backslash except at a drive root).
std::string WindowsFolder();
std::string SystemFolder();
// The same with a trailing backslash.
std::string WindowsFolderBS();
std::string SystemFolderBS();

// True when a search for the path finds an entry that is not a folder and
// whose last-write time converts to a local MS-DOS date (1980-2107).
// Wildcards in the path match as in any search.
bool FileFound(const std::string& path);

// FileFound for many names in a few folders: a folder's files (those with
// the asked name's extension, or all of them) are read with one search the
// first time a name there is asked for, and the caller reports what it adds
// or deletes there itself. Names with wildcards are searched for each time.
class TFolderIndex {
 public:
  explicit TFolderIndex(bool byExtension) : byExtension_(byExtension) {}
  bool FileFound(const std::string& path);
  // The attributes the search found; kInvalidFileAttributes for a name it
  // did not find or that the caller added.
  std::uint32_t Attributes(const std::string& path);
  void Added(const std::string& path);
  void Removed(const std::string& path);

 private:
  using Names = std::map<std::string, std::uint32_t>;  // upper-cased name: attributes
  // The listing the path belongs to (nullptr when not read yet, unless
  // load is set) and the path's upper-cased name.
  Names* Listing(const std::string& path, bool load, std::string& name);
  bool byExtension_;
  std::map<std::string, Names> listings_;  // key: the search pattern, upper-cased
};

// True when the path names an existing folder; a file gives false.
bool FolderExists(const std::string& path);
// Creates the folder and every missing parent; failures are silent.
void ForceFolders(const std::string& path);
// Creates the folder, failing (last error kErrorAlreadyExists) when anything
// of that name exists already. On the NT family only Administrators, SYSTEM
// and the user who runs the program may use it and what is made inside,
// nothing of the parent's list merged in; the folder is read back, and one
// that came out otherwise is removed again (last error kErrorAccessDenied).
bool CreateOwnFolder(const std::string& path);

// True when nothing on the way from the folder (itself included) down to the path, the path
// itself included, is a reparse point: a junction, a symbolic link or a mount point would lead a
// delete or a write somewhere else than the path's text says. Parts that do not exist are no
// links. A path outside the folder is checked from its own folder down.
bool NoLinkOnTheWay(const std::string& folder, const std::string& path);

// The first base<n>, n counting from 1 up to most, that this call created
// itself with CreateOwnFolder: a name that is taken already, by anyone and
// even a moment ago, is passed over. "" when the parent refuses a folder or
// every name is taken.
std::string CreateNumberedOwnFolder(const std::string& base, int most);
// True when the folder exists or could be created with its missing parents:
// the test creates them and removes what it created again.
bool FolderCanBeCreated(const std::string& path);

// Appends the entries of the tree at mask to list: "[" + path for a folder
// (before its contents), the full path for a file. startPath is the path the
// listing started from; it stays the same through the recursion. Sub-folders
// whose name holds "startup" (any case) are not listed, but their contents are.
void ListTree(const std::string& mask, std::vector<std::string>& list, const std::string& startPath);

// The confirmation code that lets RemoveTree delete anything.
constexpr int kRemoveTreeConfirm = 103;
// Deletes the files and folders of the tree at path, then the folder itself;
// with a code other than kRemoveTreeConfirm only the (empty) top folder is
// removed. The second text is not used. Failures are silent.
void RemoveTree(const std::string& path, const std::string& unused, int code);
