// The journal of an install run and its rollback: one line per step, written
// before the step; read backwards, the lines undo the steps.
#include "engine/RunJournal.h"

#include <cstdint>
#include <algorithm>
#include <initializer_list>

#include "engine/DelayedReplacement.h"
#include "engine/InstallList.h"
#include "engine/InstallLog.h"
#include "engine/SetupState.h"
#include "engine/SetupTexts.h"
#include "engine/TextFile.h"
#include "engine/UninstallTraces.h"
#include "os/OsRegistry.h"
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
constexpr char kKeptFolder[] = "QVKEPT";
// Where the NT family keeps the moves it makes at its next start.
constexpr char kSessionManager[] = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";
constexpr char kPendingRenames[] = "PendingFileRenameOperations";

// Kinds of journal lines; each line is the kind, then its fields, tab-separated.
namespace kind {
constexpr char kNewFile = 'N';      // path: created by the run
constexpr char kKeptFile = 'F';     // path, backup, attributes: changed or deleted by the run
constexpr char kAttributes = 'A';   // path, attributes
constexpr char kFolder = 'D';       // folder created
constexpr char kKey = 'K';          // root, key created
constexpr char kValue = 'V';        // root, key, name, type, data: the old value
constexpr char kNewValue = 'W';     // root, key, name: a value that was not there
constexpr char kServer = 'S';       // path of a server registered
constexpr char kReplacement = 'R';  // destination of a replacement scheduled
constexpr char kNotTaken = 'X';     // path: its last N or F line did not happen
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

// A journal line: the kind, then each field after a tab.
std::string Line(char kind, std::initializer_list<const std::string*> fields) {
  std::string line(1, kind);
  for (const std::string* field : fields) line += '\t' + Escaped(*field);
  return line + "\r\n";
}

// The fields of a line after its kind; those a line lacks are empty.
struct Fields {
  explicit Fields(const std::string& line) {
    size_t start = 1;
    for (int n = 0; n < 5 && start < line.size() && line[start] == '\t'; ++n) {
      const size_t end = line.find('\t', start + 1);
      f[n] = Unescaped(line.substr(start + 1, end == std::string::npos ? std::string::npos : end - start - 1));
      if (end == std::string::npos) break;
      start = end;
    }
  }
  std::string f[5];
};

char KindOf(const std::string& line) { return line.empty() ? '\0' : line[0]; }

// A key path as the registry calls take it: no leading backslash.
std::string Relative(const std::string& keyPath) {
  return !keyPath.empty() && keyPath[0] == '\\' ? keyPath.substr(1) : keyPath;
}

// The value's type and bytes; false when it is not there. `keyFound` tells
// whether its key is.
bool ReadValue(os::Hkey root, const std::string& path, const std::string& name, std::uint32_t& type,
               std::string& data, bool& keyFound) {
  os::Hkey raw = 0;
  keyFound = os::RegOpenKeyExA(root, path, os::kKeyRead, raw) == 0;
  if (!keyFound) return false;
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

void Told(const char* what, const std::string& path) { LogLine(what + path); }

// Undoes journal lines; what waits for the next start of Windows is
// scheduled after every other step, which could otherwise take it back with
// the run's own replacements.
class Undo {
 public:
  void Line(char kind, const std::string* f);
  bool ScheduleWhatWaits();  // true when something waits

 private:
  void File(const std::string& path, const std::string& backup, const std::string& attributes);
  void Value(char kind, const std::string* f);
  // Pairs of a path and the old file's copy beside it (empty: the path is deleted).
  std::vector<std::string> waiting_;
};

bool Undo::ScheduleWhatWaits() {
  bool restart = false;
  for (size_t i = 0; i + 1 < waiting_.size(); i += 2) {
    const std::string &path = waiting_[i], &kept = waiting_[i + 1];
    if (kept.empty() ? ScheduleDelete(path) : ScheduleReplace(ChangeFileExt(kept, ".BAK"), kept, path)) {
      restart = true;
      Told(kept.empty() ? kRemovedAtRestart : kRestoredAtRestart, path);
    }
  }
  return restart;
}

void Undo::Line(char kind, const std::string* f) {
  switch (kind) {
    case kind::kNewFile:
    case kind::kKeptFile:
      return File(f[0], f[1], f[2]);
    case kind::kAttributes:
      if (os::SetFileAttributesA(f[0], static_cast<std::uint32_t>(TextToIntDef(f[1], 0)))) Told(kRestored, f[0]);
      return;
    case kind::kFolder:
      // Only an empty folder goes: what others put there stays.
      if (FolderExists(f[0]) && os::RemoveDirectoryA(f[0])) Told(kRemoved, f[0]);
      return;
    case kind::kKey:
      if (RemoveEmptyKey(RootKeyByName(f[0]), f[1])) Told(kRemoved, f[0] + "\\" + f[1]);
      return;
    case kind::kValue:
    case kind::kNewValue:
      return Value(kind, f);
    case kind::kServer:
      if (!FileFound(f[0])) return;
      Told(kUnregistered, f[0]);
      UnregisterServer(f[0]);  // what the server answers is not looked at, as when it was registered
      return;
    case kind::kReplacement:
      if (IsRenamePending(f[0]) && CancelReplace(f[0])) Told(kReplacementCancelled, f[0]);
      return;
  }
}

// A file created (no backup) or changed (its old copy kept as backup).
void Undo::File(const std::string& path, const std::string& backup, const std::string& attributesText) {
  if (os::GetFileAttributesA(path) == os::kInvalidFileAttributes && backup.empty()) return;  // the step never came
  const auto attributes = static_cast<std::uint32_t>(TextToIntDef(attributesText, 0));
  // A file the step left as it was (a write that failed, a copy that found
  // it in use) only gets its attributes back: it may still be in use.
  std::string now, kept;
  if (!backup.empty() && ReadWholeFile(path, now) && ReadWholeFile(backup, kept) && now == kept) {
    if (os::SetFileAttributesA(path, attributes)) Told(kRestored, path);
    return;
  }
  os::SetFileAttributesA(path, os::kAttrNormal);
  if (backup.empty() ? os::DeleteFileA(path) : os::CopyFileA(backup, path, false)) {
    if (!backup.empty()) os::SetFileAttributesA(path, attributes);
    return Told(backup.empty() ? kRemoved : kRestored, path);
  }
  // In use: the old file waits beside it and takes its place at the next start.
  std::string cached;
  if (!backup.empty()) {
    cached = PendingReplacements::Read().CachedNameFor(path);
    if (!os::CopyFileA(backup, cached, false)) return;
  }
  waiting_.push_back(path);
  waiting_.push_back(cached);
}

void Undo::Value(char kind, const std::string* f) {
  const os::Hkey root = RootKeyByName(f[0]);
  os::Hkey raw = 0;
  if (root == 0 || os::RegOpenKeyExA(root, f[1], os::kKeyAllAccess, raw) != 0) return;
  os::UniqueKey key(raw);
  const std::string& data = f[4];
  if (kind == kind::kNewValue ? os::RegDeleteValueA(key.get(), f[2]) == 0
                              : os::RegSetValueExA(key.get(), f[2], static_cast<std::uint32_t>(TextToIntDef(f[3], 0)),
                                                   data.data(), static_cast<std::uint32_t>(data.size())) == 0)
    Told(kind == kind::kNewValue ? kRemoved : kRestored, f[0] + "\\" + f[1] + "\\" + f[2]);
}

// Undoes the lines of a journal (its head skipped): servers first, while
// their files are still there, then every other step in reverse order.
bool UndoLines(const std::vector<std::string>& lines) {
  Undo undo;
  std::vector<std::string> notTaken;  // upper-cased paths whose next older N or F is passed over
  for (int pass = 0; pass < 2; ++pass) {
    for (auto line = lines.rbegin(); line != lines.rend(); ++line) {
      const char k = KindOf(*line);
      if ((k == kind::kServer) != (pass == 0)) continue;
      const Fields fields(*line);
      if (k == kind::kNotTaken || k == kind::kNewFile || k == kind::kKeptFile) {
        const std::string path = UpperText(fields.f[0]);
        if (k == kind::kNotTaken) {
          notTaken.push_back(path);
          continue;
        }
        if (auto found = std::find(notTaken.begin(), notTaken.end(), path); found != notTaken.end()) {
          notTaken.erase(found);
          continue;
        }
      }
      undo.Line(k, fields.f);
    }
  }
  return undo.ScheduleWhatWaits();
}

// The record of a journal, and the keys above it that only held it.
void ForgetRecord(const std::string& record) {
  DeleteRegKey("HKEY_LOCAL_MACHINE", record);  // a record that is gone already is no failure
  for (std::string k = StripBackslash(ExtractFilePath(record)); UpperText(k) != "SOFTWARE";
       k = StripBackslash(ExtractFilePath(k)))
    if (!RemoveEmptyKey(os::kHkeyLocalMachine, k)) break;
}

void Forget(const std::string& journal) { ForgetRecord(RecordOf(journal)); }

// The key paths of the records.
std::vector<std::string> Records() {
  std::vector<std::string> records;
  os::Hkey raw = 0;
  if (os::RegOpenKeyExA(os::kHkeyLocalMachine, kJournalsKey, os::kKeyRead, raw) != 0) return records;
  os::UniqueKey key(raw);
  std::string name;
  for (std::uint32_t i = 0; os::RegEnumKeyExA(key.get(), i, name) == 0; ++i)
    records.push_back(std::string(kJournalsKey) + "\\" + name);
  return records;
}

// The private folder of a finished or restored run, with its kept files.
void RemoveFolder(const std::string& folder, const std::string& journal) {
  os::DeleteFileA(journal);  // first: a folder that stays half removed holds no journal
  RemoveTree(folder, folder, kRemoveTreeConfirm);
}


// The lines that let a value about to be written be put back: the keys
// missing on its path, then (when asked) its old data and type, or that it
// was not there.
std::string ValueLines(const std::string& root, const std::string& keyPath, const std::string& name, bool old) {
  const os::Hkey rootKey = RootKeyByName(root);
  const std::string path = Relative(keyPath);
  if (rootKey == 0 || path.empty()) return "";
  std::uint32_t type = 0;
  std::string data, lines;
  bool keyFound = false;
  if (ReadValue(rootKey, path, name, type, data, keyFound)) {
    const std::string typeText = std::to_string(type);
    return old ? Line(kind::kValue, {&root, &path, &name, &typeText, &data}) : "";
  }
  for (std::string k = path; !keyFound && !k.empty(); k = StripBackslash(ExtractFilePath(k))) {
    lines.insert(0, Line(kind::kKey, {&root, &k}));
    os::Hkey raw = 0;
    keyFound = os::RegOpenKeyExA(rootKey, StripBackslash(ExtractFilePath(k)), os::kKeyRead, raw) == 0;
    if (keyFound) os::RegCloseKey(raw);
  }
  return lines + Line(kind::kNewValue, {&root, &path, &name});
}

}  // namespace

void RunJournal::Open(const std::string& folder, const std::string& title, const std::string& destination) {
  if (folder.empty()) return;
  path_ = folder + "\\" + kJournalName;
  // The kept files get a folder of their own: the private folder may hold
  // the extracted package, whose names they must not take.
  const std::string kept = folder + "\\" + kKeptFolder;
  if (os::CreateDirectoryA(kept)) folder_ = kept;
  file_ = os::UniqueFile(os::CreateFileA(path_, os::Access::Write, os::Disposition::CreateNew));
  if (!file_) return;
  const std::string head = std::string(kMagic) + "\r\n" + Escaped(title) + "\r\n" + Escaped(destination) + "\r\n";
  std::uint32_t written = 0;
  if (!os::WriteFile(file_.get(), head.data(), static_cast<std::uint32_t>(head.size()), written)) return Close();
  WriteMachineString(RecordOf(path_), "", path_);
}

void RunJournal::Close() { file_.reset(); }

void RunJournal::Note(const std::string& lines) {
  if (lines.empty()) return;
  text_ += lines;
  std::uint32_t written = 0;
  if (file_) os::WriteFile(file_.get(), lines.data(), static_cast<std::uint32_t>(lines.size()), written);
}

void RunJournal::FileChanging(const std::string& path, bool exists, std::uint32_t attributes) {
  if (!exists) return Note(Line(kind::kNewFile, {&path}));
  if (attributes == os::kInvalidFileAttributes) attributes = os::GetFileAttributesA(path);
  // The old file is copied, not moved, aside: one in use stays where its
  // users have it, and the run then caches the new file as before.
  const std::string backup = folder_ + "\\" + std::to_string(++backups_);
  if (folder_.empty() || !os::CopyFileA(path, backup, true)) return;  // cannot be kept: cannot be restored
  const std::string attributesText = std::to_string(attributes);
  Note(Line(kind::kKeptFile, {&path, &backup, &attributesText}));
}

void RunJournal::FileChanging(const std::string& path) {
  const std::uint32_t attributes = os::GetFileAttributesA(path);
  FileChanging(path, attributes != os::kInvalidFileAttributes && !(attributes & os::kAttrDirectory), attributes);
}

void RunJournal::NotTaken(const std::string& path) { Note(Line(kind::kNotTaken, {&path})); }

std::string RunJournal::AttributesLine(const std::string& path, std::uint32_t attributes) {
  const std::string attributesText = std::to_string(attributes);
  return attributes == os::kInvalidFileAttributes ? "" : Line(kind::kAttributes, {&path, &attributesText});
}

void RunJournal::ContentKept(const std::string& path, std::uint32_t attributes) {
  // One write: a journal cut between the two lines would lose the attributes.
  Note(AttributesLine(path, attributes) + Line(kind::kNotTaken, {&path}));
}

void RunJournal::AttributesChanging(const std::string& path, std::uint32_t attributes) {
  Note(AttributesLine(path, attributes));
}

void RunJournal::FoldersCreating(const std::string& folder) {
  std::string missing;
  for (std::string f = StripBackslash(folder); f.size() > 3 && !FolderExists(f);) {
    missing.insert(0, Line(kind::kFolder, {&f}));
    const std::string parent = StripBackslash(ExtractFilePath(f));
    if (parent.size() >= f.size()) break;
    f = parent;
  }
  Note(missing);
}

void RunJournal::RegValueWriting(const std::string& root, const std::string& keyPath, const std::string& name) {
  Note(ValueLines(root, keyPath, name, true));
}

void RunJournal::ServerRegistering(const std::string& path) { Note(Line(kind::kServer, {&path})); }

void RunJournal::ReplacementScheduling(const std::string& destination) {
  if (IsRenamePending(destination)) return;
  // Where Windows keeps the replacements, when the run is the first to keep
  // one there: the withdrawal then leaves nothing of it behind either. An
  // existing list is edited line by line when the replacement is withdrawn.
  std::string lines;
  if (GetWinVersion() < kWinNT4) {
    const std::string wininit = WindowsFolderBS() + "WININIT.INI";
    if (os::GetFileAttributesA(wininit) == os::kInvalidFileAttributes) lines = Line(kind::kNewFile, {&wininit});
  } else {
    lines = ValueLines("HKEY_LOCAL_MACHINE", kSessionManager, kPendingRenames, false);
  }
  Note(lines + Line(kind::kReplacement, {&destination}));
}

void RunJournal::Finished() {
  Close();
  text_.clear();
  if (path_.empty()) return;
  os::DeleteFileA(path_);
  Forget(path_);
}

bool RunJournal::RollBack() {
  const bool restart = UndoLines(SplitLines(text_));
  Finished();
  return restart;
}

bool RecoverUnfinishedRuns() {
  bool restart = false;
  for (const std::string& record : Records()) {
    std::uint32_t type = 0;
    std::string journal;
    bool keyFound = false;
    ReadValue(os::kHkeyLocalMachine, record, "", type, journal, keyFound);
    journal = journal.substr(0, journal.find('\0'));
    // A running setup holds its journal open for writing: that one is alive.
    if (!os::UniqueFile(os::CreateFileA(journal, os::Access::ReadWrite, os::Disposition::OpenExisting))) {
      // Gone: nothing to restore. A record without a journal (one cut
      // short before it was written) goes too.
      if (os::GetLastError() != os::kErrorSharingViolation) ForgetRecord(record);
      continue;
    }
    std::string text;
    ReadWholeFile(journal, text);
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
