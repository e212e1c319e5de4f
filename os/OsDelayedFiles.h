// The seam's file operations for replacing files in use: short paths,
// moves carried out at the next start of Windows, and profile strings.
#pragma once
#include <cstdint>
#include <string>

#include "os/OsTypes.h"

namespace os {

constexpr std::uint32_t kMoveFileReplaceExisting = 0x1;
constexpr std::uint32_t kMoveFileDelayUntilReboot = 0x4;

bool MoveFileExA(const std::string& from, const std::string& to, std::uint32_t flags);

// The 8.3 form of an existing path, whole, however long; false (and the
// last error) when the path does not exist.
bool GetShortPathNameA(const std::string& path, std::string& shortPath);

// GetPrivateProfileStringA of one key: the value, or `fallback` when the
// file, the section or the key is missing.
std::string GetPrivateProfileStringA(const std::string& section, const std::string& key,
                                     const std::string& fallback, const std::string& file);

// Writes what the system's profile cache holds for the file over it
// (WritePrivateProfileStringA(NULL, NULL, NULL, file)): the 95 family keeps
// profile writes in memory, and a program that edits the file as text
// flushes first, or its edit is lost or overwrites them.
void FlushProfileCache(const std::string& file);

}  // namespace os
