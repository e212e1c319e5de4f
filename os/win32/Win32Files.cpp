// File-system operations over the real Win32 API.
#include <windows.h>
// (after windows.h, whose types it uses)
#include <accctrl.h>

#include <vector>

#include "os/OsFiles.h"
#include "os/win32/Win32Compat.h"

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

bool GetLongPathNameA(const std::string& path, std::string& longPath) {
  using GetLongPathNameFn = DWORD(WINAPI*)(LPCSTR, LPSTR, DWORD);
  auto getLongPathName = win32::FindNewer<GetLongPathNameFn>("kernel32.dll", "GetLongPathNameA");
  if (!getLongPathName) {
    ::SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return false;
  }
  std::vector<char> buffer(MAX_PATH);
  for (;;) {
    DWORD n = getLongPathName(path.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) return false;
    if (n < buffer.size()) {
      longPath.assign(buffer.data(), n);
      return true;
    }
    buffer.resize(n + 1);  // too small: n is the size needed, terminator included
  }
}

namespace {

// A SID the system allocated, freed with FreeSid.
class AllocatedSid {
 public:
  AllocatedSid() = default;
  AllocatedSid(const AllocatedSid&) = delete;
  AllocatedSid& operator=(const AllocatedSid&) = delete;
  ~AllocatedSid() {
    if (sid_) ::FreeSid(sid_);
  }
  bool Allocate(BYTE count, DWORD first, DWORD second) {
    SID_IDENTIFIER_AUTHORITY nt = {SECURITY_NT_AUTHORITY};
    return sid_ || ::AllocateAndInitializeSid(&nt, count, first, second, 0, 0, 0, 0, 0, 0, &sid_);
  }
  PSID get() const { return sid_; }

 private:
  PSID sid_ = nullptr;
};

// The user the program runs as: the thread's token when it impersonates, else the process's.
bool CurrentUserSid(std::vector<DWORD>& buffer, PSID& sid) {
  HANDLE token = nullptr;
  if (!::OpenThreadToken(::GetCurrentThread(), TOKEN_QUERY, TRUE, &token) &&
      !::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token))
    return false;
  DWORD size = 0;
  ::GetTokenInformation(token, TokenUser, nullptr, 0, &size);  // fails, reporting the size
  buffer.assign(size / sizeof(DWORD) + 1, 0);
  bool ok = size != 0 && ::GetTokenInformation(token, TokenUser, buffer.data(), size, &size);
  ::CloseHandle(token);
  if (ok) sid = reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid;
  return ok;
}

// The SID of a trustee, kept alive by the holder.
class TrusteeSids {
 public:
  PSID Sid(Trustee trustee) {
    switch (trustee) {
      case Trustee::Administrators:
        return administrators_.Allocate(2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS)
                   ? administrators_.get()
                   : nullptr;
      case Trustee::LocalSystem:
        return localSystem_.Allocate(1, SECURITY_LOCAL_SYSTEM_RID, 0) ? localSystem_.get() : nullptr;
      case Trustee::CurrentUser:
        if (!user_) CurrentUserSid(userBuffer_, user_);
        return user_;
    }
    return nullptr;
  }
  // The trustee whose SID this is, if any.
  bool Which(PSID sid, Trustee& found) {
    for (Trustee t : {Trustee::Administrators, Trustee::LocalSystem, Trustee::CurrentUser}) {
      PSID known = Sid(t);
      if (known && sid && ::EqualSid(known, sid)) return found = t, true;
    }
    return false;
  }

 private:
  AllocatedSid administrators_, localSystem_;
  std::vector<DWORD> userBuffer_;
  PSID user_ = nullptr;
};

}  // namespace

bool CreateDirectoryForA(const std::string& path, const std::vector<Trustee>& trustees) {
  TrusteeSids known;
  std::vector<PSID> sids;
  for (Trustee trustee : trustees) {
    PSID sid = known.Sid(trustee);
    if (!sid) return false;
    sids.push_back(sid);
  }
  DWORD aclSize = sizeof(ACL);
  for (PSID sid : sids) aclSize += sizeof(ACCESS_ALLOWED_ACE) - sizeof(DWORD) + ::GetLengthSid(sid);
  std::vector<DWORD> aclBuffer(aclSize / sizeof(DWORD) + 1, 0);
  auto* acl = reinterpret_cast<PACL>(aclBuffer.data());
  if (!::InitializeAcl(acl, aclSize, ACL_REVISION)) return false;
  for (DWORD i = 0; i < sids.size(); ++i) {
    if (!::AddAccessAllowedAce(acl, ACL_REVISION, FILE_ALL_ACCESS, sids[i])) return false;
    // What is created inside gets the same entries. AddAccessAllowedAceEx,
    // which takes these flags, came after NT 4.0: they are set on the entry.
    void* ace = nullptr;
    if (!::GetAce(acl, i, &ace)) return false;
    static_cast<ACE_HEADER*>(ace)->AceFlags |= OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE;
  }
  SECURITY_DESCRIPTOR descriptor;
  if (!::InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) ||
      !::SetSecurityDescriptorDacl(&descriptor, TRUE, acl, FALSE))
    return false;
  // Protected, so that the inheritable entries of the parent (TEMP lets users create files) are
  // not merged in. NT 4.0 has no such flag and needs none: it applies inheritance only when an
  // object is created without a list of its own, and this folder is created with one.
  using SetControlFn =
      BOOL(WINAPI*)(PSECURITY_DESCRIPTOR, SECURITY_DESCRIPTOR_CONTROL, SECURITY_DESCRIPTOR_CONTROL);
  if (auto setControl = win32::FindNewer<SetControlFn>("advapi32.dll", "SetSecurityDescriptorControl"))
    if (!setControl(&descriptor, SE_DACL_PROTECTED, SE_DACL_PROTECTED)) return false;
  SECURITY_ATTRIBUTES attributes = {sizeof(attributes), &descriptor, FALSE};
  return ::CreateDirectoryA(path.c_str(), &attributes) != 0;
}

