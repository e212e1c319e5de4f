// Test-only control of the in-memory shell: programs that can be started,
// what was started and how it was waited for, the links the link object
// saved, the shell allocator, the environment. Never in the products.
#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "os/OsShell.h"

namespace os::fake {

void ResetShell();      // links, allocator, COM; called by Reset()
void ResetProcesses();  // programs, launches, environment; called by Reset()

// --- environment --------------------------------------------------------------
// %WINDIR% and %SYSTEMROOT% name the Windows folder unless set here.
void SetEnvironmentVariable(const std::string& name, const std::string& value);

// --- programs and processes -----------------------------------------------------
// One start request as the shell received it.
struct Launch {
  std::string call;  // "ShellExecuteExA" or "ShellExecuteA"
  std::uint32_t mask = 0;
  Hwnd window = 0;
  std::optional<std::string> verb;
  std::string file;         // as given
  std::string startedPath;  // the program or document found, after expansion; "" when none
  std::optional<std::string> parameters;
  std::optional<std::string> directory;
  int show = 0;
};

// A program file at the path (created too). `onExit` runs when the program
// ends: when a caller waits for its process, or at once for a program
// started without a process handle.
// The program's process ends with exitCode.
void AddProgram(const std::string& path, std::function<void(const Launch&)> onExit = {},
                std::uint32_t exitCode = 0);
std::vector<Launch> Launches();
// What happened to processes, in order: "start P", "idle P", "exit P",
// "close P" (P the program's path as found), "detached P" for a start that
// gave the caller no handle.
std::vector<std::string> ProcessEvents();
int OpenProcessHandleCount();

// --- COM and the link object ------------------------------------------------------
// OleInitialize calls not yet undone; 1 after Reset(), as the program's
// start has initialised COM. The link object needs at least one.
int OleInitCount();
void FailLinkCreation(HResult hr);    // the next CoCreateShellLink calls fail with hr (0: stop)
void OfferPersistFile(bool offered);  // whether the link object answers IPersistFile
struct LinkProperties {
  std::string arguments;
  int showCmd = 0;
  std::string workingDirectory;
  std::string path;
  std::string description;
  std::string iconLocation;
  int iconIndex = 0;
  std::uint16_t hotkey = 0;
  std::vector<std::string> calls;  // the setters in the order they were called
};
// The properties saved under a link file name; nullopt when none was saved there.
std::optional<LinkProperties> LinkAt(const std::string& path);
int LiveLinkObjects();  // link and persist-file objects not yet released

// --- the shell allocator ---------------------------------------------------------
ItemIdList AllocateItemIdList();  // a block of the shell allocator
bool IsAllocated(ItemIdList block);
void FailShellAllocator(bool fail);

}  // namespace os::fake
