// Short paths, delayed moves and profile strings over the real Win32 API.
#include <windows.h>

#include <vector>

#include "os/OsDelayedFiles.h"

namespace os {

bool MoveFileExA(const std::string& from, const std::string& to, std::uint32_t flags) {
  return ::MoveFileExA(from.c_str(), to.empty() ? nullptr : to.c_str(), flags) != 0;
}

bool GetShortPathNameA(const std::string& path, std::string& shortPath) {
  std::vector<char> buffer(MAX_PATH);
  for (;;) {
    DWORD n = ::GetShortPathNameA(path.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) return false;
    if (n < buffer.size()) {
      shortPath.assign(buffer.data(), n);
      return true;
    }
    buffer.resize(n + 1);  // too small: n is the size needed, terminator included
  }
}

std::string GetPrivateProfileStringA(const std::string& section, const std::string& key,
                                     const std::string& fallback, const std::string& file) {
  std::vector<char> buffer(256);
  for (;;) {
    DWORD n = ::GetPrivateProfileStringA(section.c_str(), key.c_str(), fallback.c_str(), buffer.data(),
                                         static_cast<DWORD>(buffer.size()), file.c_str());
    if (n + 1 < buffer.size()) return std::string(buffer.data(), n);
    buffer.resize(buffer.size() * 2);  // the value was cut: ask again with more room
  }
}

void FlushProfileCache(const std::string& file) {
  ::WritePrivateProfileStringA(nullptr, nullptr, nullptr, file.c_str());
}

}  // namespace os
