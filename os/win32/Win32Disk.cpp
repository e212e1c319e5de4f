// Drives, volumes, temporary names, shell deletion and the cursor over the
// real Win32 API.
#include <windows.h>
// shellapi.h needs windows.h first.
#include <shellapi.h>

#include <vector>

#include "os/OsDisk.h"
#include "os/win32/Win32Compat.h"

namespace os {

std::uint32_t GetDriveTypeA(const std::string& root) { return ::GetDriveTypeA(root.c_str()); }

std::uint32_t GetLogicalDrives() { return ::GetLogicalDrives(); }

bool GetVolumeInformationA(const std::string& root, std::string& label, std::uint32_t& serial) {
  char name[MAX_PATH + 1] = {};
  DWORD number = 0, maxComponent = 0, flags = 0;
  if (!::GetVolumeInformationA(root.c_str(), name, sizeof name, &number, &maxComponent, &flags, nullptr, 0))
    return false;
  label = name;
  serial = number;
  return true;
}

bool GetDiskFreeSpaceExA(const std::string& root, std::uint64_t& freeBytes, std::uint64_t& totalBytes) {
  // The extended query is missing on the first Windows 95; fall back to clusters.
  using Ex = BOOL(WINAPI*)(LPCSTR, PULARGE_INTEGER, PULARGE_INTEGER, PULARGE_INTEGER);
  if (auto ex = win32::FindNewer<Ex>("kernel32.dll", "GetDiskFreeSpaceExA")) {
    ULARGE_INTEGER avail{}, total{}, free{};
    if (!ex(root.c_str(), &avail, &total, &free)) return false;
    freeBytes = avail.QuadPart;
    totalBytes = total.QuadPart;
    return true;
  }
  DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, clusters = 0;
  if (!::GetDiskFreeSpaceA(root.c_str(), &sectorsPerCluster, &bytesPerSector, &freeClusters, &clusters))
    return false;
  std::uint64_t cluster = std::uint64_t{sectorsPerCluster} * bytesPerSector;
  freeBytes = cluster * freeClusters;
  totalBytes = cluster * clusters;
  return true;
}

std::uint32_t SetErrorMode(std::uint32_t mode) { return ::SetErrorMode(mode); }

std::string GetTempPathA() {
  char buffer[MAX_PATH + 1] = {};
  DWORD n = ::GetTempPathA(sizeof buffer, buffer);
  if (n == 0 || n >= sizeof buffer) return "";
  return std::string(buffer, n);
}

std::string GetTempFileNameA(const std::string& folder, const std::string& prefix) {
  char buffer[MAX_PATH + 1] = {};
  if (::GetTempFileNameA(folder.c_str(), prefix.c_str(), 0, buffer) == 0) return "";
  return buffer;
}

bool ShellDeleteFile(const std::string& path, bool allowUndo) {
  std::vector<char> from(path.begin(), path.end());
  from.push_back('\0');
  from.push_back('\0');  // the list of names ends with an empty one
  SHFILEOPSTRUCTA op{};
  op.wFunc = FO_DELETE;
  op.pFrom = from.data();
  op.fFlags = FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI | (allowUndo ? FOF_ALLOWUNDO : 0);
  return ::SHFileOperationA(&op) == 0 && !op.fAnyOperationsAborted;
}

std::string OemToCharBuffA(const std::string& oem) {
  std::string ansi = oem;
  if (!ansi.empty()) ::OemToCharBuffA(oem.data(), ansi.data(), static_cast<DWORD>(oem.size()));
  return ansi;
}

Hcursor LoadWaitCursor() { return reinterpret_cast<Hcursor>(::LoadCursorA(nullptr, IDC_WAIT)); }

Hcursor SetCursor(Hcursor cursor) {
  return reinterpret_cast<Hcursor>(::SetCursor(reinterpret_cast<HCURSOR>(cursor)));
}

}  // namespace os
