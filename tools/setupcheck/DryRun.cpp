// The dry run: a Windows of the chosen version in memory, the setup program's
// real start-up and install run in automatic mode on it, and what changed.
#include "tools/setupcheck/DryRun.h"

#include <algorithm>
#include <map>
#include <optional>

#include "app/Setup.h"
#include "engine/InstallList.h"
#include "engine/InstallLog.h"
#include "engine/SetupState.h"
#include "engine/SetupTexts.h"
#include "engine/UninstallData.h"
#include "os/OsFiles.h"
#include "os/OsRegistry.h"
#include "os/OsUi.h"
#include "os/fake/FakeControl.h"
#include "os/fake/FakeRegistryControl.h"
#include "os/fake/FakeSessionControl.h"
#include "os/fake/FakeShellControl.h"
#include "os/fake/FakeUiControl.h"
#include "sys/PathText.h"
#include "sys/WindowsVersion.h"
#include "tools/setupcheck/Accessories.h"
#include "tools/setupcheck/PeExports.h"
#include "tools/setupcheck/SeamEngine.h"

namespace {

using os::fake::AddFile;
using os::fake::SetRegString;

constexpr char kSetupFolder[] = "C:\\SETUP";

struct RootName {
  os::Hkey root;
  const char* name;
};
constexpr RootName kRoots[] = {
    {os::kHkeyClassesRoot, "HKEY_CLASSES_ROOT"},     {os::kHkeyCurrentUser, "HKEY_CURRENT_USER"},
    {os::kHkeyLocalMachine, "HKEY_LOCAL_MACHINE"},   {os::kHkeyUsers, "HKEY_USERS"},
    {os::kHkeyCurrentConfig, "HKEY_CURRENT_CONFIG"}, {os::kHkeyDynData, "HKEY_DYN_DATA"}};

// Where each Windows keeps what the installer touches.
struct Layout {
  os::OsVersionInfo version;
  std::string windows, system, profile;  // profile: the user's Start Menu lies below it
};

Layout LayoutOf(int code) {
  const bool nt = code >= kWinNT4;
  Layout l;
  switch (code) {
    case kWin95A:
      l.version = {4, 0, 950, 1, ""};
      break;
    case kWin95B:
      l.version = {4, 0, 0x04000457, 1, " B"};
      break;
    case kWin95C:
      l.version = {4, 0, 0x04000457, 1, " C"};
      break;
    case kWin98:
      l.version = {4, 10, 0x040A07CE, 1, " "};
      break;
    case kWin98SE:
      l.version = {4, 10, 0x040A08AE, 1, " A "};
      break;
    case kWinME:
      l.version = {4, 90, 0x045A0BB8, 1, " "};
      break;
    case kWinNT4:
      l.version = {4, 0, 1381, 2, "Service Pack 6"};
      break;
    case kWin2K:
      l.version = {5, 0, 2195, 2, "Service Pack 4"};
      break;
    default:
      l.version = {5, 1, 2600, 2, "Service Pack 2"};
      break;
  }
  l.windows = FreshWindowsFolder(code);
  l.system = FreshSystemFolder(code);
  if (!nt)
    l.profile = l.windows;
  else if (code == kWinNT4)
    l.profile = l.windows + "\\Profiles\\Administrator";
  else
    l.profile = "C:\\Documents and Settings\\Administrator";
  return l;
}

std::string TypeName(std::uint32_t type) {
  switch (type) {
    case os::kRegSz:
      return "REG_SZ";
    case os::kRegExpandSz:
      return "REG_EXPAND_SZ";
    case os::kRegBinary:
      return "REG_BINARY";
    case os::kRegDword:
      return "REG_DWORD";
    case os::kRegMultiSz:
      return "REG_MULTI_SZ";
    default:
      return "type " + std::to_string(type);
  }
}

std::string ValueText(const os::fake::RegValue& value) {
  std::string data = value.data;
  if (value.type == os::kRegSz || value.type == os::kRegExpandSz) {
    if (!data.empty() && data.back() == '\0') data.pop_back();
    return data;
  }
  if (value.type == os::kRegDword && data.size() == 4) {
    std::uint32_t n = 0;
    for (int i = 3; i >= 0; --i) n = (n << 8) | static_cast<unsigned char>(data[static_cast<std::size_t>(i)]);
    return std::to_string(n);
  }
  if (value.type == os::kRegMultiSz) {
    while (!data.empty() && data.back() == '\0') data.pop_back();
    for (char& c : data)
      if (c == '\0') c = '|';
    return data;
  }
  static const char kHex[] = "0123456789abcdef";
  std::string hex;
  for (unsigned char c : data) hex += {kHex[c >> 4], kHex[c & 15]};
  return hex;
}

// Every file of the machine with its content.
void SnapshotFiles(const std::string& folder, std::map<std::string, std::string>& files) {
  for (const std::string& name : os::fake::List(folder)) {
    const std::string path = folder + "\\" + name;
    if (os::fake::Attributes(path) & os::kAttrDirectory)
      SnapshotFiles(path, files);
    else
      files[path] = os::fake::Content(path);
  }
}

struct ValueKey {
  std::string key, name;
  bool operator<(const ValueKey& o) const { return key != o.key ? key < o.key : name < o.name; }
};
void SnapshotKey(os::Hkey root, const std::string& rootName, const std::string& path,
                 std::map<ValueKey, os::fake::RegValue>& values) {
  for (const std::string& name : os::fake::RegValueNames(root, path))
    values[{rootName + (path.empty() ? "" : "\\" + path), name}] = *os::fake::RegValueAt(root, path, name);
  for (const std::string& sub : os::fake::RegSubKeys(root, path))
    SnapshotKey(root, rootName, path.empty() ? sub : path + "\\" + sub, values);
}

struct Snapshot {
  std::map<std::string, std::string> files;
  std::map<ValueKey, os::fake::RegValue> values;
};
Snapshot TakeSnapshot() {
  Snapshot s;
  SnapshotFiles("C:", s.files);
  for (const RootName& r : kRoots) SnapshotKey(r.root, r.name, "", s.values);
  return s;
}

bool Ignored(const std::string& path) {
  const std::string upper = UpperText(path);
  return upper.rfind("C:\\SETUP\\", 0) == 0 || upper.rfind("C:\\SETUPCHECK\\", 0) == 0;
}

std::string Buttons(std::uint32_t type) {
  switch (type & 0x0F) {
    case os::kMbOkCancel:
      return "OK/Cancel";
    case os::kMbYesNo:
      return "Yes/No";
    default:
      return "OK";
  }
}

std::string IconName(std::uint32_t type) {
  switch (type & 0xF0) {
    case 0x10:
      return "error";
    case os::kMbIconQuestion:
      return "question";
    case os::kMbIconExclamation:
      return "exclamation";
    case os::kMbIconInformation:
      return "information";
    default:
      return "";
  }
}

std::string ButtonName(int id) {
  switch (id) {
    case os::kIdOk:
      return "OK";
    case os::kIdCancel:
      return "Cancel";
    case os::kIdYes:
      return "Yes";
    case os::kIdNo:
      return "No";
    default:
      return std::to_string(id);
  }
}

// Delayed moves as Windows NT keeps them: pairs of NUL-ended paths.
void AddPendingMoves(const std::string& data, std::vector<std::string>& pending) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (start < data.size()) {
    const std::size_t end = data.find('\0', start);
    parts.push_back(data.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (end == std::string::npos) break;
    start = end + 1;
  }
  while (!parts.empty() && parts.back().empty()) parts.pop_back();
  for (std::size_t i = 0; i < parts.size(); i += 2) {
    const std::string& to = i + 1 < parts.size() ? parts[i + 1] : "";
    pending.push_back(to.empty() ? "delete " + parts[i] : "move " + parts[i] + " to " + to);
  }
}

// Every file and folder of the machine with its size, attributes and date:
// equal fingerprints mean nothing on the disk changed in between.
void Fingerprint(const std::string& folder, std::string& out) {
  for (const std::string& name : os::fake::List(folder)) {
    const std::string path = folder + "\\" + name;
    const std::uint32_t attributes = os::fake::Attributes(path);
    out += path + '|' + std::to_string(attributes) + '|' +
           std::to_string(os::fake::LastWriteTime(path).ticks) + '|';
    if (attributes & os::kAttrDirectory) {
      Fingerprint(path, out);
    } else {
      os::FindData found;
      os::UniqueFind find(os::FindFirstFileA(path, found));
      out += std::to_string(find ? found.size : 0) + '\n';
    }
  }
}

// A question asked again and again with the same answer while nothing
// changes would be asked forever: after this many times in a row the dry
// run gives the other answer (or, to a box with one button, stops the run).
constexpr int kLoopRepeats = 3;

// Thrown through the program to end a run that cannot end otherwise; the
// program's own guard may catch it and end as after a failure.
struct LoopStop {};

// The publisher's _setup.dll is Windows code, which the dry run cannot run:
// DoSetup is answered as by a call that succeeds.
std::int32_t DryDoSetup(std::uint32_t) { return 0; }

}  // namespace

