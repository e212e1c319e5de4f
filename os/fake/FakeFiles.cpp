// The in-memory file system: folders, files, attributes, times, searches,
// share locks and 8.3 names.
#include <algorithm>
#include <cstring>

#include "os/OsFiles.h"
#include "os/fake/FakeControl.h"
#include "os/fake/FakeState.h"

namespace os::fake {
namespace {

thread_local std::uint32_t lastError = 0;

std::string LastPart(const std::string& key) {
  auto pos = LastBackslash(key);
  return pos == std::string::npos ? key : key.substr(pos + 1);
}

// Calls visit(key, node) for each node directly inside the folder with the given key. The map
// keeps a folder's whole subtree together (every key below it starts with its key and a
// backslash), so this passes over that subtree only, never over the whole disk: a search in a
// folder of thousands of files costs what the folder holds, not what the disk holds.
template <typename Visit>
void ForEachChild(const std::string& folderKey, Visit visit) {
  auto& nodes = TheState().nodes;
  const std::string prefix = folderKey + "\\";
  for (auto it = nodes.lower_bound(prefix);
       it != nodes.end() && it->first.compare(0, prefix.size(), prefix) == 0; ++it)
    if (ParentKey(it->first) == folderKey && visit(it->first, it->second)) return;
}

bool IsShortName(const std::string& name) {
  auto dot = name.find('.');
  std::string base = name.substr(0, dot);
  std::string ext = dot == std::string::npos ? "" : name.substr(dot + 1);
  if (base.empty() || base.size() > 8 || ext.size() > 3 || ext.find('.') != std::string::npos) return false;
  for (std::size_t i = 0; i < name.size(); ++i) {
    const char c = name[i];
    if (IsLeadByte(c)) {
      ++i;  // a double-byte character may stand in a short name, whatever its second byte
      continue;
    }
    if (c == ' ' || c == '+' || c == ',' || c == ';' || c == '=' || c == '[' || c == ']' ||
        (c >= 'a' && c <= 'z'))
      return false;
  }
  return true;
}

std::string MakeShortName(const std::string& parentKey, const std::string& name) {
  if (IsShortName(name)) return "";
  const char* const kDropped = " .+,;=[]";
  std::string clean = WithoutChars(Upper(name), kDropped);
  auto dot = name.find_last_of('.');
  std::string ext;
  if (dot != std::string::npos) {
    ext = WholeCharsPrefix(WithoutChars(Upper(name.substr(dot + 1)), " "), 3);
    clean = WithoutChars(Upper(name.substr(0, dot)), kDropped);
  }
  State& s = TheState();
  // The candidates depend on the first six characters and the extension alone.
  int& from = s.shortNameFrom[parentKey + "|" + WholeCharsPrefix(clean, 6) + "|" + ext];
  for (int n = std::max(from, 1); n < 1000000; ++n) {
    std::string tail = "~" + std::to_string(n);
    std::string candidate = WholeCharsPrefix(clean, 8 - std::min<size_t>(tail.size(), 7)) + tail;
    if (!ext.empty()) candidate += "." + ext;
    const std::string key = parentKey + "\\" + candidate;
    if (!s.nodes.count(key) && !s.shortNames.count(key)) {
      from = n + 1;  // the caller gives this one out
      return candidate;
    }
  }
  return "";
}

bool WildMatch(const char* pattern, const char* text) {
  // Windows matching, case-insensitive; "*.*" also matches names without a dot.
  if (std::strcmp(pattern, "*.*") == 0) return true;
  while (*pattern) {
    if (*pattern == '*') {
      ++pattern;
      if (!*pattern) return true;
      for (const char* t = text; *t; ++t)
        if (WildMatch(pattern, t)) return true;
      return WildMatch(pattern, text + std::strlen(text));
    }
    if (!*text) {
      // trailing ".*" or "." matches the end of a name without an extension
      return std::strcmp(pattern, ".*") == 0 || std::strcmp(pattern, ".") == 0;
    }
    char p = *pattern, t = *text;
    if (p >= 'a' && p <= 'z') p = static_cast<char>(p - 32);
    if (t >= 'a' && t <= 'z') t = static_cast<char>(t - 32);
    if (p != '?' && p != t) return false;
    ++pattern;
    ++text;
  }
  return *text == 0;
}

// A node's short name in use, or no longer: a node that goes may free a number below the ones
// remembered for its basis, so those are forgotten.
void KeepShortName(const std::string& key, const Node& node) {
  if (!node.shortName.empty()) TheState().shortNames.insert(ParentKey(key) + "\\" + Upper(node.shortName));
}
void DropShortName(const std::string& key, const Node& node) {
  if (!node.shortName.empty()) TheState().shortNames.erase(ParentKey(key) + "\\" + Upper(node.shortName));
  TheState().shortNameFrom.clear();
}

Node* Find(const std::string& path) {
  auto& nodes = TheState().nodes;
  auto it = nodes.find(KeyOf(path));
  return it == nodes.end() ? nullptr : &it->second;
}

bool ParentIsFolder(const std::string& key) {
  auto parent = ParentKey(key);
  if (parent.empty()) return false;
  auto* node = Find(parent);
  return node && node->folder;
}

// The access list a file created in the folder inherits: that of the nearest folder, it or above
// it, that has one of its own.
std::vector<Trustee> InheritedTrustees(std::string folderKey) {
  for (; !folderKey.empty(); folderKey = ParentKey(folderKey)) {
    auto it = TheState().nodes.find(folderKey);
    if (it != TheState().nodes.end() && !it->second.trustees.empty()) return it->second.trustees;
  }
  return {};
}

Node& Create(const std::string& key, const std::string& displayName, bool folder) {
  auto& s = TheState();
  Node node;
  node.folder = folder;
  node.name = displayName;
  node.shortName = MakeShortName(ParentKey(key), displayName);
  node.attributes = folder ? kAttrDirectory : kAttrArchive;
  node.creationTime = node.lastAccessTime = node.lastWriteTime = s.clock;
  node.order = s.nextOrder++;
  if (!folder) node.trustees = InheritedTrustees(ParentKey(key));
  KeepShortName(key, node);
  return s.nodes[key] = node;
}

// Windows drops the periods and blanks that end a name: "Program Files." is
// "Program Files", and "." or "..." name the folder itself.
std::string TrimmedPart(std::string part) {
  if (part.size() == 2 && part[1] == ':') return part;
  while (!part.empty() && (part.back() == '.' || part.back() == ' ')) part.pop_back();
  return part;
}

std::string DisplayName(const std::string& path) {
  std::string p = path;
  for (char& c : p)
    if (c == '/') c = '\\';
  while (p.size() > 1 && EndsWithBackslash(p)) p.pop_back();
  return TrimmedPart(LastPart(p));
}

// Characters no file or folder name may hold.
bool IsValidName(const std::string& name) {
  for (std::size_t i = 0; i < name.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(name[i]);
    if (IsLeadByte(name[i]) && i + 1 < name.size()) {
      ++i;  // a double-byte character, whatever its second byte
      continue;
    }
    if (c < 0x20 || std::strchr("<>|\"*?:/", c)) return false;
  }
  return !name.empty();
}

bool HasChildren(const std::string& key) {
  bool found = false;
  ForEachChild(key, [&](const std::string&, const Node&) { return found = true; });
  return found;
}

struct Search {
  std::vector<std::string> keys;
  size_t next = 0;
};
std::map<Handle, Search> searches;

void Fill(const std::string& key, const Node& node, FindData& found) {
  found.attributes = node.attributes;
  found.creationTime = node.creationTime;
  found.lastAccessTime = node.lastAccessTime;
  found.lastWriteTime = node.lastWriteTime;
  found.size = node.data.size();
  found.name = node.name;
  found.shortName = node.shortName;
}

// Civil date from days since 1970-01-01 and back.
void CivilFromDays(std::int64_t z, int& y, unsigned& m, unsigned& d) {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = doy - (153 * mp + 2) / 5 + 1;
  m = mp < 10 ? mp + 3 : mp - 9;
  y = static_cast<int>(yoe + era * 400 + (m <= 2));
}

std::int64_t DaysFromCivil(int y, unsigned m, unsigned d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

constexpr std::uint64_t kTicksPerSecond = 10000000ull;
constexpr std::int64_t kEpochDiffSeconds = 11644473600ll;  // 1601 to 1970

OpenFile* Open(Handle h) {
  auto& files = TheState().files;
  auto it = files.find(h);
  return it == files.end() ? nullptr : &it->second;
}

}  // namespace

std::string KeyOf(const std::string& path) {
  std::string p = path;
  for (char& c : p)
    if (c == '/') c = '\\';
  if (!(p.size() >= 2 && p[1] == ':')) {
    std::string base = TheState().currentDirectory;
    if (!p.empty() && p[0] == '\\')
      p = base.substr(0, 2) + p;
    else
      p = (EndsWithBackslash(base) ? base : base + "\\") + p;
  }
  // split and rebuild, dropping "." and resolving ".."
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= p.size()) {
    size_t end = NextBackslash(p, start);
    if (end == std::string::npos) end = p.size();
    std::string part = p.substr(start, end - start);
    if (part == "..") {
      if (parts.size() > 1) parts.pop_back();
    } else if (!(part = TrimmedPart(part)).empty()) {
      parts.push_back(part);
    }
    start = end + 1;
  }
  // A part may be the 8.3 name of an existing file or folder, as on Windows.
  const auto& nodes = TheState().nodes;
  std::string key;
  for (size_t i = 0; i < parts.size(); ++i) {
    std::string next = (i ? key + "\\" : "") + Upper(parts[i]);
    if (i > 0 && parts[i].find('~') != std::string::npos && !nodes.count(next)) {
      ForEachChild(key, [&](const std::string& nodeKey, const Node& node) {
        if (node.shortName.empty() || Upper(node.shortName) != Upper(parts[i])) return false;
        next = nodeKey;
        return true;
      });
    }
    key = next;
  }
  return key;
}

std::string ParentKey(const std::string& key) {
  auto pos = LastBackslash(key);
  return pos == std::string::npos ? "" : key.substr(0, pos);
}

void Fail(std::uint32_t error) { lastError = error; }

// --- control ----------------------------------------------------------------

void AddDrive(char letter) {
  std::string key = Upper(std::string(1, letter)) + ":";
  if (!TheState().nodes.count(key)) Create(key, key, true);
}

void AddFolder(const std::string& path) {
  std::string key = KeyOf(path);
  if (key.size() <= 2) {
    AddDrive(key[0]);
    return;
  }
  AddFolder(ParentPath(path));
  if (!TheState().nodes.count(key)) Create(key, DisplayName(path), true);
}

void AddFile(const std::string& path, const std::string& content, std::uint32_t attributes) {
  std::string key = KeyOf(path);
  AddFolder(ParentPath(path));
  Node* node = Find(path);
  if (!node) node = &Create(key, DisplayName(path), false);
  node->data = FileBytes(content);
  node->attributes = attributes;
  node->lastWriteTime = TheState().clock;
}

void AddHostFile(const std::string& path, const std::string& hostPath, std::uint64_t size) {
  AddFile(path, "");
  Find(path)->data = FileBytes::OfHostFile(hostPath, size);
}

bool Exists(const std::string& path) { return Find(path) != nullptr; }
void IgnoreFolderLists(bool ignored) { TheState().folderListsIgnored = ignored; }
void SetVolumeKeepsSecurity(bool kept) { TheState().volumeKeepsSecurity = kept; }
std::vector<Trustee> FolderTrustees(const std::string& path) {
  auto* n = Find(path);
  return n ? n->trustees : std::vector<Trustee>{};
}
std::string Content(const std::string& path) {
  auto* n = Find(path);
  return n ? n->data.str() : "";
}
std::uint32_t Attributes(const std::string& path) {
  auto* n = Find(path);
  return n ? n->attributes : kInvalidFileAttributes;
}
void SetLastWriteTime(const std::string& path, const FileTime& time) {
  if (auto* n = Find(path)) n->lastWriteTime = time;
}
FileTime LastWriteTime(const std::string& path) {
  auto* n = Find(path);
  return n ? n->lastWriteTime : FileTime{};
}
void SetInUse(const std::string& path, bool inUse) {
  if (auto* n = Find(path)) n->inUse = inUse;
}
void SetCopiesKeepAttributes(bool keep) { TheState().copiesKeepAttributes = keep; }
void SetClock(const FileTime& now) { TheState().clock = now; }
void SetTimeZoneBiasMinutes(int minutesEast) { TheState().biasMinutes = minutesEast; }

std::vector<std::string> List(const std::string& folder) {
  std::string key = KeyOf(folder);
  std::vector<std::pair<std::uint64_t, std::string>> found;
  ForEachChild(key, [&](const std::string&, const Node& node) {
    found.emplace_back(node.order, node.name);
    return false;
  });
  std::sort(found.begin(), found.end());
  std::vector<std::string> names;
  for (auto& f : found) names.push_back(f.second);
  return names;
}

FileTime MakeFileTime(int year, int month, int day, int hour, int minute, int second) {
  std::int64_t days = DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day));
  std::int64_t seconds = days * 86400 + hour * 3600 + minute * 60 + second + kEpochDiffSeconds;
  return FileTime{static_cast<std::uint64_t>(seconds) * kTicksPerSecond};
}

}  // namespace os::fake

