// The in-memory shell: COM initialisation, programs started through the
// shell and their processes, the link object and the shell allocator.
#include <map>
#include <set>

#include "os/OsFiles.h"
#include "os/OsShell.h"
#include "os/fake/FakeControl.h"
#include "os/fake/FakeShellControl.h"
#include "os/fake/FakeState.h"

namespace os::fake {
namespace {

struct Program {
  std::function<void(const Launch&)> onExit;
  std::uint32_t exitCode = 0;
};

struct Process {
  std::string path;
  Launch launch;
  bool exited = false;
};

struct Processes {
  std::map<std::string, std::string> environment;  // upper-case name -> value
  std::map<std::string, Program> programs;         // by path key
  std::vector<Launch> launches;
  std::vector<std::string> events;
  std::map<Handle, Process> handles;
};

struct Shell {
  int oleInits = 1;  // the program's start initialised COM on its thread
  HResult failCreation = kSOk;
  bool offerPersistFile = true;
  std::map<std::string, LinkProperties> links;  // by path key
  int liveObjects = 0;
  std::set<ItemIdList> blocks;
  ItemIdList nextBlock = 0x10000;
  bool failAllocator = false;
};

Processes& Procs() { return AreaState<Processes>(); }

Shell& Sh() { return AreaState<Shell>(); }

std::string EnvValue(const std::string& name) {
  std::string up = Upper(name);
  auto it = Procs().environment.find(up);
  if (it != Procs().environment.end()) return it->second;
  if (up == "WINDIR" || up == "SYSTEMROOT") return TheState().windowsDirectory;
  return "";
}

// %NAME% references replaced by their values; unknown names stay as written.
std::string Expand(const std::string& text) {
  std::string out;
  size_t i = 0;
  while (i < text.size()) {
    size_t open = text.find('%', i);
    size_t close = open == std::string::npos ? std::string::npos : text.find('%', open + 1);
    if (close == std::string::npos) {
      out += text.substr(i);
      break;
    }
    std::string name = text.substr(open + 1, close - open - 1);
    std::string value = EnvValue(name);
    bool known = !name.empty() && (!value.empty() || Procs().environment.count(Upper(name)));
    out += text.substr(i, open - i) + (known ? value : text.substr(open, close - open + 1));
    i = close + 1;
  }
  return out;
}

bool IsFile(const std::string& path) {
  std::uint32_t a = os::GetFileAttributesA(path);
  return a != kInvalidFileAttributes && !(a & kAttrDirectory);
}

// Where the shell finds a file: as given, else (a bare name) in the System
// and Windows folders.
std::string FindFile(const std::string& file) {
  if (file.empty()) return "";
  if (IsFile(file)) return file;
  if (NextBackslash(file, 0) == std::string::npos && file.find(':') == std::string::npos) {
    for (auto& folder : {TheState().systemDirectory, TheState().windowsDirectory})
      if (IsFile(folder + "\\" + file)) return folder + "\\" + file;
  }
  return "";
}

const Program* ProgramAt(const std::string& path) {
  auto it = Procs().programs.find(KeyOf(path));
  return it == Procs().programs.end() ? nullptr : &it->second;
}

void Exit(Process& p) {
  if (p.exited) return;
  p.exited = true;
  Procs().events.push_back("exit " + p.path);
  if (const Program* program = ProgramAt(p.path); program && program->onExit) program->onExit(p.launch);
}

class FakePersistFile final : public PersistFile {
 public:
  explicit FakePersistFile(LinkProperties props) : props_(std::move(props)) { ++Sh().liveObjects; }
  ~FakePersistFile() override { --Sh().liveObjects; }
  HResult Save(const std::u16string& fileName, bool) override {
    std::string name;
    for (char16_t c : fileName) {
      if (c == 0) break;
      name += static_cast<char>(c);
    }
    if (name.size() >= 260) return HResultFromWin32(206);  // ERROR_FILENAME_EXCED_RANGE
    UniqueFile f(os::CreateFileA(name, Access::Write, Disposition::CreateAlways));
    if (!f) return HResultFromWin32(os::GetLastError());
    const std::string content = "fake shell link\r\n";
    std::uint32_t written = 0;
    if (!os::WriteFile(f.get(), content.data(), static_cast<std::uint32_t>(content.size()), written))
      return HResultFromWin32(os::GetLastError());
    Sh().links[KeyOf(name)] = props_;
    return kSOk;
  }

