// The in-memory Windows' short paths, delayed moves (recorded where Windows
// records them) and profile strings.
#include <algorithm>
#include <vector>

#include "os/OsDelayedFiles.h"
#include "os/OsFiles.h"
#include "os/OsRegistry.h"
#include "os/fake/FakeControl.h"
#include "os/fake/FakeState.h"

namespace os::fake {
namespace {

std::string Trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t");
  if (b == std::string::npos) return "";
  size_t e = s.find_last_not_of(" \t\r");
  return s.substr(b, e - b + 1);
}

const char* kSessionManager = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";

// Windows keeps delayed moves as pairs of NUL-terminated entries: the
// source and the target ("!" when the target may be replaced, empty to
// delete), the whole list ended by one more NUL.
bool RecordDelayedMove(const std::string& from, const std::string& to, std::uint32_t flags) {
  Hkey key = 0;
  if (os::RegCreateKeyExA(kHkeyLocalMachine, kSessionManager, kKeyAllAccess, key) != 0) return false;
  UniqueKey owner(key);
  // The list as long as it is: ask its size first, so nothing of it is lost.
  std::uint32_t type = 0, size = 0;
  os::RegQueryValueExA(key, "PendingFileRenameOperations", &type, nullptr, &size);
  std::string data(size, '\0');
  if (os::RegQueryValueExA(key, "PendingFileRenameOperations", &type, data.data(), &size) == 0 &&
      type == kRegMultiSz) {
    data.resize(size);
    // The pairs there are, each entry with its NUL (an empty target, a
    // deletion, included); only the NUL that ends the list goes.
    std::string pairs;
    for (std::size_t at = 0; at < data.size();) {
      const std::size_t sourceEnd = data.find('\0', at);
      if (sourceEnd == at || sourceEnd == std::string::npos) break;
      const std::size_t targetEnd = std::min(data.find('\0', sourceEnd + 1), data.size());
      pairs.append(data, at, targetEnd - at) += '\0';
      at = targetEnd + 1;
    }
    data = pairs;
  } else {
    data.clear();
  }
  data += "\\??\\" + from + '\0';
  if (!to.empty()) data += std::string((flags & kMoveFileReplaceExisting) ? "!" : "") + "\\??\\" + to;
  data += std::string(2, '\0');
  return os::RegSetValueExA(key, "PendingFileRenameOperations", kRegMultiSz, data.data(),
                            static_cast<std::uint32_t>(data.size())) == 0;
}

}  // namespace
}  // namespace os::fake

namespace os {
using namespace os::fake;

bool MoveFileExA(const std::string& from, const std::string& to, std::uint32_t flags) {
  if (os::GetFileAttributesA(from) == kInvalidFileAttributes) return false;  // last error set
  if (flags & kMoveFileDelayUntilReboot) {
    if (!RecordDelayedMove(from, to, flags)) return Fail(kErrorAccessDenied), false;
    return true;
  }
  if (to.empty()) return os::DeleteFileA(from);
  if ((flags & kMoveFileReplaceExisting) && os::GetFileAttributesA(to) != kInvalidFileAttributes &&
      !os::DeleteFileA(to))
    return false;
  return os::MoveFileA(from, to);
}

bool GetShortPathNameA(const std::string& path, std::string& shortPath) {
  if (os::GetFileAttributesA(path) == kInvalidFileAttributes) return false;  // last error set
  // Walk the given path part by part, taking each part's 8.3 name when it has one.
  std::string out, sofar;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = NextBackslash(path, start);
    if (end == std::string::npos) end = path.size();
    std::string part = path.substr(start, end - start);
    sofar += part;
    auto node = TheState().nodes.find(KeyOf(sofar));
    bool named = node != TheState().nodes.end() && !node->second.shortName.empty() && start > 0;
    out += named ? node->second.shortName : part;
    if (end == path.size()) break;
    out += '\\';
    sofar += '\\';
    start = end + 1;
  }
  shortPath = out;
  return true;
}

std::string GetPrivateProfileStringA(const std::string& section, const std::string& key,
                                     const std::string& fallback, const std::string& file) {
  if (!Exists(file)) return fallback;
  std::string content = Content(file);
  bool inSection = false;
  size_t start = 0;
  while (start < content.size()) {
    size_t end = content.find('\n', start);
    if (end == std::string::npos) end = content.size();
    std::string line = Trim(content.substr(start, end - start));
    start = end + 1;
    if (!line.empty() && line[0] == '[') {
      size_t close = line.find(']');
      inSection = close != std::string::npos && Upper(Trim(line.substr(1, close - 1))) == Upper(section);
      continue;
    }
    size_t eq = line.find('=');
    if (!inSection || eq == std::string::npos) continue;
    if (Upper(Trim(line.substr(0, eq))) != Upper(Trim(key))) continue;
    std::string value = Trim(line.substr(eq + 1));
    if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0])
      value = value.substr(1, value.size() - 2);
    return value;
  }
  return fallback;
}

}  // namespace os

namespace os::fake {

void CacheProfileFile(const std::string& path, const std::string& content) {
  TheState().profileCache[Upper(path)] = content;
}

void WriteBackProfileCache() {
  for (auto& [path, content] : TheState().profileCache) AddFile(path, content);
  TheState().profileCache.clear();
}

}  // namespace os::fake

namespace os {

void FlushProfileCache(const std::string& file) {
  auto& cache = fake::TheState().profileCache;
  auto held = cache.find(fake::Upper(file));
  if (held == cache.end()) return;
  fake::AddFile(file, held->second);
  cache.erase(held);
}

}  // namespace os
