// The journal of an install run and its rollback: one line per step, written
// before the step; read backwards, the lines undo the steps.
#include "engine/RunJournal.h"

#include <cstdint>
#include <set>
#include <utility>

#include "engine/DelayedReplacement.h"
#include "engine/InstallList.h"
#include "engine/InstallLog.h"
#include "engine/SetupState.h"
#include "engine/SetupTexts.h"
#include "engine/TextFile.h"
#include "engine/UninstallTraces.h"
#include "os/OsRegistry.h"
#include "sys/AdminRights.h"
#include "sys/Dialogs.h"
#include "sys/Folders.h"
#include "sys/Launch.h"
#include "sys/PathText.h"
#include "sys/SetupRegistry.h"
#include "sys/WindowsVersion.h"

namespace {

// Where the journals of running installs are named, one subkey each (named
// after the private folder) whose default value is the journal's path: a key
// only administrators may write, so that a journal a user planted in the
// shared temporary folder is never taken for one.
constexpr char kJournalsKey[] = "SOFTWARE\\Marrowfield\\Setup\\Journals";

std::string RecordOf(const std::string& journal) {
  return std::string(kJournalsKey) + "\\" + ExtractFileName(StripBackslash(ExtractFilePath(journal)));
}
constexpr char kMagic[] = "QVJOURNAL 1";
// Where the NT family keeps the moves it makes at its next start.
constexpr char kSessionManager[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";
constexpr char kPendingRenames[] = "PendingFileRenameOperations";

// Kinds of journal lines; each line is the kind, then its fields, tab-separated.
namespace kind {
constexpr char kNewFile[] = "N";       // path: created by the run
constexpr char kKeptFile[] = "F";      // path, backup, attributes: changed or deleted by the run
constexpr char kAttributes[] = "A";    // path, attributes
constexpr char kFolder[] = "D";        // folder created
constexpr char kKey[] = "K";           // root, key created
constexpr char kValue[] = "V";         // root, key, name, type, data: the old value
constexpr char kNewValue[] = "W";      // root, key, name: a value that was not there
constexpr char kServer[] = "S";        // path of a server registered
constexpr char kReplacement[] = "R";   // destination of a replacement scheduled
constexpr char kNotTaken[] = "X";      // path: its last N or F line did not happen
}  // namespace kind

// Undo steps as the log names them.
constexpr char kRestored[] = "Restored: ";
constexpr char kRemoved[] = "Removed: ";
constexpr char kUnregistered[] = "Unregister Server: ";
constexpr char kRestoredAtRestart[] = "Restored at the next start of Windows: ";
constexpr char kRemovedAtRestart[] = "Removed at the next start of Windows: ";

// Fields may hold any byte: control bytes and "%" are written as %XX. No
// trail byte of a double-byte character is below 0x40, so none is touched.
std::string Escaped(const std::string& field) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (char c : field) {
    const auto b = static_cast<unsigned char>(c);
    if (b < 0x20 || c == '%')
      out += {'%', kHex[b >> 4], kHex[b & 15]};
    else
      out += c;
  }
  return out;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string Unescaped(const std::string& field) {
  std::string out;
  for (size_t i = 0; i < field.size(); ++i) {
    int high = -1, low = -1;
    if (field[i] == '%' && i + 2 < field.size() && (high = HexDigit(field[i + 1])) >= 0 &&
        (low = HexDigit(field[i + 2])) >= 0) {
      out += static_cast<char>(high * 16 + low);
      i += 2;
    } else {
      out += field[i];
    }
  }
  return out;
}

std::string Line(const std::vector<std::string>& fields) {
  std::string line;
  for (const std::string& field : fields) line += (line.empty() ? "" : "\t") + Escaped(field);
  return line;
}

std::vector<std::string> Fields(const std::string& line) {
  std::vector<std::string> fields;
  size_t start = 0;
  for (;;) {
    size_t tab = line.find('\t', start);
    fields.push_back(Unescaped(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start)));
    if (tab == std::string::npos) return fields;
    start = tab + 1;
  }
}

// A key path as the registry calls take it: no leading backslash.
std::string Relative(const std::string& keyPath) {
  return !keyPath.empty() && keyPath[0] == '\\' ? keyPath.substr(1) : keyPath;
}

bool KeyExists(os::Hkey root, const std::string& path) {
  os::Hkey raw = 0;
  if (os::RegOpenKeyExA(root, path, os::kKeyRead, raw) != 0) return false;
  os::UniqueKey key(raw);
  return true;
}

// The value's type and bytes; false when it is not there.
bool ReadValue(os::Hkey root, const std::string& path, const std::string& name, std::uint32_t& type,
               std::string& data) {
  os::Hkey raw = 0;
  if (os::RegOpenKeyExA(root, path, os::kKeyRead, raw) != 0) return false;
  os::UniqueKey key(raw);
  std::uint32_t size = 0;
  if (os::RegQueryValueExA(key.get(), name, &type, nullptr, &size) != 0) return false;
  for (;;) {
    data.assign(size, '\0');
    std::int32_t r = os::RegQueryValueExA(key.get(), name, &type, data.data(), &size);
    if (r == 0) return data.resize(size), true;
    if (r != os::kErrorMoreData) return false;
  }
}

std::string ValuePath(const std::string& root, const std::string& key, const std::string& name) {
  return root + "\\" + key + (name.empty() ? "" : "\\" + name);
}

// Deletes the key when it has neither subkeys nor values: what others wrote
// there since stays.
bool RemoveEmptyKey(os::Hkey root, const std::string& path) {
  os::Hkey raw = 0;
  if (root == 0 || os::RegOpenKeyExA(root, path, os::kKeyRead, raw) != 0) return false;
  std::uint32_t subKeys = 0, values = 0;
  {
    os::UniqueKey key(raw);
    if (os::RegQueryInfoKeyA(key.get(), subKeys, values) != 0) return false;
  }
  return subKeys == 0 && values == 0 && os::RegDeleteKeyA(root, path) == 0;
}

// Undoes one journal line; sets `restart` when Windows must finish it.
class Undo {
 public:
  explicit Undo(bool& restart) : restart_(restart) {}
  void Line(const std::vector<std::string>& f);
  // What waits for the next start of Windows is scheduled after every other
  // step, which could otherwise take it back with the run's own replacements.
  void ScheduleWhatWaits();

