// The seam's shell: COM for the thread, starting programs and documents,
// waiting for processes, the shell's link object and its allocator.
#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "os/Handle.h"
#include "os/OsTypes.h"

namespace os {

// --- COM ----------------------------------------------------------------------
using HResult = std::int32_t;
constexpr HResult kSOk = 0;
constexpr HResult kSFalse = 1;
constexpr HResult kENoInterface = static_cast<HResult>(0x80004002u);
constexpr HResult kEFail = static_cast<HResult>(0x80004005u);
constexpr HResult kEInvalidArg = static_cast<HResult>(0x80070057u);
constexpr HResult kCoENotInitialized = static_cast<HResult>(0x800401F0u);
constexpr HResult HResultFromWin32(std::uint32_t error) {
  return error == 0 ? kSOk : static_cast<HResult>((error & 0xFFFFu) | 0x80070000u);
}
constexpr bool Succeeded(HResult hr) { return hr >= 0; }

HResult OleInitialize();  // no allocator; S_FALSE when already initialised
void OleUninitialize();

// --- starting programs ----------------------------------------------------------
constexpr std::uint32_t kSeeMaskNoCloseProcess = 0x40;
constexpr std::uint32_t kSeeMaskDoEnvSubst = 0x200;
constexpr std::uint32_t kSeeMaskFlagNoUi = 0x400;
constexpr int kSwShowNormal = 1;

// SHELLEXECUTEINFOA: a missing optional text is passed as a null pointer.
struct ShellExecuteInfo {
  std::uint32_t mask = 0;
  Hwnd window = 0;
  std::optional<std::string> verb;
  std::string file;
  std::optional<std::string> parameters;
  std::optional<std::string> directory;
  int show = 0;
  std::uintptr_t instApp = 0;  // out: > 32 on success
  Handle process = 0;          // out, with kSeeMaskNoCloseProcess; 0 when none
};
bool ShellExecuteExA(ShellExecuteInfo& info);
// The instance value: greater than 32 on success, an error value otherwise.
std::intptr_t ShellExecuteA(Hwnd owner, const std::optional<std::string>& verb, const std::string& file,
                            const std::optional<std::string>& parameters,
                            const std::optional<std::string>& directory, int show);
Hwnd GetDesktopWindow();

constexpr std::uint32_t kInfinite = 0xFFFFFFFFu;
constexpr std::uint32_t kWaitObject0 = 0;
constexpr std::uint32_t kWaitTimeout = 258;
constexpr std::uint32_t kWaitFailed = 0xFFFFFFFFu;
std::uint32_t WaitForInputIdle(Handle process, std::uint32_t milliseconds);
std::uint32_t WaitForSingleObject(Handle process, std::uint32_t milliseconds);
bool CloseProcessHandle(Handle process);  // CloseHandle on a process handle
constexpr std::uint32_t kStillActive = 259;
// The process's exit code; kStillActive while it runs.
bool GetExitCodeProcess(Handle process, std::uint32_t& code);
using UniqueProcess = Unique<Handle, Handle{0}, CloseProcessHandle>;

// --- the shell's link object (IShellLinkA with IPersistFile) --------------------
class PersistFile {
 public:
  virtual ~PersistFile() = default;
  // IPersistFile::Save with a NUL-terminated UTF-16 name.
  virtual HResult Save(const std::u16string& fileName, bool remember) = 0;
};

class ShellLinkA {
 public:
  virtual ~ShellLinkA() = default;
  virtual HResult SetArguments(const std::string& text) = 0;
  virtual HResult SetShowCmd(int show) = 0;
  virtual HResult SetWorkingDirectory(const std::string& folder) = 0;
  virtual HResult SetPath(const std::string& path) = 0;
  virtual HResult SetDescription(const std::string& text) = 0;
  virtual HResult SetHotkey(std::uint16_t hotkey) = 0;
  virtual HResult SetIconLocation(const std::string& file, int index) = 0;
  // QueryInterface for IPersistFile.
  virtual HResult QueryPersistFile(std::unique_ptr<PersistFile>& persist) = 0;
};

// CoCreateInstance(CLSID_ShellLink, in-process, IID_IShellLinkA).
HResult CoCreateShellLink(std::unique_ptr<ShellLinkA>& link);

// MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED) of the whole text, without
// the terminator; false when the text does not convert.
bool MultiByteToWideChar(const std::string& text, std::u16string& wide);

// --- the shell's allocator (SHGetMalloc) -----------------------------------------
using ItemIdList = std::uintptr_t;  // a PIDLIST, 0 for none
class Malloc {
 public:
  virtual ~Malloc() = default;
  virtual ItemIdList Alloc(std::uint32_t size) = 0;
  virtual int DidAlloc(ItemIdList block) = 0;  // 1 yes, 0 no, -1 cannot tell
  virtual void Free(ItemIdList block) = 0;
};
HResult SHGetMalloc(std::unique_ptr<Malloc>& allocator);

}  // namespace os
