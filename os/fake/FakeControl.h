// Test-only control of the in-memory Windows: lay out files, set the version
// record and the token, script message-box answers, read what was shown.
// The products never include this header.
#pragma once
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "os/OsFiles.h"
#include "os/OsLibrary.h"
#include "os/OsSystem.h"
#include "os/OsTypes.h"

namespace os::fake {

// Back to a fresh machine: drive C: with C:\WINDOWS and C:\WINDOWS\SYSTEM32,
// the program at C:\SETUP\setup.exe, Windows XP, an administrator, no boxes.
void Reset();

// --- files ------------------------------------------------------------------
void AddFolder(const std::string& path);  // with its parents
void AddFile(const std::string& path, const std::string& content,
             std::uint32_t attributes = kAttrArchive);  // parents created
// A file whose bytes are those of a file of the machine the program runs on,
// size bytes long, read from there only when asked for while large files are
// kept on the host (KeepLargeFilesOnHost); the host file is never written.
void AddHostFile(const std::string& path, const std::string& hostPath, std::uint64_t size);
bool Exists(const std::string& path);
// Who may use the folder, as CreateDirectoryForA gave it; empty for a folder
// without an access list of its own. For a file: the list it got where it was
// created (the nearest folder above it with a list of its own), which a move keeps.
std::vector<Trustee> FolderTrustees(const std::string& path);
// From now on CreateDirectoryForA creates plain folders, as a system that drops the list would.
void IgnoreFolderLists(bool ignored);
// False: the volume keeps no security at all (FAT); folders get no lists.
void SetVolumeKeepsSecurity(bool kept);
std::string Content(const std::string& path);  // "" when missing
std::uint32_t Attributes(const std::string& path);  // kInvalidFileAttributes when missing
void SetLastWriteTime(const std::string& path, const FileTime& time);
FileTime LastWriteTime(const std::string& path);
void SetInUse(const std::string& path, bool inUse);  // another program holds it open
// Windows' profile cache (95 family): what another program wrote to an .ini
// file through the profile functions, held in memory, not yet on the disk.
// It is written over the file when a program flushes the cache, or when
// Windows writes it back on its own (WriteBackProfileCache).
void CacheProfileFile(const std::string& path, const std::string& content);
void WriteBackProfileCache();
// Copies over an existing file as on a network share or under Wine run as
// root: a read-only, hidden or system file is replaced and keeps those.
void SetCopiesKeepAttributes(bool keep);
void AddDrive(char letter);
void SetClock(const FileTime& now);         // the time stamped on written files
void SetTimeZoneBiasMinutes(int minutesEast);  // local = UTC + bias
// Names of the entries directly inside a folder, in enumeration order.
std::vector<std::string> List(const std::string& folder);

// Helpers for tests: FileTime from a calendar date and time (UTC).
FileTime MakeFileTime(int year, int month, int day, int hour = 0, int minute = 0, int second = 0);

// --- system -----------------------------------------------------------------
void SetVersion(const OsVersionInfo& info);
void FailVersionQueries(int count);  // the next count queries fail
int VersionQueryCount();
void SetMachineSize(const MachineSize& machine);  // processors and physical memory
void SetModuleFileName(const std::string& path);
// Moves GetTickCount on; it starts at 0 and stands still otherwise.
void AdvanceTicks(std::uint32_t milliseconds);
void SetWindowsDirectory(const std::string& path);  // the folder is created
void SetSystemDirectory(const std::string& path);
enum class TokenState { Missing, Present, Fails };
// The thread's token (Missing: not impersonating), the process's token,
// and the groups each lists. Every open token must be closed again.
void SetThreadToken(TokenState state, std::vector<Sid> groups = {});
void SetProcessToken(TokenState state, std::vector<Sid> groups = {});
void FailGroupQueries(bool fail);
int OpenTokenCount();
Sid AdministratorsSid();

// --- libraries --------------------------------------------------------------
// A library file at the path whose exports are the given functions; the file
// itself is created too.
void AddLibrary(const std::string& path, std::map<std::string, Proc> exports);
// Asked when LoadLibraryA finds a file at a full path that was not added as
// a library: the file's exports, or nullopt when it does not load. Reset forgets it.
void SetLibraryLoader(
    std::function<std::optional<std::map<std::string, Proc>>(const std::string& path)> loader);
int LoadCount(const std::string& path);  // LoadLibraryA calls that succeeded
bool IsLoaded(const std::string& path);
// Called inside an export, it ends the export as a crash would (an access
// violation by default): the guarded call reports the code, and the export's
// frames are left as they are.
[[noreturn]] void RaiseFault(std::uint32_t code = kExceptionAccessViolation);

}  // namespace os::fake