 private:
  void NewFile(const std::string& path);
  void KeptFile(const std::string& path, const std::string& backup, std::uint32_t attributes);
  void Value(const std::vector<std::string>& f);
  void Key(const std::string& root, const std::string& path);
  bool& restart_;
  struct Waiting {
    std::string path, kept;  // kept: the old file's copy beside it; empty to delete the path
  };
  std::vector<Waiting> waiting_;
};

void Undo::ScheduleWhatWaits() {
  for (const Waiting& w : waiting_) {
    if (w.kept.empty() ? ScheduleDelete(w.path) : ScheduleReplace(ChangeFileExt(w.kept, ".BAK"), w.kept, w.path)) {
      restart_ = true;
      LogLine((w.kept.empty() ? kRemovedAtRestart : kRestoredAtRestart) + w.path);
    }
  }
}

void Undo::Line(const std::vector<std::string>& f) {
  const std::string& k = f[0];
  if (k == kind::kNewFile && f.size() == 2) return NewFile(f[1]);
  if (k == kind::kKeptFile && f.size() == 4)
    return KeptFile(f[1], f[2], static_cast<std::uint32_t>(TextToIntDef(f[3], 0)));
  if (k == kind::kAttributes && f.size() == 3) {
    if (os::SetFileAttributesA(f[1], static_cast<std::uint32_t>(TextToIntDef(f[2], 0)))) LogLine(kRestored + f[1]);
    return;
  }
  if (k == kind::kFolder && f.size() == 2) {
    // Only an empty folder goes: what others put there stays.
    if (FolderExists(f[1]) && os::RemoveDirectoryA(f[1])) LogLine(kRemoved + f[1]);
    return;
  }
  if (k == kind::kKey && f.size() == 3) return Key(f[1], f[2]);
  if ((k == kind::kValue && f.size() == 6) || (k == kind::kNewValue && f.size() == 4)) return Value(f);
  if (k == kind::kServer && f.size() == 2) {
    if (!FileFound(f[1])) return;
    LogLine(kUnregistered + f[1]);
    UnregisterServer(f[1]);  // what the server answers is not looked at, as when it was registered
    return;
  }
  if (k == kind::kReplacement && f.size() == 2) {
    if (IsRenamePending(f[1]) && CancelReplace(f[1])) LogLine(kReplacementCancelled + f[1]);
  }
}

void Undo::NewFile(const std::string& path) {
  if (os::GetFileAttributesA(path) == os::kInvalidFileAttributes) return;  // the step never came
  os::SetFileAttributesA(path, os::kAttrNormal);
  if (os::DeleteFileA(path)) return LogLine(kRemoved + path);
  waiting_.push_back({path, ""});
}

void Undo::KeptFile(const std::string& path, const std::string& backup, std::uint32_t attributes) {
  // A file the step left as it was (a write that failed, a copy that found
  // it in use) only gets its attributes back: it may still be in use.
  std::string now, kept;
  if (ReadTextFile(path, now) && ReadTextFile(backup, kept) && now == kept) {
    if (os::SetFileAttributesA(path, attributes)) LogLine(kRestored + path);
    return;
  }
  if (FileFound(path)) os::SetFileAttributesA(path, os::kAttrNormal);
  if (os::CopyFileA(backup, path, false)) {
    os::SetFileAttributesA(path, attributes);
    return LogLine(kRestored + path);
  }
  // In use: the old file waits beside it and takes its place at the next start.
  const std::string cached = PendingReplacements::Read().CachedNameFor(path);
  if (os::CopyFileA(backup, cached, false)) waiting_.push_back({path, cached});
}

void Undo::Value(const std::vector<std::string>& f) {
  const os::Hkey root = RootKeyByName(f[1]);
  os::Hkey raw = 0;
  if (root == 0 || os::RegOpenKeyExA(root, f[2], os::kKeyAllAccess, raw) != 0) return;
  os::UniqueKey key(raw);
  if (f[0] == kind::kNewValue) {
    if (os::RegDeleteValueA(key.get(), f[3]) == 0) LogLine(kRemoved + ValuePath(f[1], f[2], f[3]));
    return;
  }
  const std::string& data = f[5];
  if (os::RegSetValueExA(key.get(), f[3], static_cast<std::uint32_t>(TextToIntDef(f[4], 0)), data.data(),
                         static_cast<std::uint32_t>(data.size())) == 0)
    LogLine(kRestored + ValuePath(f[1], f[2], f[3]));
}

void Undo::Key(const std::string& rootName, const std::string& path) {
  if (RemoveEmptyKey(RootKeyByName(rootName), path)) LogLine(kRemoved + ValuePath(rootName, path, ""));
}

// Undoes the lines of a journal (its head skipped): servers first, while
// their files are still there, then every other step in reverse order.
bool UndoLines(const std::vector<std::string>& lines) {
  bool restart = false;
  Undo undo(restart);
  std::vector<std::vector<std::string>> entries;
  for (const std::string& line : lines) entries.push_back(Fields(line));
  for (auto e = entries.rbegin(); e != entries.rend(); ++e)
    if ((*e)[0] == kind::kServer) undo.Line(*e);
  std::set<std::string> notTaken;  // upper-cased paths whose next older N or F is passed over
  for (auto e = entries.rbegin(); e != entries.rend(); ++e) {
    const std::string& k = (*e)[0];
    if (k == kind::kServer) continue;
    if (k == kind::kNotTaken || k == kind::kNewFile || k == kind::kKeptFile) {
      if (e->size() < 2) continue;
      const std::string path = UpperText((*e)[1]);
      if (k == kind::kNotTaken) {
        notTaken.insert(path);
        continue;
      }
      if (notTaken.erase(path)) continue;
    }
    undo.Line(*e);
  }
  undo.ScheduleWhatWaits();
  return restart;
}

// The record of a journal, and the keys above it that only held it.
void ForgetRecord(const std::string& record) {
  DeleteRegKey("HKEY_LOCAL_MACHINE", record);  // a record that is gone already is no failure
  for (std::string k = StripBackslash(ExtractFilePath(record)); UpperText(k) != "SOFTWARE";
       k = StripBackslash(ExtractFilePath(k)))
    if (!RemoveEmptyKey(os::kHkeyLocalMachine, k)) break;
}

void Forget(const std::string& journal) { ForgetRecord(RecordOf(journal)); }

// The journals the records name, with the record's own key path.
std::vector<std::pair<std::string, std::string>> RecordedJournals() {
  std::vector<std::pair<std::string, std::string>> journals;
  os::Hkey raw = 0;
  if (os::RegOpenKeyExA(os::kHkeyLocalMachine, kJournalsKey, os::kKeyRead, raw) != 0) return journals;
  os::UniqueKey key(raw);
  std::string name;
  for (std::uint32_t i = 0; os::RegEnumKeyExA(key.get(), i, name) == 0; ++i) {
    const std::string record = std::string(kJournalsKey) + "\\" + name;
    journals.emplace_back(ReadRegString("HKEY_LOCAL_MACHINE", record, ""), record);
  }
  return journals;
}

// The private folder of a finished or restored run, with its kept files.
void RemoveFolder(const std::string& folder, const std::string& journal) {
  os::DeleteFileA(journal);  // first: a folder that stays half removed holds no journal
  RemoveTree(folder, folder, kRemoveTreeConfirm);
}

}  // namespace

