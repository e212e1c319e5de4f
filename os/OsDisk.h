// The seam's drive, volume and temporary-file queries, the process error
// mode, the shell's file deletion and the mouse cursor, as the archive
// component needs them.
#pragma once
#include <cstdint>
#include <string>

#include "os/OsTypes.h"

namespace os {

// Drive types as GetDriveTypeA reports them.
constexpr std::uint32_t kDriveUnknown = 0;
constexpr std::uint32_t kDriveNoRootDir = 1;
constexpr std::uint32_t kDriveRemovable = 2;
constexpr std::uint32_t kDriveFixed = 3;
constexpr std::uint32_t kDriveRemote = 4;
constexpr std::uint32_t kDriveCdrom = 5;
constexpr std::uint32_t kDriveRamdisk = 6;

constexpr std::uint32_t kErrorNotReady = 21;
constexpr std::uint32_t kErrorGenFailure = 31;

std::uint32_t GetDriveTypeA(const std::string& root);  // root like "A:\"
std::uint32_t GetLogicalDrives();                      // bit 0 is A:
// Label and serial number of the volume in the drive; false (with the last
// error) when there is no readable disk.
bool GetVolumeInformationA(const std::string& root, std::string& label, std::uint32_t& serial);
// Free bytes for the caller and total bytes of the volume.
bool GetDiskFreeSpaceExA(const std::string& root, std::uint64_t& freeBytes, std::uint64_t& totalBytes);

// SetErrorMode flags: no critical-error boxes, no fault boxes.
constexpr std::uint32_t kSemFailCriticalErrors = 0x0001;
constexpr std::uint32_t kSemNoGpFaultErrorBox = 0x0002;
std::uint32_t SetErrorMode(std::uint32_t mode);  // returns the previous mode

// The system's temporary folder, with a trailing backslash; "" on failure.
std::string GetTempPathA();
// Makes a unique file "<folder>\<prefix>XXXX.tmp", creates it empty and
// returns its path; "" on failure.
std::string GetTempFileNameA(const std::string& folder, const std::string& prefix);

// Deletes a file through the shell without asking, to the recycle bin when
// allowUndo is set.
bool ShellDeleteFile(const std::string& path, bool allowUndo);

// Converts text from the OEM code page to the ANSI code page, byte for byte.
std::string OemToCharBuffA(const std::string& oem);

// The mouse cursor: the hourglass, and the cursor shown before it.
using Hcursor = std::uintptr_t;
Hcursor LoadWaitCursor();
Hcursor SetCursor(Hcursor cursor);  // returns the previous cursor

}  // namespace os
