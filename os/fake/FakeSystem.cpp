// The in-memory Windows' machine state: reset, version record, folders,
// access tokens and libraries.
#include "os/OsLibrary.h"
#include "os/OsSystem.h"
#include "os/fake/FakeControl.h"
#include "os/fake/FakeState.h"

namespace os::fake {

State& TheState() {
  static State state;
  return state;
}

Handle NewHandle() { return TheState().nextHandle += 4; }

void ResetUi();

// Every area's state goes with the one state object: files, disk, registry,
// session, shell, windows and code page start afresh.
void Reset() {
  State& s = TheState();
  s = State{};
  s.clock = MakeFileTime(2026, 1, 15, 12, 0, 0);
  AddDrive('C');
  s.windowsDirectory = "C:\\WINDOWS";
  s.systemDirectory = "C:\\WINDOWS\\SYSTEM32";
  AddFolder(s.windowsDirectory);
  AddFolder(s.systemDirectory);
  AddFolder("C:\\TEMP");  // the temporary folder GetTempPathA names
  s.moduleFileName = "C:\\SETUP\\setup.exe";
  AddFile(s.moduleFileName, "MZ");
  s.version = OsVersionInfo{5, 1, 2600, 2, "Service Pack 2"};
  s.processToken = static_cast<int>(TokenState::Present);
  s.processGroups = {AdministratorsSid()};
  os::SetLastError(0);
  ResetUi();
}

void SetVersion(const OsVersionInfo& info) { TheState().version = info; }
void FailVersionQueries(int count) { TheState().failVersionQueries = count; }
int VersionQueryCount() { return TheState().versionQueries; }
void AdvanceTicks(std::uint32_t milliseconds) { TheState().ticks += milliseconds; }
void SetMachineSize(const MachineSize& machine) { TheState().machine = machine; }

void SetModuleFileName(const std::string& path) {
  TheState().moduleFileName = path;
  if (!Exists(path)) AddFile(path, "MZ");
}
void SetWindowsDirectory(const std::string& path) {
  TheState().windowsDirectory = path;
  AddFolder(path);
}
void SetSystemDirectory(const std::string& path) {
  TheState().systemDirectory = path;
  AddFolder(path);
}

void SetThreadToken(TokenState state, std::vector<Sid> groups) {
  TheState().threadToken = static_cast<int>(state);
  TheState().threadGroups = std::move(groups);
}
void SetProcessToken(TokenState state, std::vector<Sid> groups) {
  TheState().processToken = static_cast<int>(state);
  TheState().processGroups = std::move(groups);
}
void FailGroupQueries(bool fail) { TheState().failGroupQueries = fail; }
int OpenTokenCount() { return static_cast<int>(TheState().tokens.size()); }

Sid AdministratorsSid() {
  // S-1-5-32-544: revision 1, two sub-authorities, authority 5, then 32 and 544
  return {1, 2, 0, 0, 0, 0, 0, 5, 32, 0, 0, 0, 0x20, 0x02, 0, 0};
}

void AddLibrary(const std::string& path, std::map<std::string, Proc> exports) {
  AddFile(path, "MZ library");
  Library lib;
  lib.key = KeyOf(path);
  lib.exports = std::move(exports);
  TheState().libraries[lib.key] = lib;
}

void SetLibraryLoader(
    std::function<std::optional<std::map<std::string, Proc>>(const std::string& path)> loader) {
  TheState().libraryLoader = std::move(loader);
}

int LoadCount(const std::string& path) {
  auto it = TheState().libraries.find(KeyOf(path));
  return it == TheState().libraries.end() ? 0 : it->second.loads;
}

bool IsLoaded(const std::string& path) {
  auto it = TheState().libraries.find(KeyOf(path));
  return it != TheState().libraries.end() && it->second.refs > 0;
}

}  // namespace os::fake