void RunJournal::Open(const std::string& folder, const std::string& title, const std::string& destination) {
  folder_ = StripBackslash(folder);
  if (folder_.empty()) return;
  path_ = folder_ + "\\" + kJournalName;
  file_ = os::UniqueFile(os::CreateFileA(path_, os::Access::Write, os::Disposition::CreateNew));
  if (!file_) return;
  const std::string head = std::string(kMagic) + "\r\n" + Line({title}) + "\r\n" + Line({destination}) + "\r\n";
  std::uint32_t written = 0;
  if (!os::WriteFile(file_.get(), head.data(), static_cast<std::uint32_t>(head.size()), written)) return Close();
  WriteMachineString(RecordOf(path_), "", path_);
}

void RunJournal::Close() { file_.reset(); }

void RunJournal::Note(const std::vector<std::string>& entries) {
  std::string text;
  for (const std::string& entry : entries) {
    entries_.push_back(entry);
    text += entry + "\r\n";
  }
  std::uint32_t written = 0;
  if (file_) os::WriteFile(file_.get(), text.data(), static_cast<std::uint32_t>(text.size()), written);
}

void RunJournal::FileChanging(const std::string& path, bool exists, std::uint32_t attributes) {
  if (!exists) return Note({Line({kind::kNewFile, path})});
  // The old file is copied, not moved, aside: one in use stays where its
  // users have it, and the run then caches the new file as before.
  const std::string backup = folder_ + "\\B" + std::to_string(++backups_);
  if (folder_.empty() || !os::CopyFileA(path, backup, false)) return;  // cannot be kept: cannot be restored
  Note({Line({kind::kKeptFile, path, backup, std::to_string(attributes)})});
}

