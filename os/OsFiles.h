// The seam's file-system operations, named after and behaving like the
// Win32 calls they stand for (ANSI paths with backslashes).
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "os/Handle.h"
#include "os/OsTypes.h"

namespace os {

// --- attributes, folders, whole files ---------------------------------------
std::uint32_t GetFileAttributesA(const std::string& path);  // kInvalidFileAttributes on failure
bool SetFileAttributesA(const std::string& path, std::uint32_t attributes);
bool CreateDirectoryA(const std::string& path);
bool RemoveDirectoryA(const std::string& path);  // the folder must be empty
bool DeleteFileA(const std::string& path);
bool CopyFileA(const std::string& from, const std::string& to, bool failIfExists);
bool MoveFileA(const std::string& from, const std::string& to);
bool SetCurrentDirectoryA(const std::string& path);
std::string GetCurrentDirectoryA();

// The path with every part that is an 8.3 name written as its long name.
// False when a part does not exist, and (last error kErrorCallNotImplemented)
// on the systems without the call: the first Windows 95 and NT 4.0.
bool GetLongPathNameA(const std::string& path, std::string& longPath);

// Who may use a folder created for them alone.
enum class Trustee { Administrators, LocalSystem, CurrentUser };
// CreateDirectoryA with a security descriptor that grants full access to
// the trustees and to nobody else, passed on to everything created inside.
// The NT family only: the 95 family has no security on files.
// The folder's list is protected: nothing of the parent's list is merged in,
// where the system knows the protection (Windows 2000 and later).
bool CreateDirectoryForA(const std::string& path, const std::vector<Trustee>& trustees);
// Gives the file exactly the security a file created in its folder gets: the
// entries it inherits from there and nothing of its own (a file moved keeps the
// security of the folder it was created in). False, last error
// kErrorCallNotImplemented, on the systems without inherited security: the 95
// family (no security on files) and NT 4.0 (no way to ask for the inherited entries).
bool SetInheritedSecurityA(const std::string& path);

// A folder's owner and access list as the file system keeps them.
struct FolderSecurity {
  bool kept = false;                        // the volume keeps security at all (FAT does not)
  bool ownerKnown = false;                  // the owner is one of the Trustee values...
  Trustee owner = Trustee::Administrators;  // ...this one
  bool hasList = false;                     // an access list is present (none grants everyone everything)
  bool protectedList = false;               // the list takes nothing from the parent
  bool protectionKnown = false;             // the system knows that protection
  std::vector<Trustee> allowed;             // the trustees of the entries that allow
  bool othersListed = false;                // an entry for anyone else, or one that is not a plain allow
};
// False when the folder's security cannot be read (the 95 family has none).
bool GetFolderSecurityA(const std::string& path, FolderSecurity& security);

// --- searches ---------------------------------------------------------------
struct FindData {
  std::uint32_t attributes = 0;
  FileTime creationTime;
  FileTime lastAccessTime;
  FileTime lastWriteTime;
  std::uint64_t size = 0;
  std::string name;       // long name
  std::string shortName;  // 8.3 name, empty when the long name is already one
};

constexpr Handle kInvalidFind = static_cast<Handle>(-1);
bool FindClose(Handle find);
using UniqueFind = Unique<Handle, kInvalidFind, FindClose>;

// Starts a search; kInvalidFind (last error kErrorFileNotFound or
// kErrorPathNotFound) when nothing matches. "*" and "?" match as on Windows.
Handle FindFirstFileA(const std::string& pattern, FindData& found);
bool FindNextFileA(Handle find, FindData& found);  // false, kErrorNoMoreFiles at the end

// --- times ------------------------------------------------------------------
bool FileTimeToLocalFileTime(const FileTime& utc, FileTime& local);
bool LocalFileTimeToFileTime(const FileTime& local, FileTime& utc);
bool FileTimeToDosDateTime(const FileTime& time, std::uint16_t& dosDate, std::uint16_t& dosTime);
bool DosDateTimeToFileTime(std::uint16_t dosDate, std::uint16_t dosTime, FileTime& time);

// --- open files ---------------------------------------------------------------
constexpr Handle kInvalidFile = static_cast<Handle>(-1);
bool CloseHandle(Handle handle);
using UniqueFile = Unique<Handle, kInvalidFile, CloseHandle>;

enum class Access { Read, Write, ReadWrite };
enum class Disposition {
  CreateAlways,  // create or truncate
  CreateNew,     // fail if it exists
  OpenExisting,  // fail if it does not exist
  OpenAlways,    // open or create
};
// Other programs may read a file we opened for reading; nobody else may
// write to it or delete it while we hold it.
Handle CreateFileA(const std::string& path, Access access, Disposition disposition);
bool ReadFile(Handle file, void* buffer, std::uint32_t length, std::uint32_t& read);
bool WriteFile(Handle file, const void* buffer, std::uint32_t length, std::uint32_t& written);
bool SetFilePointer(Handle file, std::uint64_t offset);  // from the start
bool GetFileSize(Handle file, std::uint64_t& size);
bool SetEndOfFile(Handle file);
bool GetFileTime(Handle file, FileTime& lastWrite);
bool SetFileTime(Handle file, const FileTime& lastWrite);

}  // namespace os