namespace os {
using namespace os::fake;

std::string GetModuleFileNameA() { return TheState().moduleFileName; }
std::uint32_t GetTickCount() { return TheState().ticks; }
MachineSize GetMachineSize() { return TheState().machine; }
void Sleep(std::uint32_t milliseconds) { TheState().ticks += milliseconds; }
std::string GetWindowsDirectoryA() { return TheState().windowsDirectory; }
std::string GetSystemDirectoryA() { return TheState().systemDirectory; }

bool GetVersionExA(OsVersionInfo& info) {
  auto& s = TheState();
  ++s.versionQueries;
  if (s.failVersionQueries > 0) {
    --s.failVersionQueries;
    Fail(kErrorInvalidParameter);
    return false;
  }
  info = s.version;
  return true;
}

namespace {
bool OpenToken(int state, const std::vector<Sid>& groups, std::uint32_t missingError, Handle& token) {
  if (state == static_cast<int>(TokenState::Present)) {
    token = NewHandle();
    TheState().tokens[token] = groups;
    return true;
  }
  Fail(state == static_cast<int>(TokenState::Missing) ? missingError : kErrorAccessDenied);
  return false;
}
}  // namespace

bool OpenThreadToken(bool, Handle& token) {
  return OpenToken(TheState().threadToken, TheState().threadGroups, kErrorNoToken, token);
}

bool OpenProcessToken(Handle& token) {
  return OpenToken(TheState().processToken, TheState().processGroups, kErrorAccessDenied, token);
}

namespace {
std::uint32_t GroupsSize(const std::vector<Sid>& groups) {
  std::uint32_t size = 4;
  for (auto& g : groups) size += 8 + static_cast<std::uint32_t>(g.size());
  return size;
}
}  // namespace

bool GetTokenGroupsSize(Handle token, std::uint32_t& needed) {
  auto it = TheState().tokens.find(token);
  if (it == TheState().tokens.end()) return Fail(kErrorInvalidHandle), false;
  if (TheState().failGroupQueries) return Fail(kErrorAccessDenied), false;
  needed = GroupsSize(it->second);
  Fail(kErrorInsufficientBuffer);
  return false;
}

bool GetTokenGroups(Handle token, std::uint32_t size, std::vector<Sid>& groups) {
  auto it = TheState().tokens.find(token);
  if (it == TheState().tokens.end()) return Fail(kErrorInvalidHandle), false;
  if (size < GroupsSize(it->second)) return Fail(kErrorInsufficientBuffer), false;
  groups = it->second;
  return true;
}

bool CloseToken(Handle token) { return TheState().tokens.erase(token) == 1; }

namespace {
std::string CurrentFolderPrefix() {
  std::string folder = GetCurrentDirectoryA();
  return folder.empty() || folder.back() == '\\' ? folder : folder + "\\";
}
}  // namespace

void ExcludeCurrentFolderFromLibrarySearch() { TheState().currentFolderOffLibrarySearch = true; }

Hmodule LoadLibraryA(const std::string& path) {
  // A bare name is looked for in the program's folder, the current folder, then the System and
  // Windows folders.
  std::vector<std::string> candidates{path};
  if (NextBackslash(path, 0) == std::string::npos && path.find(':') == std::string::npos) {
    std::string program = TheState().moduleFileName;
    candidates = {program.substr(0, LastBackslash(program) + 1) + path, CurrentFolderPrefix() + path,
                  TheState().systemDirectory + "\\" + path, TheState().windowsDirectory + "\\" + path};
    if (TheState().currentFolderOffLibrarySearch) candidates.erase(candidates.begin() + 1);
  }
  for (auto& candidate : candidates) {
    auto it = TheState().libraries.find(KeyOf(candidate));
    if (it != TheState().libraries.end() && Exists(candidate)) {
      ++it->second.loads;
      ++it->second.refs;
      Handle h = NewHandle();
      TheState().loadedModules[h] = it->first;
      return h;
    }
  }
  if (candidates.front() == path && Exists(path) && TheState().libraryLoader)
    if (auto exports = TheState().libraryLoader(path)) {
      fake::AddLibrary(path, std::move(*exports));
      return LoadLibraryA(path);
    }
  Fail(Exists(path) ? 193 /* ERROR_BAD_EXE_FORMAT */ : 126 /* ERROR_MOD_NOT_FOUND */);
  return 0;
}

Proc GetProcAddress(Hmodule module, const std::string& name) {
  auto m = TheState().loadedModules.find(module);
  if (m == TheState().loadedModules.end()) return Fail(kErrorInvalidHandle), nullptr;
  auto& exports = TheState().libraries.at(m->second).exports;
  auto e = exports.find(name);
  if (e == exports.end()) return Fail(127 /* ERROR_PROC_NOT_FOUND */), nullptr;
  return e->second;
}

bool FreeLibrary(Hmodule module) {
  auto m = TheState().loadedModules.find(module);
  if (m == TheState().loadedModules.end()) return Fail(kErrorInvalidHandle), false;
  --TheState().libraries.at(m->second).refs;
  TheState().loadedModules.erase(m);
  return true;
}

namespace {

// What RaiseFault throws; only the guarded calls below catch it.
struct Fault {
  std::uint32_t code;
};

template <typename Call>
ExportCall Guarded(Call call) {
  try {
    return ExportCall{false, 0, call()};
  } catch (const Fault& fault) {
    return ExportCall{true, fault.code, 0};
  }
}

}  // namespace

// The exports' own convention: the checker's Windows build runs the in-memory
// Windows too, and a stdcall export called as cdecl leaves the stack unbalanced.
#if defined(_WIN32)
#define QV_EXPORT_CALL __stdcall
#else
#define QV_EXPORT_CALL
#endif

ExportCall CallExport(Proc entry) {
  return Guarded([&] { return reinterpret_cast<std::int32_t(QV_EXPORT_CALL*)()>(entry)(); });
}

ExportCall CallExport(Proc entry, void* argument) {
  return Guarded([&] { return reinterpret_cast<std::int32_t(QV_EXPORT_CALL*)(void*)>(entry)(argument); });
}

ExportCall CallRegisterExport(Proc entry, std::uint32_t eax) {
  return Guarded([&] { return reinterpret_cast<std::int32_t (*)(std::uint32_t)>(entry)(eax); });
}

}  // namespace os

namespace os::fake {
void RaiseFault(std::uint32_t code) { throw Fault{code}; }
}  // namespace os::fake