bool GetFolderSecurityA(const std::string& path, FolderSecurity& security) {
  security = FolderSecurity{};
  // Whether the volume keeps security: FAT has none, and reports a descriptor all the same.
  std::string root = path.size() >= 3 && path[1] == ':' ? path.substr(0, 3) : "";
  DWORD serial = 0, longest = 0, flags = 0;
  if (root.empty() ||
      !::GetVolumeInformationA(root.c_str(), nullptr, 0, &serial, &longest, &flags, nullptr, 0))
    return false;
  security.kept = (flags & FS_PERSISTENT_ACLS) != 0;
  const SECURITY_INFORMATION wanted = OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION;
  DWORD size = 0;
  ::GetFileSecurityA(path.c_str(), wanted, nullptr, 0, &size);  // fails, reporting the size
  if (size == 0) return false;
  std::vector<DWORD> buffer(size / sizeof(DWORD) + 1, 0);
  auto* descriptor = static_cast<PSECURITY_DESCRIPTOR>(buffer.data());
  if (!::GetFileSecurityA(path.c_str(), wanted, descriptor, size, &size)) return false;
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  PSID owner = nullptr;
  BOOL ownerDefaulted = FALSE, present = FALSE, daclDefaulted = FALSE;
  PACL acl = nullptr;
  if (!::GetSecurityDescriptorControl(descriptor, &control, &revision) ||
      !::GetSecurityDescriptorOwner(descriptor, &owner, &ownerDefaulted) ||
      !::GetSecurityDescriptorDacl(descriptor, &present, &acl, &daclDefaulted))
    return false;
  TrusteeSids known;
  security.ownerKnown = known.Which(owner, security.owner);
  security.hasList = present && acl;
  security.protectedList = (control & SE_DACL_PROTECTED) != 0;
  security.protectionKnown =
      win32::FindNewerFunction("advapi32.dll", "SetSecurityDescriptorControl") != nullptr;
  for (DWORD i = 0; security.hasList && i < acl->AceCount; ++i) {
    void* ace = nullptr;
    if (!::GetAce(acl, i, &ace)) return false;
    Trustee trustee;
    auto* header = static_cast<ACE_HEADER*>(ace);
    if (header->AceType == ACCESS_ALLOWED_ACE_TYPE &&
        known.Which(&static_cast<ACCESS_ALLOWED_ACE*>(ace)->SidStart, trustee))
      security.allowed.push_back(trustee);
    else
      security.othersListed = true;
  }
  return true;
}

bool SetInheritedSecurityA(const std::string& path) {
  // Inherited entries came with Windows 2000, and SetSecurityDescriptorControl with them; NT 4.0's
  // SetNamedSecurityInfoA would leave the empty list below as the file's whole security.
  using SetNamedSecurityInfoFn =
      DWORD(WINAPI*)(LPSTR, SE_OBJECT_TYPE, SECURITY_INFORMATION, PSID, PSID, PACL, PACL);
  auto setNamedSecurityInfo =
      win32::FindNewer<SetNamedSecurityInfoFn>("advapi32.dll", "SetNamedSecurityInfoA");
  if (!setNamedSecurityInfo || !win32::FindNewerFunction("advapi32.dll", "SetSecurityDescriptorControl")) {
    ::SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return false;
  }
  // No entries of its own, and the inherited ones taken from the folder.
  DWORD acl[sizeof(ACL) / sizeof(DWORD) + 1] = {};
  if (!::InitializeAcl(reinterpret_cast<PACL>(acl), sizeof acl, ACL_REVISION)) return false;
  std::vector<char> name(path.begin(), path.end());
  name.push_back('\0');
  const DWORD result = setNamedSecurityInfo(name.data(), SE_FILE_OBJECT,
                                            DACL_SECURITY_INFORMATION | UNPROTECTED_DACL_SECURITY_INFORMATION,
                                            nullptr, nullptr, reinterpret_cast<PACL>(acl), nullptr);
  if (result == ERROR_SUCCESS) return true;
  ::SetLastError(result);
  return false;
}
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