bool PrepareWindows(const std::string& keyword) {
  if (!IsOsKeyword(keyword)) return false;
  const int code = OsKeywordCode(keyword);
  const Layout l = LayoutOf(code);
  const bool nt = code >= kWinNT4;
  os::fake::Reset();
  ResetWinVersionCacheForTests();
  os::fake::SetVersion(l.version);
  os::fake::SetWindowsDirectory(l.windows);
  os::fake::SetSystemDirectory(l.system);
  // The fresh machine has the XP folders; another layout does not keep them.
  if (UpperText(l.system) != "C:\\WINDOWS\\SYSTEM32") os::RemoveDirectoryA("C:\\WINDOWS\\SYSTEM32");
  if (UpperText(l.windows) != "C:\\WINDOWS") os::RemoveDirectoryA("C:\\WINDOWS");
  for (const char* name : {"win.ini", "system.ini", "regedit.exe"}) AddFile(l.windows + "\\" + name, "MZ");
  for (const char* name : {"kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "shell32.dll",
                           "ole32.dll", "comctl32.dll", "msvcrt.dll"})
    AddFile(l.system + "\\" + name, "MZ");
  for (const std::string& path : AccessoryPaths(code, l.windows, l.system)) AddFile(path, "MZ");
  os::fake::AddFolder(l.windows + "\\TEMP");
  AddFile("C:\\AUTOEXEC.BAT", "");
  AddFile("C:\\CONFIG.SYS", "");
  if (!nt)
    AddFile("C:\\MSDOS.SYS", "[Paths]\r\nWinDir=C:\\WINDOWS\r\n",
            os::kAttrHidden | os::kAttrSystem | os::kAttrReadonly);
  os::fake::AddFolder("C:\\Program Files\\Accessories");
  const std::string startMenu = l.profile + "\\Start Menu";
  os::fake::AddFolder(startMenu + "\\Programs\\Accessories");
  os::fake::AddFolder(startMenu + "\\Programs\\StartUp");
  os::fake::AddFolder(l.profile + "\\Desktop");
  const std::string shellFolders = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
  SetRegString(os::kHkeyCurrentUser, shellFolders, "Programs", startMenu + "\\Programs");
  SetRegString(os::kHkeyCurrentUser, shellFolders, "Start Menu", startMenu);
  SetRegString(os::kHkeyCurrentUser, shellFolders, "Desktop", l.profile + "\\Desktop");
  SetRegString(os::kHkeyCurrentUser, shellFolders, "Startup", startMenu + "\\Programs\\StartUp");
  const std::string current =
      nt ? "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion" : "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
  SetRegString(os::kHkeyLocalMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir",
               "C:\\Program Files");
  SetRegString(os::kHkeyLocalMachine, current, "SystemRoot", l.windows);
  SetRegString(os::kHkeyClassesRoot, ".txt", "", "txtfile");
  SetRegString(os::kHkeyClassesRoot, "txtfile\\shell\\open\\command", "", l.windows + "\\NOTEPAD.EXE %1");
  os::fake::SetModuleFileName(std::string(kSetupFolder) + "\\setup.exe");
  return true;
}

