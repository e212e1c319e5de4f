// Internal state of the in-memory Windows, shared by its source files.
#pragma once
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "os/OsFiles.h"
#include "os/OsLibrary.h"
#include "os/OsSystem.h"
#include "os/OsTypes.h"
#include "os/fake/FakeFileBytes.h"

namespace os::fake {

struct Node {
  bool folder = false;
  std::string name;       // last path component as created
  std::string shortName;  // generated 8.3 name, empty when name is one
  std::uint32_t attributes = 0;
  FileBytes data;
  FileTime creationTime, lastAccessTime, lastWriteTime;
  std::uint64_t order = 0;  // creation order: the enumeration order
  bool inUse = false;
  int openWriters = 0;
  int openReaders = 0;
  std::vector<Trustee> trustees;  // a folder's own access list, a file's inherited one; empty: none
  bool listProtected = false;     // that list takes nothing from the parent
};

struct OpenFile {
  std::string key;
  std::uint64_t position = 0;
  bool canRead = false, canWrite = false;
};

struct Library {
  std::string key;
  std::map<std::string, Proc> exports;
  int loads = 0;
  int refs = 0;
};

struct State {
  std::map<std::string, Node> nodes;  // key: upper-case full path, "C:" for a root
  // Every short name given, as its folder's key, a backslash and the name: a new one is checked
  // against them at once. And for each basis of a short name (folder, six characters, extension) the lowest
  // number worth trying, which stays right until a node goes (then all are forgotten).
  std::set<std::string> shortNames;
  std::map<std::string, int> shortNameFrom;
  std::map<Handle, OpenFile> files;
  std::uint64_t nextOrder = 1;
  Handle nextHandle = 0x100;
  FileTime clock;
  std::uint32_t ticks = 0;  // GetTickCount
  int biasMinutes = 0;
  std::string currentDirectory = "C:\\";
  bool copiesKeepAttributes = false;

  OsVersionInfo version;
  MachineSize machine{2, 256ull << 20};
  int failVersionQueries = 0;
  int versionQueries = 0;
  std::map<std::string, std::string> profileCache;  // upper-case path -> the content Windows holds for it
  std::string moduleFileName;
  bool currentFolderOffLibrarySearch = false;
  bool folderListsIgnored = false;  // CreateDirectoryForA drops the list, as a careless system would
  bool volumeKeepsSecurity = true;  // false: a FAT volume
  std::string windowsDirectory, systemDirectory;
  int threadToken = 0, processToken = 0;  // TokenState values
  std::vector<Sid> threadGroups, processGroups;
  bool failGroupQueries = false;
  std::map<Handle, std::vector<Sid>> tokens;

  std::map<std::string, Library> libraries;  // key: upper-case path
  std::map<Handle, std::string> loadedModules;
  // Gives the exports of a file that is not a library added beforehand.
  std::function<std::optional<std::map<std::string, Proc>>(const std::string& path)> libraryLoader;

  // The state of the other areas (disk, registry, session, shell, windows,
  // code page), each made on first use: Reset() drops them with the rest.
  std::map<const void*, std::shared_ptr<void>> areas;  // by AreaKey<T>()
};

// The in-memory Windows: one state object, which Reset() replaces whole.
State& TheState();

// A key of its own for each area's type (the cross build has no run-time type information).
template <typename T>
const void* AreaKey() {
  static const char key = 0;
  return &key;
}

// An area's state of type T inside the one state object.
template <typename T>
T& AreaState() {
  std::shared_ptr<void>& area = TheState().areas[AreaKey<T>()];
  if (!area) area = std::make_shared<T>();
  return *static_cast<T*>(area.get());
}
// Full, upper-cased key of a path: resolves a relative path against the
// current folder, drops "." parts and a trailing backslash.
std::string KeyOf(const std::string& path);
std::string ParentKey(const std::string& key);
Handle NewHandle();
// A copy with the ASCII letters a-z made upper case, the second bytes of
// double-byte characters left alone: the fake compares names so.
std::string Upper(std::string text);
// The code page's rules for names (FakeCodePage.cpp): a lead byte, and the
// backslashes that separate parts (never the second byte of a character).
bool IsLeadByte(char c);
std::size_t NextBackslash(const std::string& text, std::size_t from);
std::size_t LastBackslash(const std::string& text);
bool EndsWithBackslash(const std::string& text);
// The path before its last part ("\" and "/" both separate), trailing separators ignored; "" when
// it has one part.
std::string ParentPath(const std::string& path);
// The text without the single-byte characters listed; its first characters that fit in `limit`
// bytes (8.3 names are made so).
std::string WithoutChars(const std::string& text, const char* dropped);
std::string WholeCharsPrefix(const std::string& text, std::size_t limit);
void Fail(std::uint32_t error);  // sets the last error

}  // namespace os::fake