 private:
  LinkProperties props_;
};

class FakeShellLink final : public ShellLinkA {
 public:
  FakeShellLink() { ++Sh().liveObjects; }
  ~FakeShellLink() override { --Sh().liveObjects; }
  HResult SetArguments(const std::string& text) override { return Set("SetArguments", p_.arguments, text); }
  HResult SetShowCmd(int show) override { return Set("SetShowCmd", p_.showCmd, show); }
  HResult SetWorkingDirectory(const std::string& folder) override {
    return Set("SetWorkingDirectory", p_.workingDirectory, folder);
  }
  HResult SetPath(const std::string& path) override { return Set("SetPath", p_.path, path); }
  HResult SetDescription(const std::string& text) override {
    return Set("SetDescription", p_.description, text);
  }
  HResult SetHotkey(std::uint16_t hotkey) override { return Set("SetHotkey", p_.hotkey, hotkey); }
  HResult SetIconLocation(const std::string& file, int index) override {
    p_.iconIndex = index;
    return Set("SetIconLocation", p_.iconLocation, file);
  }
  HResult QueryPersistFile(std::unique_ptr<PersistFile>& persist) override {
    if (!Sh().offerPersistFile) return kENoInterface;
    persist = std::make_unique<FakePersistFile>(p_);
    return kSOk;
  }

 private:
  template <typename T>
  HResult Set(const char* call, T& field, const T& value) {
    field = value;
    p_.calls.push_back(call);
    return kSOk;
  }
  LinkProperties p_;
};

class FakeMalloc final : public Malloc {
 public:
  ItemIdList Alloc(std::uint32_t) override { return AllocateItemIdList(); }
  int DidAlloc(ItemIdList block) override { return Sh().blocks.count(block) ? 1 : 0; }
  void Free(ItemIdList block) override { Sh().blocks.erase(block); }
};

}  // namespace

void ResetShell() { Sh() = Shell{}; }
void ResetProcesses() { Procs() = Processes{}; }

void SetEnvironmentVariable(const std::string& name, const std::string& value) {
  Procs().environment[Upper(name)] = value;
}

void AddProgram(const std::string& path, std::function<void(const Launch&)> onExit, std::uint32_t exitCode) {
  if (!IsFile(path)) AddFile(path, "MZ program");
  Procs().programs[KeyOf(path)] = Program{std::move(onExit), exitCode};
}

std::vector<Launch> Launches() { return Procs().launches; }
std::vector<std::string> ProcessEvents() { return Procs().events; }
int OpenProcessHandleCount() { return static_cast<int>(Procs().handles.size()); }

int OleInitCount() { return Sh().oleInits; }
void FailLinkCreation(HResult hr) { Sh().failCreation = hr; }
void OfferPersistFile(bool offered) { Sh().offerPersistFile = offered; }

std::optional<LinkProperties> LinkAt(const std::string& path) {
  auto it = Sh().links.find(KeyOf(path));
  if (it == Sh().links.end() || !IsFile(path)) return std::nullopt;  // never saved, or deleted since
  return it->second;
}

int LiveLinkObjects() { return Sh().liveObjects; }

ItemIdList AllocateItemIdList() {
  ItemIdList block = Sh().nextBlock += 16;
  Sh().blocks.insert(block);
  return block;
}

bool IsAllocated(ItemIdList block) { return Sh().blocks.count(block) != 0; }
void FailShellAllocator(bool fail) { Sh().failAllocator = fail; }

}  // namespace os::fake