std::optional<BoxAnswer> ParseBoxAnswer(const std::string& argument) {
  const auto equals = argument.rfind('=');
  if (equals == std::string::npos) return std::nullopt;
  BoxAnswer answer{argument.substr(0, equals), argument.substr(equals + 1)};
  for (const char* button : {"OK", "Cancel", "Yes", "No"})
    if (UpperText(answer.button) == UpperText(button)) return answer.button = button, answer;
  return std::nullopt;
}

namespace {

// One dry run, step by step: the setup folder readied, the boxes, libraries
// and user played, the program run, and what it changed read off the machine.
class DryRunner {
 public:
  DryRunner(const std::string& keyword, const std::vector<BoxAnswer>& answers) : answers_(answers) {
    run_.version = keyword;
  }
  DryRun Run();

 private:
  void ReadySetupFolder();
  std::optional<int> Answer(const std::string& text, std::uint32_t type);
  std::optional<std::map<std::string, os::Proc>> LoadLibrary(const std::string& path);
  bool ActAsUser();
  void PlayProgram();
  void ReportFiles(const Snapshot& before, const Snapshot& after);
  void ReportValues(const Snapshot& before, const Snapshot& after);
  void ReportShortcutsAndPending();
  void ReportUninstallData();
  void ReportWhatWasShownAndStarted();

