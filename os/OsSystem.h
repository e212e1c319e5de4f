// The seam's system queries: program and system folders, the version
// record, the access token's groups.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "os/OsTypes.h"

namespace os {

std::string GetModuleFileNameA();     // full path of the running program
std::string GetWindowsDirectoryA();   // as the system reports it, no trailing backslash
std::string GetSystemDirectoryA();

// The fields of OSVERSIONINFOA that the version classification reads.
struct OsVersionInfo {
  std::uint32_t majorVersion = 0;
  std::uint32_t minorVersion = 0;
  std::uint32_t buildNumber = 0;
  std::uint32_t platformId = 0;  // 1 the Windows 95 family, 2 the NT family
  std::string csdVersion;        // service-pack text, up to 128 characters
};
bool GetVersionExA(OsVersionInfo& info);

// GetCPInfo on the ANSI code page: the ranges of its lead bytes (the first
// byte of a double-byte character), each from `first` to `last`; none for a
// single-byte code page.
struct ByteRange {
  std::uint8_t first = 0;
  std::uint8_t last = 0;
};
bool GetAnsiLeadByteRanges(std::vector<ByteRange>& ranges);

// The machine's size: processors (GetSystemInfo) and physical memory (GlobalMemoryStatus).
struct MachineSize {
  unsigned processors = 1;
  std::uint64_t physicalBytes = 0;
};
MachineSize GetMachineSize();

// Milliseconds since the system started; wraps after 49.7 days.
std::uint32_t GetTickCount();
// Suspends the thread for the milliseconds given (the in-memory Windows only
// moves its clock of ticks on).
void Sleep(std::uint32_t milliseconds);

// Access tokens. OpenThreadToken fails with kErrorNoToken when the thread
// is not impersonating.
bool OpenThreadToken(bool openAsSelf, Handle& token);
bool OpenProcessToken(Handle& token);
// A security identifier in its binary form.
using Sid = std::vector<std::uint8_t>;
// GetTokenInformation(TokenGroups) in its two calls: first the size (which
// fails with kErrorInsufficientBuffer and reports the size), then the groups.
bool GetTokenGroupsSize(Handle token, std::uint32_t& needed);
bool GetTokenGroups(Handle token, std::uint32_t size, std::vector<Sid>& groups);
bool CloseToken(Handle token);

}  // namespace os