void RunJournal::FileChanging(const std::string& path) {
  const std::uint32_t attributes = os::GetFileAttributesA(path);
  FileChanging(path, attributes != os::kInvalidFileAttributes && !(attributes & os::kAttrDirectory), attributes);
}

void RunJournal::NotTaken(const std::string& path) { Note({Line({kind::kNotTaken, path})}); }

void RunJournal::ContentKept(const std::string& path, std::uint32_t attributes) {
  // One write: a journal cut between the two lines would lose the attributes.
  std::vector<std::string> lines;
  if (attributes != os::kInvalidFileAttributes) lines.push_back(Line({kind::kAttributes, path, std::to_string(attributes)}));
  lines.push_back(Line({kind::kNotTaken, path}));
  Note(lines);
}

void RunJournal::AttributesChanging(const std::string& path, std::uint32_t attributes) {
  if (attributes != os::kInvalidFileAttributes) Note({Line({kind::kAttributes, path, std::to_string(attributes)})});
}

void RunJournal::FoldersCreating(const std::string& folder) {
  std::vector<std::string> missing;
  for (std::string f = StripBackslash(folder); f.size() > 3 && !FolderExists(f);) {
    missing.insert(missing.begin(), Line({kind::kFolder, f}));
    const std::string parent = StripBackslash(ExtractFilePath(f));
    if (parent.size() >= f.size()) break;
    f = parent;
  }
  if (!missing.empty()) Note(missing);
}