  const std::vector<BoxAnswer>& answers_;
  DryRun run_;
  struct Asked {
    std::string text;
    std::uint32_t type = 0;
    std::optional<int> answer;
    std::string disk;
    int times = 0;
  } last_;
};

DryRun DryRunner::Run() {
  ReadySetupFolder();
  const Snapshot before = TakeSnapshot();
  PlayProgram();
  const Snapshot after = TakeSnapshot();
  ReportFiles(before, after);
  ReportValues(before, after);
  ReportShortcutsAndPending();
  ReportUninstallData();
  ReportWhatWasShownAndStarted();
  return run_;
}

void DryRunner::ReadySetupFolder() {
  AddFile(std::string(kSetupFolder) + "\\autoin.dat", "");
  // The engine that extracts a package is ours, in-process, when the folder ships it.
  if (os::fake::Exists(std::string(kSetupFolder) + "\\UNZDLL.DLL"))
    InstallSeamEngine(std::string(kSetupFolder) + "\\UNZDLL.DLL");
}

std::optional<int> DryRunner::Answer(const std::string& text, std::uint32_t type) {
  std::optional<int> answer;
  for (const BoxAnswer& a : answers_)
    if (!answer && text.find(a.text) != std::string::npos) {
      for (int id : {os::kIdOk, os::kIdCancel, os::kIdYes, os::kIdNo})
        if (ButtonName(id) == a.button) answer = id;
    }
  std::string disk;
  Fingerprint("C:", disk);
  if (last_.times == 0 || last_.text != text || last_.type != type || last_.answer != answer ||
      last_.disk != disk) {
    last_ = Asked{text, type, answer, disk, 1};
    return answer;
  }
  if (++last_.times < kLoopRepeats) return answer;
  const std::string given = answer ? ButtonName(*answer) : Buttons(type).substr(0, Buttons(type).find('/'));
  run_.loop = "The box \"" + text + "\" came back " + std::to_string(last_.times) + " times, answered " +
              given + " each time, with nothing changed: Setup would ask forever. ";
  switch (type & 0x0F) {
    case os::kMbOkCancel:
      run_.loop += "The dry run answered Cancel to end it.";
      return os::kIdCancel;
    case os::kMbYesNo:
      run_.loop += "The dry run answered " + std::string(answer == os::kIdNo ? "Yes" : "No") + " to end it.";
      return answer == os::kIdNo ? os::kIdYes : os::kIdNo;
    default:
      run_.loop += "The dry run stopped the run there; what follows is not what Setup would do.";
      throw LoopStop{};
  }
}

// The publisher's _setup.dll loads when Windows would load it: a 32-bit image.
std::optional<std::map<std::string, os::Proc>> DryRunner::LoadLibrary(const std::string& path) {
  if (UpperText(ExtractFileName(path)) != "_SETUP.DLL") return std::nullopt;
  const auto names = PeExportNames(os::fake::Content(path));
  if (!names) return std::nullopt;
  std::map<std::string, os::Proc> exports;
  if (std::find(names->begin(), names->end(), "DoSetup") != names->end()) {
    exports["DoSetup"] = reinterpret_cast<os::Proc>(&DryDoSetup);
    run_.notes.push_back(
        "Setup would call DoSetup of _setup.dll. The dry run cannot run Windows code: the log "
        "shows the lines of a call that succeeds, with 0 for what DoSetup returns.");
  }
  return exports;
}

// Automatic mode drives the wizard by itself; a wizard still waiting when
// nothing is left to do waits for a person, so the dry run closes it.
bool DryRunner::ActAsUser() {
  for (os::Hwnd h : os::fake::TopLevelWindows())
    if (const os::fake::WindowInfo* info = os::fake::Info(h);
        info && info->formKind == os::FormKind::Dialog && info->visible && !run_.wizardWaited) {
      run_.wizardWaited = true;
      os::CloseWindow(h);
      return true;
    }
  return false;
}

void DryRunner::PlayProgram() {
  os::fake::SetBoxAnswerer(
      [this](const std::string& text, std::uint32_t type) { return Answer(text, type); });
  os::fake::SetLibraryLoader([this](const std::string& path) { return LoadLibrary(path); });
  os::fake::SetUser([this] { return ActAsUser(); });
  Shared() = SetupState{};
  // An answer to "Cancel Setup?" is a Cancel pressed: it is asked before the first file.
  for (const BoxAnswer& a : answers_)
    Shared().CancelPressed |=
        !a.text.empty() && std::string(kCancelSetupQuestion).find(a.text) != std::string::npos;
  ForgetLogForTests();
  try {
    run_.exitCode = SetupMain();
  } catch (const LoopStop&) {
    run_.exitCode = -1;
  }
  os::fake::SetUser(nullptr);
  os::fake::SetBoxAnswerer(nullptr);
  os::fake::SetLibraryLoader(nullptr);
}

void DryRunner::ReportFiles(const Snapshot& before, const Snapshot& after) {
  for (const auto& [path, content] : after.files) {
    if (Ignored(path)) continue;
    auto old = before.files.find(path);
    if (old == before.files.end() || old->second != content)
      run_.files.push_back({path, content.size(), old != before.files.end()});
  }
  for (const auto& [path, content] : before.files)
    if (!Ignored(path) && !after.files.count(path)) run_.removedFiles.push_back(path);
}

void DryRunner::ReportValues(const Snapshot& before, const Snapshot& after) {
  for (const auto& [where, value] : after.values) {
    auto old = before.values.find(where);
    if (old != before.values.end() && old->second == value) continue;
    run_.values.push_back({where.key, where.name, TypeName(value.type), ValueText(value)});
    if (where.name == "PendingFileRenameOperations") AddPendingMoves(value.data, run_.pending);
  }
  for (const auto& [where, value] : before.values)
    if (!after.values.count(where)) run_.removedValues.push_back(where.key + "\\" + where.name);
}

void DryRunner::ReportShortcutsAndPending() {
  for (const DryRun::File& f : run_.files) {
    // A link keeps the name it was given when that holds ".lnk" anywhere (Notes.lnk.txt).
    if (auto link = os::fake::LinkAt(f.path))
      run_.shortcuts.push_back({f.path, link->path, link->arguments, link->workingDirectory,
                                link->iconLocation, link->description, link->iconIndex, link->showCmd});
    if (UpperText(ExtractFileName(f.path)) == "WININIT.INI")
      for (const std::string& line : SplitLines(os::fake::Content(f.path)))
        if (!line.empty() && line[0] != '[') run_.pending.push_back(line);
  }
}

// The uninstall entry's command names the data file; the data goes where the install run writes it.
void DryRunner::ReportUninstallData() {
  for (const auto& v : run_.values)
    if (v.name == "UninstallString") {
      const TUninstallArgs command = ParseUninstallCommand(v.data);
      if (command.valid)
        run_.uninstallDataFile = UninstallDataWrittenTo(command.dataFile, Shared().InstallDir);
    }
  if (!run_.uninstallDataFile.empty()) run_.uninstallData = os::fake::Content(run_.uninstallDataFile);
}

void DryRunner::ReportWhatWasShownAndStarted() {
  run_.logFile = LogPath();
  if (!run_.logFile.empty()) run_.log = os::fake::Content(run_.logFile);
  for (const os::fake::ShownBox& box : os::fake::Boxes())
    run_.boxes.push_back(
        {box.text, box.caption, Buttons(box.type), ButtonName(box.answer), IconName(box.type)});
  for (const os::fake::Launch& launch : os::fake::Launches()) {
    std::string started = launch.startedPath.empty() ? launch.file : launch.startedPath;
    if (launch.parameters && !launch.parameters->empty()) started += " " + *launch.parameters;
    run_.started.push_back(started);
  }
  for (const os::fake::Executed& e : os::fake::ExecutedCommands()) run_.started.push_back(e.commandLine);
  run_.restart = !os::fake::RestartRequests().empty();
}

}  // namespace

DryRun RunDry(const std::string& keyword, const std::vector<BoxAnswer>& answers) {
  return DryRunner(keyword, answers).Run();
}
