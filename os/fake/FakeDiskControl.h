// Test-only control of the in-memory Windows' drives and volumes, its
// temporary folder, the shell's deletions and the cursor.
// The products never include this header.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace os::fake {

// Back to every drive fixed and ready with an empty label, the temporary
// folder C:\TEMP\, nothing deleted through the shell, the arrow cursor.
void ResetDisk();

struct DriveSetup {
  std::uint32_t type = 3;          // kDriveFixed
  bool ready = true;               // a disk is in the drive
  std::uint32_t volumeError = 21;  // the error of the volume query when not ready
  std::string label;
  std::uint32_t serial = 0x12345678;
  std::uint64_t freeBytes = 100u << 20;
  std::uint64_t totalBytes = 200u << 20;
};
// The drive is created (as a root folder) when missing.
void SetDrive(char letter, const DriveSetup& setup);
DriveSetup& Drive(char letter);

void SetTempPath(const std::string& path);  // with a trailing backslash; "" makes the query fail
std::uint32_t ErrorMode();

struct ShellDeletion {
  std::string path;
  bool allowUndo = false;
};
const std::vector<ShellDeletion>& ShellDeletions();

bool WaitCursorShown();
int CursorChanges();

}  // namespace os::fake