namespace os {
using namespace os::fake;

HResult OleInitialize() { return ++Sh().oleInits == 1 ? kSOk : kSFalse; }
void OleUninitialize() {
  if (Sh().oleInits > 0) --Sh().oleInits;
}

bool ShellExecuteExA(ShellExecuteInfo& info) {
  Launch launch{"ShellExecuteExA", info.mask,      info.window, info.verb, info.file, "",
                info.parameters,   info.directory, info.show};
  std::string file = (info.mask & kSeeMaskDoEnvSubst) ? Expand(info.file) : info.file;
  if (info.directory && (info.mask & kSeeMaskDoEnvSubst)) launch.directory = Expand(*info.directory);
  launch.startedPath = FindFile(file);
  Procs().launches.push_back(launch);
  info.process = 0;
  if (launch.startedPath.empty()) {
    info.instApp = 2;  // SE_ERR_FNF
    os::SetLastError(kErrorFileNotFound);
    return false;
  }
  info.instApp = 42;
  const std::string& path = launch.startedPath;
  if (!ProgramAt(path)) {
    // A document: the program that shows it is already running.
    Procs().events.push_back("detached " + path);
    return true;
  }
  Procs().events.push_back("start " + path);
  Process p{path, launch, false};
  if (info.mask & kSeeMaskNoCloseProcess) {
    info.process = NewHandle();
    Procs().handles[info.process] = p;
  } else {
    Procs().events.push_back("detached " + path);
    Exit(p);
  }
  return true;
}

std::intptr_t ShellExecuteA(Hwnd owner, const std::optional<std::string>& verb, const std::string& file,
                            const std::optional<std::string>& parameters,
                            const std::optional<std::string>& directory, int show) {
  Launch launch{"ShellExecuteA", 0, owner, verb, file, FindFile(file), parameters, directory, show};
  Procs().launches.push_back(launch);
  if (launch.startedPath.empty()) return 2;  // SE_ERR_FNF
  Procs().events.push_back("detached " + launch.startedPath);
  if (ProgramAt(launch.startedPath)) {
    Process p{launch.startedPath, launch, false};
    Exit(p);
  }
  return 42;
}

Hwnd GetDesktopWindow() { return 0x10010; }

std::uint32_t WaitForInputIdle(Handle process, std::uint32_t) {
  auto it = Procs().handles.find(process);
  if (it == Procs().handles.end()) return Fail(kErrorInvalidHandle), kWaitFailed;
  Procs().events.push_back("idle " + it->second.path);
  return kWaitObject0;
}

std::uint32_t WaitForSingleObject(Handle process, std::uint32_t milliseconds) {
  auto it = Procs().handles.find(process);
  if (it == Procs().handles.end()) return Fail(kErrorInvalidHandle), kWaitFailed;
  if (milliseconds != kInfinite && !it->second.exited) return kWaitTimeout;
  Exit(it->second);
  return kWaitObject0;
}

bool GetExitCodeProcess(Handle process, std::uint32_t& code) {
  auto it = Procs().handles.find(process);
  if (it == Procs().handles.end()) return Fail(kErrorInvalidHandle), false;
  const Program* program = ProgramAt(it->second.path);
  code = !it->second.exited ? kStillActive : program ? program->exitCode : 0;
  return true;
}

bool CloseProcessHandle(Handle process) {
  auto it = Procs().handles.find(process);
  if (it == Procs().handles.end()) return Fail(kErrorInvalidHandle), false;
  Procs().events.push_back("close " + it->second.path);
  Procs().handles.erase(it);
  return true;
}

HResult CoCreateShellLink(std::unique_ptr<ShellLinkA>& link) {
  if (Sh().oleInits == 0) return kCoENotInitialized;
  if (Sh().failCreation != kSOk) return Sh().failCreation;
  link = std::make_unique<FakeShellLink>();
  return kSOk;
}

bool MultiByteToWideChar(const std::string& text, std::u16string& wide) {
  wide.clear();
  for (char c : text) wide += static_cast<char16_t>(static_cast<unsigned char>(c));
  return true;
}

HResult SHGetMalloc(std::unique_ptr<Malloc>& allocator) {
  if (Sh().failAllocator) return kEFail;
  allocator = std::make_unique<FakeMalloc>();
  return kSOk;
}

}  // namespace os
