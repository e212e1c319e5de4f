// File-system operations over the real Win32 API.
#include <windows.h>

#include "os/OsFiles.h"

namespace os {
namespace {

FileTime FromWin(const FILETIME& ft) {
  return FileTime{(static_cast<std::uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime};
}

FILETIME ToWin(const FileTime& t) {
  FILETIME ft;
  ft.dwLowDateTime = static_cast<DWORD>(t.ticks & 0xFFFFFFFFu);
  ft.dwHighDateTime = static_cast<DWORD>(t.ticks >> 32);
  return ft;
}

void Fill(const WIN32_FIND_DATAA& w, FindData& found) {
  found.attributes = w.dwFileAttributes;
  found.creationTime = FromWin(w.ftCreationTime);
  found.lastAccessTime = FromWin(w.ftLastAccessTime);
  found.lastWriteTime = FromWin(w.ftLastWriteTime);
  found.size = (static_cast<std::uint64_t>(w.nFileSizeHigh) << 32) | w.nFileSizeLow;
  found.name = w.cFileName;
  found.shortName = w.cAlternateFileName;
}

HANDLE H(Handle h) { return reinterpret_cast<HANDLE>(h); }

}  // namespace

std::uint32_t GetLastError() { return ::GetLastError(); }
void SetLastError(std::uint32_t code) { ::SetLastError(code); }

std::uint32_t GetFileAttributesA(const std::string& path) { return ::GetFileAttributesA(path.c_str()); }
bool SetFileAttributesA(const std::string& path, std::uint32_t attributes) {
  return ::SetFileAttributesA(path.c_str(), attributes) != 0;
}
bool CreateDirectoryA(const std::string& path) { return ::CreateDirectoryA(path.c_str(), nullptr) != 0; }
bool RemoveDirectoryA(const std::string& path) { return ::RemoveDirectoryA(path.c_str()) != 0; }
bool DeleteFileA(const std::string& path) { return ::DeleteFileA(path.c_str()) != 0; }
bool CopyFileA(const std::string& from, const std::string& to, bool failIfExists) {
  return ::CopyFileA(from.c_str(), to.c_str(), failIfExists ? TRUE : FALSE) != 0;
}
bool MoveFileA(const std::string& from, const std::string& to) {
  return ::MoveFileA(from.c_str(), to.c_str()) != 0;
}
bool SetCurrentDirectoryA(const std::string& path) { return ::SetCurrentDirectoryA(path.c_str()) != 0; }
std::string GetCurrentDirectoryA() {
  DWORD n = ::GetCurrentDirectoryA(0, nullptr);
  std::string s(n, '\0');
  n = ::GetCurrentDirectoryA(n, s.data());
  s.resize(n);
  return s;
}

bool FindClose(Handle find) { return ::FindClose(H(find)) != 0; }

Handle FindFirstFileA(const std::string& pattern, FindData& found) {
  WIN32_FIND_DATAA w{};
  HANDLE h = ::FindFirstFileA(pattern.c_str(), &w);
  if (h == INVALID_HANDLE_VALUE) return kInvalidFind;
  Fill(w, found);
  return reinterpret_cast<Handle>(h);
}

bool FindNextFileA(Handle find, FindData& found) {
  WIN32_FIND_DATAA w{};
  if (!::FindNextFileA(H(find), &w)) return false;
  Fill(w, found);
  return true;
}

bool FileTimeToLocalFileTime(const FileTime& utc, FileTime& local) {
  FILETIME in = ToWin(utc), out;
  if (!::FileTimeToLocalFileTime(&in, &out)) return false;
  local = FromWin(out);
  return true;
}

bool LocalFileTimeToFileTime(const FileTime& local, FileTime& utc) {
  FILETIME in = ToWin(local), out;
  if (!::LocalFileTimeToFileTime(&in, &out)) return false;
  utc = FromWin(out);
  return true;
}

bool FileTimeToDosDateTime(const FileTime& time, std::uint16_t& dosDate, std::uint16_t& dosTime) {
  FILETIME ft = ToWin(time);
  WORD d = 0, t = 0;
  if (!::FileTimeToDosDateTime(&ft, &d, &t)) return false;
  dosDate = d;
  dosTime = t;
  return true;
}

bool DosDateTimeToFileTime(std::uint16_t dosDate, std::uint16_t dosTime, FileTime& time) {
  FILETIME ft;
  if (!::DosDateTimeToFileTime(dosDate, dosTime, &ft)) return false;
  time = FromWin(ft);
  return true;
}

bool CloseHandle(Handle handle) { return ::CloseHandle(H(handle)) != 0; }

Handle CreateFileA(const std::string& path, Access access, Disposition disposition) {
  DWORD desired = access == Access::Read    ? GENERIC_READ
                  : access == Access::Write ? GENERIC_WRITE
                                            : GENERIC_READ | GENERIC_WRITE;
  DWORD share = access == Access::Read ? FILE_SHARE_READ : 0;
  DWORD how = disposition == Disposition::CreateAlways  ? CREATE_ALWAYS
              : disposition == Disposition::CreateNew   ? CREATE_NEW
              : disposition == Disposition::OpenExisting ? OPEN_EXISTING
                                                         : OPEN_ALWAYS;
  HANDLE h = ::CreateFileA(path.c_str(), desired, share, nullptr, how, FILE_ATTRIBUTE_NORMAL, nullptr);
  return h == INVALID_HANDLE_VALUE ? kInvalidFile : reinterpret_cast<Handle>(h);
}

bool ReadFile(Handle file, void* buffer, std::uint32_t length, std::uint32_t& read) {
  DWORD n = 0;
  BOOL ok = ::ReadFile(H(file), buffer, length, &n, nullptr);
  read = n;
  return ok != 0;
}

bool WriteFile(Handle file, const void* buffer, std::uint32_t length, std::uint32_t& written) {
  DWORD n = 0;
  BOOL ok = ::WriteFile(H(file), buffer, length, &n, nullptr);
  written = n;
  return ok != 0;
}

// 64-bit positions and sizes go through the high words, as on the first Windows 95; a low word
// of all ones is only a failure when the last error says so.
bool SetFilePointer(Handle file, std::uint64_t offset) {
  LONG high = static_cast<LONG>(offset >> 32);
  ::SetLastError(NO_ERROR);
  const DWORD low = ::SetFilePointer(H(file), static_cast<LONG>(offset & 0xFFFFFFFFu), &high, FILE_BEGIN);
  return low != INVALID_SET_FILE_POINTER || ::GetLastError() == NO_ERROR;
}

bool GetFileSize(Handle file, std::uint64_t& size) {
  DWORD high = 0;
  ::SetLastError(NO_ERROR);
  const DWORD low = ::GetFileSize(H(file), &high);
  if (low == INVALID_FILE_SIZE && ::GetLastError() != NO_ERROR) return false;
  size = (static_cast<std::uint64_t>(high) << 32) | low;
  return true;
}

bool SetEndOfFile(Handle file) { return ::SetEndOfFile(H(file)) != 0; }

bool GetFileTime(Handle file, FileTime& lastWrite) {
  FILETIME ft;
  if (!::GetFileTime(H(file), nullptr, nullptr, &ft)) return false;
  lastWrite = FromWin(ft);
  return true;
}

bool SetFileTime(Handle file, const FileTime& lastWrite) {
  FILETIME ft = ToWin(lastWrite);
  return ::SetFileTime(H(file), nullptr, nullptr, &ft) != 0;
}

}  // namespace os
