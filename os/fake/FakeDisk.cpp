// The in-memory Windows' drives and volumes, temporary names, shell
// deletion and cursor.
#include <map>

#include "os/OsDisk.h"
#include "os/OsFiles.h"
#include "os/fake/FakeControl.h"
#include "os/fake/FakeDiskControl.h"
#include "os/fake/FakeState.h"

namespace os::fake {
namespace {

constexpr Hcursor kArrow = 1, kWait = 2;

struct DiskState {
  std::map<char, DriveSetup> drives;
  std::string tempPath = "C:\\TEMP\\";
  std::uint32_t errorMode = 0;
  std::vector<ShellDeletion> deletions;
  Hcursor cursor = kArrow;
  int cursorChanges = 0;
  unsigned tempCounter = 0;
};

DiskState& Disk() { return AreaState<DiskState>(); }

char LetterOf(const std::string& root) {
  if (root.size() < 2 || root[1] != ':') return 0;
  char c = root[0];
  if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  return (c >= 'A' && c <= 'Z') ? c : 0;
}

bool DriveExists(char letter) { return TheState().nodes.count(std::string(1, letter) + ":") != 0; }

}  // namespace

void ResetDisk() { Disk() = DiskState{}; }

void SetDrive(char letter, const DriveSetup& setup) {
  if (letter >= 'a' && letter <= 'z') letter = static_cast<char>(letter - 32);
  AddDrive(letter);
  Disk().drives[letter] = setup;
}

DriveSetup& Drive(char letter) {
  if (letter >= 'a' && letter <= 'z') letter = static_cast<char>(letter - 32);
  return Disk().drives[letter];
}

void SetTempPath(const std::string& path) { Disk().tempPath = path; }
std::uint32_t ErrorMode() { return Disk().errorMode; }
const std::vector<ShellDeletion>& ShellDeletions() { return Disk().deletions; }
bool WaitCursorShown() { return Disk().cursor == kWait; }
int CursorChanges() { return Disk().cursorChanges; }

}  // namespace os::fake

namespace os {
using namespace os::fake;

std::uint32_t GetDriveTypeA(const std::string& root) {
  char letter = LetterOf(root);
  if (!root.empty() && root[0] == '\\') return kDriveRemote;
  if (!letter || !DriveExists(letter)) return kDriveNoRootDir;
  auto it = Disk().drives.find(letter);
  return it == Disk().drives.end() ? kDriveFixed : it->second.type;
}

std::uint32_t GetLogicalDrives() {
  std::uint32_t mask = 0;
  for (char c = 'A'; c <= 'Z'; ++c)
    if (DriveExists(c)) mask |= 1u << (c - 'A');
  return mask;
}

bool GetVolumeInformationA(const std::string& root, std::string& label, std::uint32_t& serial) {
  char letter = LetterOf(root);
  if (!letter || !DriveExists(letter)) return Fail(kErrorPathNotFound), false;
  DriveSetup d = Disk().drives.count(letter) ? Disk().drives[letter] : DriveSetup{};
  if (!d.ready) return Fail(d.volumeError), false;
  label = d.label;
  serial = d.serial;
  return true;
}

bool GetDiskFreeSpaceExA(const std::string& root, std::uint64_t& freeBytes, std::uint64_t& totalBytes) {
  char letter = LetterOf(root);
  if (!letter || !DriveExists(letter)) return Fail(kErrorPathNotFound), false;
  DriveSetup d = Disk().drives.count(letter) ? Disk().drives[letter] : DriveSetup{};
  if (!d.ready) return Fail(d.volumeError), false;
  freeBytes = d.freeBytes;
  totalBytes = d.totalBytes;
  return true;
}

std::uint32_t SetErrorMode(std::uint32_t mode) {
  std::uint32_t old = Disk().errorMode;
  Disk().errorMode = mode;
  return old;
}

std::string GetTempPathA() {
  if (Disk().tempPath.empty()) Fail(kErrorPathNotFound);
  return Disk().tempPath;
}

std::string GetTempFileNameA(const std::string& folder, const std::string& prefix) {
  std::string base = folder;
  if (!base.empty() && !EndsWithBackslash(base)) base += '\\';
  for (int tries = 0; tries < 0x10000; ++tries) {
    unsigned n = (++Disk().tempCounter) & 0xFFFF;
    if (n == 0) continue;
    static const char* hex = "0123456789ABCDEF";
    std::string unique;
    for (int shift = 12; shift >= 0; shift -= 4) unique += hex[(n >> shift) & 15];
    std::string path = base + prefix.substr(0, 3) + unique + ".tmp";
    Handle h = CreateFileA(path, Access::Write, Disposition::CreateNew);
    if (h != kInvalidFile) {
      CloseHandle(h);
      return path;
    }
    if (GetLastError() != kErrorFileExists) return "";
  }
  return "";
}

bool ShellDeleteFile(const std::string& path, bool allowUndo) {
  Disk().deletions.push_back({path, allowUndo});
  return DeleteFileA(path);
}

// Code page 437 to code page 1252, characters without an equal shown as "?".
std::string OemToCharBuffA(const std::string& oem) {
  static const unsigned char kHigh[128] = {
      0xC7, 0xFC, 0xE9, 0xE2, 0xE4, 0xE0, 0xE5, 0xE7, 0xEA, 0xEB, 0xE8, 0xEF, 0xEE, 0xEC, 0xC4, 0xC5,
      0xC9, 0xE6, 0xC6, 0xF4, 0xF6, 0xF2, 0xFB, 0xF9, 0xFF, 0xD6, 0xDC, 0xA2, 0xA3, 0xA5, 0x3F, 0x83,
      0xE1, 0xED, 0xF3, 0xFA, 0xF1, 0xD1, 0xAA, 0xBA, 0xBF, 0x3F, 0xAC, 0xBD, 0xBC, 0xA1, 0xAB, 0xBB,
      0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F,
      0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F,
      0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F,
      0x3F, 0xDF, 0x3F, 0x3F, 0x3F, 0x3F, 0xB5, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F, 0x3F,
      0x3F, 0xB1, 0x3F, 0x3F, 0x3F, 0x3F, 0xF7, 0x3F, 0xB0, 0x3F, 0xB7, 0x3F, 0x3F, 0xB2, 0x3F, 0xA0,
  };
  std::string ansi = oem;
  for (char& c : ansi) {
    auto b = static_cast<unsigned char>(c);
    if (b >= 0x80) c = static_cast<char>(kHigh[b - 0x80]);
  }
  return ansi;
}

Hcursor LoadWaitCursor() { return kWait; }

Hcursor SetCursor(Hcursor cursor) {
  ++Disk().cursorChanges;
  Hcursor old = Disk().cursor;
  Disk().cursor = cursor;
  return old;
}

}  // namespace os
