// System queries and access tokens over the real Win32 API.
#include <windows.h>

#include <vector>

#include "os/OsSystem.h"

namespace os {

std::uint32_t GetTickCount() { return ::GetTickCount(); }
void Sleep(std::uint32_t milliseconds) { ::Sleep(milliseconds); }

MachineSize GetMachineSize() {
  SYSTEM_INFO system{};
  ::GetSystemInfo(&system);
  MEMORYSTATUS memory{};
  memory.dwLength = sizeof memory;
  ::GlobalMemoryStatus(&memory);
  return {system.dwNumberOfProcessors ? static_cast<unsigned>(system.dwNumberOfProcessors) : 1u, memory.dwTotalPhys};
}

std::string GetModuleFileNameA() {
  std::vector<char> buffer(MAX_PATH);
  for (;;) {
    DWORD n = ::GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) return "";
    if (n < buffer.size()) return std::string(buffer.data(), n);
    buffer.resize(buffer.size() * 2);  // the path was cut: ask again with more room
  }
}

namespace {
template <UINT (*Query)(LPSTR, UINT)>
std::string Folder() {
  char buffer[MAX_PATH + 1] = {};
  UINT n = Query(buffer, sizeof buffer);
  if (n == 0 || n >= sizeof buffer) return "";
  return std::string(buffer, n);
}
UINT WinDir(LPSTR b, UINT n) { return ::GetWindowsDirectoryA(b, n); }
UINT SysDir(LPSTR b, UINT n) { return ::GetSystemDirectoryA(b, n); }
}  // namespace

std::string GetWindowsDirectoryA() { return Folder<WinDir>(); }
std::string GetSystemDirectoryA() { return Folder<SysDir>(); }

bool GetVersionExA(OsVersionInfo& info) {
  OSVERSIONINFOA v{};
  v.dwOSVersionInfoSize = sizeof v;  // 148
  if (!::GetVersionExA(&v)) return false;
  info.majorVersion = v.dwMajorVersion;
  info.minorVersion = v.dwMinorVersion;
  info.buildNumber = v.dwBuildNumber;
  info.platformId = v.dwPlatformId;
  info.csdVersion = v.szCSDVersion;
  return true;
}

bool GetAnsiLeadByteRanges(std::vector<ByteRange>& ranges) {
  CPINFO info{};
  if (!::GetCPInfo(CP_ACP, &info)) return false;
  ranges.clear();
  // Pairs of bytes, ended by a pair of zeros.
  for (int i = 0; i + 1 < MAX_LEADBYTES && (info.LeadByte[i] != 0 || info.LeadByte[i + 1] != 0); i += 2)
    ranges.push_back({info.LeadByte[i], info.LeadByte[i + 1]});
  return true;
}

bool OpenThreadToken(bool openAsSelf, Handle& token) {
  HANDLE h = nullptr;
  if (!::OpenThreadToken(::GetCurrentThread(), TOKEN_QUERY, openAsSelf ? TRUE : FALSE, &h)) return false;
  token = reinterpret_cast<Handle>(h);
  return true;
}

bool OpenProcessToken(Handle& token) {
  HANDLE h = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &h)) return false;
  token = reinterpret_cast<Handle>(h);
  return true;
}

bool GetTokenGroupsSize(Handle token, std::uint32_t& needed) {
  DWORD n = 0;
  BOOL ok = ::GetTokenInformation(reinterpret_cast<HANDLE>(token), TokenGroups, nullptr, 0, &n);
  needed = n;
  return ok != 0;
}

bool GetTokenGroups(Handle token, std::uint32_t size, std::vector<Sid>& groups) {
  std::vector<unsigned char> buffer(size ? size : 1, 0);
  DWORD n = 0;
  if (!::GetTokenInformation(reinterpret_cast<HANDLE>(token), TokenGroups, buffer.data(), size, &n)) return false;
  auto* list = reinterpret_cast<TOKEN_GROUPS*>(buffer.data());
  groups.clear();
  for (DWORD i = 0; i < list->GroupCount; ++i) {
    PSID sid = list->Groups[i].Sid;
    DWORD len = ::GetLengthSid(sid);
    auto* bytes = static_cast<std::uint8_t*>(sid);
    groups.emplace_back(bytes, bytes + len);
  }
  return true;
}

bool CloseToken(Handle token) { return ::CloseHandle(reinterpret_cast<HANDLE>(token)) != 0; }

}  // namespace os