// The lines that let a value about to be written be put back: the keys
// missing on its path, then its old data and type (or that it was not there).
static std::vector<std::string> ValueLines(const std::string& root, const std::string& keyPath, const std::string& name) {
  const os::Hkey rootKey = RootKeyByName(root);
  const std::string path = Relative(keyPath);
  std::vector<std::string> lines;
  if (rootKey == 0 || path.empty()) return lines;
  for (std::string k = path; !k.empty() && !KeyExists(rootKey, k); k = StripBackslash(ExtractFilePath(k)))
    lines.insert(lines.begin(), Line({kind::kKey, root, k}));
  std::uint32_t type = 0;
  std::string data;
  if (lines.empty() && ReadValue(rootKey, path, name, type, data))
    lines.push_back(Line({kind::kValue, root, path, name, std::to_string(type), data}));
  else
    lines.push_back(Line({kind::kNewValue, root, path, name}));
  return lines;
}

void RunJournal::RegValueWriting(const std::string& root, const std::string& keyPath, const std::string& name) {
  if (std::vector<std::string> lines = ValueLines(root, keyPath, name); !lines.empty()) Note(lines);
}

void RunJournal::ServerRegistering(const std::string& path) { Note({Line({kind::kServer, path})}); }

void RunJournal::ReplacementScheduling(const std::string& destination) {
  if (IsRenamePending(destination)) return;
  // Where Windows keeps the replacements, when the run is the first to keep
  // one there: the withdrawal then leaves nothing of it behind either.
  std::vector<std::string> lines;
  if (GetWinVersion() < kWinNT4) {
    const std::string wininit = WindowsFolderBS() + "WININIT.INI";
    if (os::GetFileAttributesA(wininit) == os::kInvalidFileAttributes) lines.push_back(Line({kind::kNewFile, wininit}));
  } else {
    // An existing list is edited line by line when the replacement is withdrawn.
    lines = ValueLines("HKEY_LOCAL_MACHINE", kSessionManager, kPendingRenames);
    if (!lines.empty() && Fields(lines.back())[0] == kind::kValue) lines.pop_back();
  }
  lines.push_back(Line({kind::kReplacement, destination}));
  Note(lines);
}

void RunJournal::Finished() {
  Close();
  entries_.clear();
  if (path_.empty()) return;
  os::DeleteFileA(path_);
  Forget(path_);
}

bool RunJournal::RollBack() {
  const bool restart = UndoLines(entries_);
  Finished();
  return restart;
}

bool RecoverUnfinishedRuns() {
  // Only an administrator can put back what an install changed.
  if (IsNtFamily(GetWinVersion()) && !IsAdministrator()) return false;
  bool restart = false;
  for (const auto& [journal, record] : RecordedJournals()) {
    // A running setup holds its journal open for writing: that one is alive.
    os::UniqueFile file(os::CreateFileA(journal, os::Access::ReadWrite, os::Disposition::OpenExisting));
    if (!file) {
      // Gone: nothing to restore. A record without a journal (one cut
      // short before it was written) goes too.
      if (os::GetLastError() != os::kErrorSharingViolation) ForgetRecord(record);
      continue;
    }
    std::string text;
    char buffer[4096];
    std::uint32_t read = 0;
    while (os::ReadFile(file.get(), buffer, sizeof buffer, read) && read > 0) text.append(buffer, read);
    file.reset();
    // Only whole lines count: a line cut short announced a step that never began.
    text.erase(text.rfind("\r\n") == std::string::npos ? 0 : text.rfind("\r\n") + 2);
    std::vector<std::string> lines = SplitLines(text);
    if (lines.size() < 3 || lines[0] != kMagic) {
      Forget(journal);
      continue;
    }
    const std::string title = Unescaped(lines[1]), destination = Unescaped(lines[2]);
    if (!AutomaticMode() && !QuestionBox(0, "Setup of " + title + " into " + destination +
                                                " did not finish. Restore this computer as it was before it?"))
      continue;
    ContinueLog(title, destination);
    LogLine("Restoring after an unfinished setup");
    restart = UndoLines({lines.begin() + 3, lines.end()}) || restart;
    RemoveFolder(StripBackslash(ExtractFilePath(journal)), journal);
    Forget(journal);
    StopLog();
  }
  return restart;
}