namespace os {
using namespace os::fake;

std::uint32_t GetLastError() { return fake::lastError; }
void SetLastError(std::uint32_t code) { fake::lastError = code; }

std::uint32_t GetFileAttributesA(const std::string& path) {
  if (auto* n = Find(path)) return n->attributes;
  Fail(ParentIsFolder(KeyOf(path)) ? kErrorFileNotFound : kErrorPathNotFound);
  return kInvalidFileAttributes;
}

bool SetFileAttributesA(const std::string& path, std::uint32_t attributes) {
  auto* n = Find(path);
  if (!n) return Fail(kErrorFileNotFound), false;
  std::uint32_t keep = n->attributes & kAttrDirectory;
  attributes &= kAttrReadonly | kAttrHidden | kAttrSystem | kAttrArchive |
                kAttrNormal;
  if (attributes == kAttrNormal) attributes = keep ? 0 : kAttrNormal;
  n->attributes = keep | attributes;
  return true;
}

bool CreateDirectoryA(const std::string& path) {
  std::string key = KeyOf(path);
  if (Find(path)) return Fail(kErrorAlreadyExists), false;
  if (!IsValidName(DisplayName(path))) return Fail(kErrorInvalidName), false;
  if (!ParentIsFolder(key)) return Fail(kErrorPathNotFound), false;
  Create(key, DisplayName(path), true);
  return true;
}

bool CreateDirectoryForA(const std::string& path, const std::vector<Trustee>& trustees) {
  if (!CreateDirectoryA(path)) return false;
  if (TheState().folderListsIgnored || !TheState().volumeKeepsSecurity) return true;
  Find(path)->trustees = trustees;
  Find(path)->listProtected = true;
  return true;
}

bool GetFolderSecurityA(const std::string& path, FolderSecurity& security) {
  security = FolderSecurity{};
  const OsVersionInfo& v = TheState().version;
  if (v.platformId != 2) return Fail(kErrorCallNotImplemented), false;
  Node* node = Find(path);
  if (!node) return Fail(kErrorFileNotFound), false;
  security.kept = TheState().volumeKeepsSecurity;
  security.ownerKnown = true;
  security.owner = Trustee::CurrentUser;
  security.hasList = true;
  security.protectionKnown = v.majorVersion >= 5;
  security.protectedList = node->listProtected && security.protectionKnown;
  security.allowed = node->trustees;
  // Without a list of its own a folder carries its parent's inheritable entries (Users may create
  // files in TEMP).
  security.othersListed = node->trustees.empty();
  return true;
}

bool SetInheritedSecurityA(const std::string& path) {
  const OsVersionInfo& v = TheState().version;
  if (v.platformId != 2 || v.majorVersion < 5) return Fail(kErrorCallNotImplemented), false;
  auto* n = Find(path);
  if (!n) return Fail(kErrorFileNotFound), false;
  n->trustees = InheritedTrustees(ParentKey(KeyOf(path)));
  return true;
}

bool GetLongPathNameA(const std::string& path, std::string& longPath) {
  // The first Windows 95 and NT 4.0 lack the call.
  const OsVersionInfo& v = TheState().version;
  if ((v.platformId == 1 && v.majorVersion == 4 && v.minorVersion == 0) || (v.platformId == 2 && v.majorVersion < 5))
    return Fail(kErrorCallNotImplemented), false;
  std::string key = KeyOf(path);
  if (!Find(path)) return Fail(ParentIsFolder(key) ? kErrorFileNotFound : kErrorPathNotFound), false;
  // Each part's long name, from the drive down.
  std::vector<std::string> names;
  for (std::string k = key; k.size() > 2; k = ParentKey(k)) names.insert(names.begin(), TheState().nodes.at(k).name);
  longPath = key.substr(0, 2);
  for (const std::string& name : names) longPath += "\\" + name;
  if (names.empty()) longPath += "\\";
  return true;
}

bool RemoveDirectoryA(const std::string& path) {
  std::string key = KeyOf(path);
  auto* n = Find(path);
  if (!n) return Fail(kErrorFileNotFound), false;
  if (!n->folder) return Fail(267 /* ERROR_DIRECTORY */), false;
  if (key.size() <= 2) return Fail(kErrorAccessDenied), false;
  if (HasChildren(key)) return Fail(kErrorDirNotEmpty), false;
  if (KeyOf(TheState().currentDirectory) == key) return Fail(32), false;
  DropShortName(key, *n);
  TheState().nodes.erase(key);
  return true;
}

bool DeleteFileA(const std::string& path) {
  auto* n = Find(path);
  if (!n) return Fail(ParentIsFolder(KeyOf(path)) ? kErrorFileNotFound : kErrorPathNotFound), false;
  if (n->folder || (n->attributes & kAttrReadonly)) return Fail(kErrorAccessDenied), false;
  if (n->inUse || n->openWriters || n->openReaders) return Fail(kErrorSharingViolation), false;
  DropShortName(KeyOf(path), *n);
  TheState().nodes.erase(KeyOf(path));
  return true;
}

bool CopyFileA(const std::string& from, const std::string& to, bool failIfExists) {
  auto* src = Find(from);
  if (!src || src->folder) return Fail(kErrorFileNotFound), false;
  if (src->openWriters) return Fail(kErrorSharingViolation), false;
  std::string toKey = KeyOf(to);
  auto* dst = Find(to);
  if (dst) {
    if (failIfExists) return Fail(kErrorFileExists), false;
    if (dst->folder || ((dst->attributes & kAttrReadonly) && !TheState().copiesKeepAttributes))
      return Fail(kErrorAccessDenied), false;
    if (dst->inUse || dst->openWriters || dst->openReaders) return Fail(kErrorSharingViolation), false;
    if (TheState().copiesKeepAttributes) {
      dst->data = src->data;
      dst->lastWriteTime = src->lastWriteTime;
      return true;
    }
  } else {
    if (!ParentIsFolder(toKey)) return Fail(kErrorPathNotFound), false;
    dst = &Create(toKey, DisplayName(to), false);
    src = Find(from);  // the map may have moved nothing, but look again for clarity
  }
  dst->data = src->data;
  dst->attributes = src->attributes | kAttrArchive;
  dst->lastWriteTime = src->lastWriteTime;
  return true;
}

bool MoveFileA(const std::string& from, const std::string& to) {
  auto* src = Find(from);
  if (!src) return Fail(kErrorFileNotFound), false;
  if (src->inUse || src->openWriters || src->openReaders) return Fail(kErrorSharingViolation), false;
  if (Find(to)) return Fail(kErrorAlreadyExists), false;
  std::string fromKey = KeyOf(from), toKey = KeyOf(to);
  if (!ParentIsFolder(toKey)) return Fail(kErrorPathNotFound), false;
  auto& nodes = TheState().nodes;
  std::vector<std::pair<std::string, Node>> moved;
  // The node and its subtree, which the map keeps together after it.
  for (auto it = nodes.find(fromKey);
       it != nodes.end() && (it->first == fromKey || it->first.rfind(fromKey + "\\", 0) == 0);) {
    moved.emplace_back(toKey + it->first.substr(fromKey.size()), it->second);
    DropShortName(it->first, it->second);
    it = nodes.erase(it);
  }
  for (auto& [key, node] : moved) {
    if (key == toKey) {
      node.name = DisplayName(to);
      node.shortName = MakeShortName(ParentKey(toKey), node.name);
    }
    KeepShortName(key, node);
    nodes[key] = node;
  }
  return true;
}

bool SetCurrentDirectoryA(const std::string& path) {
  auto* n = Find(path);
  if (!n || !n->folder) return Fail(kErrorPathNotFound), false;
  std::string key = KeyOf(path);
  TheState().currentDirectory = key.size() == 2 ? key + "\\" : key;
  return true;
}

std::string GetCurrentDirectoryA() { return TheState().currentDirectory; }

bool FindClose(Handle find) { return fake::searches.erase(find) == 1; }

Handle FindFirstFileA(const std::string& pattern, FindData& found) {
  std::string p = pattern;
  for (char& c : p)
    if (c == '/') c = '\\';
  auto slash = LastBackslash(p);
  std::string folderPart = slash == std::string::npos ? "" : p.substr(0, slash + 1);
  std::string mask = slash == std::string::npos ? p : p.substr(slash + 1);
  if (mask.empty()) return Fail(kErrorFileNotFound), kInvalidFind;
  std::string folderKey = KeyOf(folderPart.empty() ? "." : folderPart);
  auto* folder = Find(folderPart.empty() ? "." : folderPart);
  if (!folder || !folder->folder) return Fail(kErrorPathNotFound), kInvalidFind;
  std::vector<std::pair<std::uint64_t, std::string>> hits;
  const auto matches = [&](const std::string& key, const Node& node) {
    if (WildMatch(mask.c_str(), node.name.c_str()) ||
        (!node.shortName.empty() && WildMatch(mask.c_str(), node.shortName.c_str())))
      hits.emplace_back(node.order, key);
    return false;
  };
  if (mask.find_first_of("*?") == std::string::npos && mask != "." && mask != "..") {
    // One name: the node it names, if any, without passing over the folder.
    const std::string key = KeyOf(folderKey + "\\" + mask);
    if (auto it = TheState().nodes.find(key); it != TheState().nodes.end() && ParentKey(key) == folderKey)
      matches(key, it->second);
  } else {
    ForEachChild(folderKey, matches);
  }
  std::sort(hits.begin(), hits.end());
  if (folderKey.size() > 2) {  // every folder but a drive root lists "." and ".." first
    if (WildMatch(mask.c_str(), "..")) hits.insert(hits.begin(), {0, ".."});
    if (WildMatch(mask.c_str(), ".")) hits.insert(hits.begin(), {0, "."});
  }
  if (hits.empty()) return Fail(kErrorFileNotFound), kInvalidFind;
  fake::Search search;
  for (auto& h : hits) search.keys.push_back(h.second);
  Handle h = NewHandle();
  fake::searches[h] = search;
  FindNextFileA(h, found);
  return h;
}

bool FindNextFileA(Handle find, FindData& found) {
  auto it = fake::searches.find(find);
  if (it == fake::searches.end()) return Fail(kErrorInvalidHandle), false;
  auto& s = it->second;
  while (s.next < s.keys.size()) {
    const std::string& key = s.keys[s.next++];
    if (key == "." || key == "..") {
      Node dots;
      dots.name = key;
      dots.attributes = kAttrDirectory;
      Fill(key, dots, found);
      return true;
    }
    auto node = TheState().nodes.find(key);
    if (node == TheState().nodes.end()) continue;  // deleted meanwhile
    Fill(key, node->second, found);
    return true;
  }
  return Fail(kErrorNoMoreFiles), false;
}

bool FileTimeToLocalFileTime(const FileTime& utc, FileTime& local) {
  std::int64_t bias = static_cast<std::int64_t>(TheState().biasMinutes) * 60 * static_cast<std::int64_t>(kTicksPerSecond);
  local.ticks = static_cast<std::uint64_t>(static_cast<std::int64_t>(utc.ticks) + bias);
  return true;
}

bool LocalFileTimeToFileTime(const FileTime& local, FileTime& utc) {
  std::int64_t bias = static_cast<std::int64_t>(TheState().biasMinutes) * 60 * static_cast<std::int64_t>(kTicksPerSecond);
  utc.ticks = static_cast<std::uint64_t>(static_cast<std::int64_t>(local.ticks) - bias);
  return true;
}

bool FileTimeToDosDateTime(const FileTime& time, std::uint16_t& dosDate, std::uint16_t& dosTime) {
  std::int64_t seconds = static_cast<std::int64_t>(time.ticks / kTicksPerSecond) - kEpochDiffSeconds;
  std::int64_t days = seconds >= 0 ? seconds / 86400 : (seconds - 86399) / 86400;
  std::int64_t rest = seconds - days * 86400;
  int y;
  unsigned m, d;
  CivilFromDays(days, y, m, d);
  if (y < 1980 || y > 2107) return Fail(kErrorInvalidParameter), false;
  dosDate = static_cast<std::uint16_t>(((y - 1980) << 9) | (m << 5) | d);
  dosTime = static_cast<std::uint16_t>(((rest / 3600) << 11) | (((rest / 60) % 60) << 5) | ((rest % 60) / 2));
  return true;
}

bool DosDateTimeToFileTime(std::uint16_t dosDate, std::uint16_t dosTime, FileTime& time) {
  int year = 1980 + (dosDate >> 9);
  int month = (dosDate >> 5) & 15, day = dosDate & 31;
  int hour = dosTime >> 11, minute = (dosTime >> 5) & 63, second = (dosTime & 31) * 2;
  if (month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 59)
    return Fail(kErrorInvalidParameter), false;
  time = MakeFileTime(year, month, day, hour, minute, second);
  return true;
}

bool CloseHandle(Handle handle) {
  auto* f = Open(handle);
  if (!f) return Fail(kErrorInvalidHandle), false;
  if (auto it = TheState().nodes.find(f->key); it != TheState().nodes.end()) {
    if (f->canWrite) --it->second.openWriters;
    if (f->canRead && !f->canWrite) --it->second.openReaders;
  }
  TheState().files.erase(handle);
  return true;
}

Handle CreateFileA(const std::string& path, Access access, Disposition disposition) {
  std::string key = KeyOf(path);
  Node* n = Find(path);
  bool write = access != Access::Read;
  if (n && n->folder) return Fail(kErrorAccessDenied), kInvalidFile;
  if (n && (n->inUse || n->openWriters || (write && n->openReaders)) && (write || n->openWriters))
    return Fail(kErrorSharingViolation), kInvalidFile;
  if (n && write && (n->attributes & kAttrReadonly)) return Fail(kErrorAccessDenied), kInvalidFile;
  switch (disposition) {
    case Disposition::CreateNew:
      if (n) return Fail(kErrorFileExists), kInvalidFile;
      break;
    case Disposition::OpenExisting:
      if (!n) return Fail(ParentIsFolder(key) ? kErrorFileNotFound : kErrorPathNotFound), kInvalidFile;
      break;
    default:
      break;
  }
  if (!n) {
    if (!write) return Fail(kErrorFileNotFound), kInvalidFile;
    if (!ParentIsFolder(key)) return Fail(kErrorPathNotFound), kInvalidFile;
    n = &Create(key, DisplayName(path), false);
  } else if (disposition == Disposition::CreateAlways) {
    n->data.clear();
    n->lastWriteTime = TheState().clock;
  }
  if (write) ++n->openWriters; else ++n->openReaders;
  Handle h = NewHandle();
  TheState().files[h] = OpenFile{key, 0, access != Access::Write, write};
  return h;
}

bool ReadFile(Handle file, void* buffer, std::uint32_t length, std::uint32_t& read) {
  read = 0;
  auto* f = Open(file);
  if (!f || !f->canRead) return Fail(kErrorInvalidHandle), false;
  read = static_cast<std::uint32_t>(TheState().nodes.at(f->key).data.ReadAt(f->position, buffer, length));
  f->position += read;
  return true;
}

bool WriteFile(Handle file, const void* buffer, std::uint32_t length, std::uint32_t& written) {
  written = 0;
  auto* f = Open(file);
  if (!f || !f->canWrite) return Fail(kErrorInvalidHandle), false;
  auto& node = TheState().nodes.at(f->key);
  if (!node.data.WriteAt(f->position, buffer, length)) return Fail(kErrorDiskFull), false;
  f->position += length;
  written = length;
  node.lastWriteTime = TheState().clock;
  return true;
}

bool SetFilePointer(Handle file, std::uint64_t offset) {
  auto* f = Open(file);
  if (!f) return Fail(kErrorInvalidHandle), false;
  f->position = offset;
  return true;
}

bool GetFileSize(Handle file, std::uint64_t& size) {
  auto* f = Open(file);
  if (!f) return Fail(kErrorInvalidHandle), false;
  size = TheState().nodes.at(f->key).data.size();
  return true;
}

bool SetEndOfFile(Handle file) {
  auto* f = Open(file);
  if (!f || !f->canWrite) return Fail(kErrorInvalidHandle), false;
  if (!TheState().nodes.at(f->key).data.resize(f->position)) return Fail(kErrorDiskFull), false;
  return true;
}

bool GetFileTime(Handle file, FileTime& lastWrite) {
  auto* f = Open(file);
  if (!f) return Fail(kErrorInvalidHandle), false;
  lastWrite = TheState().nodes.at(f->key).lastWriteTime;
  return true;
}

bool SetFileTime(Handle file, const FileTime& lastWrite) {
  auto* f = Open(file);
  if (!f || !f->canWrite) return Fail(kErrorInvalidHandle), false;
  TheState().nodes.at(f->key).lastWriteTime = lastWrite;
  return true;
}

}  // namespace os
