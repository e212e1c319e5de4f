// The uninstaller's registry work: values the install wrote, emptied keys,
// and the uninstall entry. Every step is logged.
#pragma once
#include <string>
#include <vector>

#include "engine/UninstallData.h"

// True for a key that every Windows has (a root, Software, Software\Classes,
// Software\Microsoft\Windows\CurrentVersion, ...): the removal never
// deletes it, empty or not.
bool IsWellKnownKey(const std::string& root, const std::string& key);
// A key path the removal may touch: below the root, without an empty part.
bool IsSafeKeyPath(const std::string& key);

enum class ValueRemoval { Removed, Missing, Changed };
// Deletes the value only while it holds what the install wrote there ("#n#"
// as a DWORD, other data as text): a value changed since is someone else's.
ValueRemoval RemoveRegValueIfUnchanged(const TRegItem& item);
// Deletes the named values under HKEY_LOCAL_MACHINE\keyPath.
void RemoveMachineValues(const std::string& keyPath, const std::vector<std::string>& names);
// Removes the key when it holds nothing any more, then (with `parents`) its
// parents the same way, stopping at a well-known key.
void PruneRegKey(const std::string& root, const std::string& key, bool parents);
// The uninstall entries (key paths under HKEY_LOCAL_MACHINE) whose command names the data file.
std::vector<std::string> UninstallEntriesFor(const std::string& dataFile);
// True when an uninstall entry that names the data file records this install folder and the
// digest of exactly this text: the data file is the one the install wrote. The entry lies where
// only administrators write; the data file may lie where users write.
bool UninstallDataSealed(const std::string& dataFile, const std::string& installDir, const std::string& text);
// Removes the uninstall entry (or entries) whose command names the data file.
void RemoveUninstallEntryFor(const std::string& dataFile);
