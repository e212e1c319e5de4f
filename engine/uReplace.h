// Replacing files in use at the next start of Windows: WININIT.INI on the
// Windows 95 family, delayed moves on the NT family, and the test whether a
// replacement is already waiting.
#pragma once
#include <string>
#include <vector>

// Schedules: the destination becomes `backup` (NT family) or is deleted
// (95 family), and `cached` takes its place. False only when WININIT.INI
// could not be read or written.
bool ScheduleReplace(const std::string& backup, const std::string& cached, const std::string& destination);

// Has Windows delete the file (or, on the NT family, the empty folder) at its
// next start: a "NUL=" line in WININIT.INI on the 95 family, a delayed
// delete on the NT family. False when that could not be recorded.
bool ScheduleDelete(const std::string& path);

// True when Windows already holds a replacement for the destination.
bool IsRenamePending(const std::string& destination);
// True when the pending rename list names the (upper-cased) destination as
// the source or the target of a rename, in any letter case.
bool IsRenamePendingNT(const std::string& upperDestination);
// The entries of the pending rename list, joined with CR LF; empty when none.
std::string ReadPendingRenames();
// The 8.3 form of an existing path, whole however long; else the path itself.
std::string ShortPath(const std::string& path);

// The WININIT.INI edit as pure line logic: adds "[RENAME]", deleteLine
// ("NUL=<dest>") and moveLine ("<dest>=<cached>"; none when empty) where
// they are missing.
// True when the lines changed.
bool AddRenameLines(std::vector<std::string>& lines, const std::string& deleteLine,
                    const std::string& moveLine);
