// The installation list and the package list: the line container, the
// section readers, the head and title rule, and the list's macros.
#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Section headers, as the readers look them up (letter case does not matter in the list).
namespace Header {
inline constexpr char kExtra[] = ":EXTRA";
inline constexpr char kPackage[] = ":PACKAGE";
inline constexpr char kNextLicense[] = ":NEXTLICENSE";
inline constexpr char kDefPath[] = ":DEFPATH";
inline constexpr char kAdmin[] = ":ADMIN";
inline constexpr char kOs[] = ":OS";
inline constexpr char kMessage[] = ":MESSAGE";
inline constexpr char kNrMsg[] = ":NRMSG";
inline constexpr char kNotRunning[] = ":NOTRUNNING";
inline constexpr char kSysBackup[] = ":SYSBACKUP";
inline constexpr char kUninstall[] = ":UNINSTALL";
inline constexpr char kReg[] = ":reg";
inline constexpr char kRemoveFiles[] = ":REMOVEFILES";
inline constexpr char kInstall[] = ":INSTALL";
inline constexpr char kWin[] = ":WIN";
inline constexpr char kSystem[] = ":SYSTEM";
inline constexpr char kRegSvr[] = ":REGSVR";
inline constexpr char kShortcuts[] = ":SHORTCUTS";
inline constexpr char kDink[] = ":DINK";
inline constexpr char kForceRun[] = ":FORCERUN";
inline constexpr char kRunFile[] = ":RUNFILE";
inline constexpr char kReboot[] = ":REBOOT";
inline constexpr char kNoReboot[] = ":NOREBOOT";
inline constexpr char kNoRebootNt[] = ":NOREBOOTNT";
}  // namespace Header

// The line that ends a list-type section: exactly one colon.
inline constexpr char kTerminator[] = ":";

// Splits text into lines at CR LF, a lone CR and a lone LF. A last line
// without a line end counts; a line end after the last line adds no empty
// line. The text ends at its first NUL.
std::vector<std::string> SplitLines(std::string_view text);

// The list's lines in file order, each exactly as written.
class TSetupList {
 public:
  TSetupList() = default;
  explicit TSetupList(std::string_view text) { SetText(text); }

  // Replaces every line by the lines of the file. False when the file cannot
  // be opened or read; the list is then empty.
  bool Load(const std::string& path);
  // The same from text in memory.
  void SetText(std::string_view text);

  int Count() const { return static_cast<int>(lines_.size()); }
  // The line at index i (0 = first line). Throws ListError when i is not a line of the list.
  const std::string& Line(int i) const;
  // Index of the first line equal to text as a whole line, ignoring ASCII
  // letter case; -1 when there is none.
  int Find(const std::string& text) const;
  // Whether a header is present (flag sections need nothing more).
  bool Has(const std::string& header) const { return Find(header) >= 0; }
  const std::vector<std::string>& Lines() const { return lines_; }

 private:
  std::vector<std::string> lines_;
};

// --- list-type sections -----------------------------------------------------

// One entry of :INSTALL, :WIN or :SYSTEM: a leading "*" means never overwrite.
struct TFileEntry {
  std::string name;
  bool keepExisting = false;
};

// Walks one list-type section line by line, so that a caller can work on
// each entry before the next is read; a missing terminator throws ListError
// (naming the section) only when the walk gets there. An absent section has
// no entries.
class TSectionReader {
 public:
  // The reader refers to the list, which must outlive it.
  TSectionReader(const TSetupList& list, const std::string& header);
  TSectionReader(TSetupList&&, const std::string&) = delete;

  bool Present() const { return header_index_ >= 0; }
  int HeaderIndex() const { return header_index_; }
  // Index of the line the next read starts at.
  int NextIndex() const { return next_; }

  // The next entry; false at the terminator, and from then on.
  bool Next(std::string& entry);
  // The next file entry: a leading "*" is removed and sets keepExisting, and
  // only then is the line tested for the terminator.
  bool NextFileEntry(TFileEntry& entry);
  // The next group of size lines (2 for :SHORTCUTS, 4 for :reg). The
  // terminator is looked for only where a group would start, so it must
  // follow a complete group; a ":" inside a group is read as part of it.
  // False when the line where a group would start is the terminator.
  bool NextGroup(int size, std::vector<std::string>& group);

 private:
  const TSetupList& list_;
  std::string header_;
  int header_index_;
  int next_;
  bool ended_ = false;  // the terminator was read: the section has nothing more
};

// Every entry of a list-type section; empty when the section is absent.
// Throws ListError when the list ends before the terminator.
std::vector<std::string> ReadSection(const TSetupList& list, const std::string& header);

// Lines from the one after the header up to and including the terminator
// (the progress weight of a file section); 0 when the section is absent.
// Throws ListError when the list ends before the terminator.
int SectionLineCount(const TSetupList& list, const std::string& header);

// --- positional sections and the head ----------------------------------------

// The count lines after the header; nullopt when the header is absent.
// Throws ListError when the list ends before count lines.
std::optional<std::vector<std::string>> ReadPositional(const TSetupList& list, const std::string& header,
                                                       int count);
// The one line after the header (:MESSAGE, :NRMSG, :RUNFILE); nullopt when absent.
std::optional<std::string> ReadLineAfter(const TSetupList& list, const std::string& header);

// The three positional lines before any section.
struct TListHead {
  std::string installSuffix;  // appended to "C:\Program Files"
  std::string startMenu;      // the Start Menu folder name
  std::string titleLine;      // the title before the title rule
};
// Throws ListError when the list has fewer than three lines.
TListHead ReadHead(const TSetupList& list);

// "C:\Program Files" followed directly by line 1, one trailing backslash removed.
std::string DefaultInstallDir(const std::string& installSuffix);

// The title rule: a leading "|" is dropped; then on Windows NT 4 only the
// first "*" is removed, elsewhere everything from the first "*" on. A line
// without "|" is used unchanged.
std::string ApplyTitleRule(const std::string& line, int versionCode);

// :DEFPATH: the line after the header; empty when the section is absent or its header is the last line.
std::string ReadDefPath(const TSetupList& list);

// --- :OS ----------------------------------------------------------------------

// The :OS keywords, each at the index of the version code it names.
const std::vector<std::string>& OsKeywords();
bool IsOsKeyword(const std::string& keyword);  // exact, case-sensitive
// The version code a :OS keyword names (exact, case-sensitive); any other text is 0.
int OsKeywordCode(const std::string& keyword);

struct TOsRange {
  int lowest = 0;
  int highest = 0;
  std::string message;  // shown when the installer refuses to run
  bool Allows(int versionCode) const { return versionCode >= lowest && versionCode <= highest; }
};
// nullopt when :OS is absent; throws ListError when fewer than three lines follow it.
std::optional<TOsRange> ReadOsRange(const TSetupList& list);

// --- :NOTRUNNING ----------------------------------------------------------------

struct TNotRunning {
  std::string className;    // before the first comma
  std::string windowTitle;  // between the first and the second comma
  std::string displayName;  // after the second comma; may hold further commas
};
// Splits one entry. Without a comma the whole line is the class name and the
// other two are empty; with one comma only, the text after it is both the
// window title and the display name.
TNotRunning SplitNotRunning(const std::string& line);
// The entries up to the terminator, an empty line or the end of the list; never throws.
std::vector<TNotRunning> ReadNotRunning(const TSetupList& list);

// --- sections of the install run --------------------------------------------------

// :SYSBACKUP: the line after the header when it exists and holds no ":", else "QVS".
std::string SysBackupExtension(const TSetupList& list);

struct TUninstallSection {
  std::string keyName;  // the uninstall key's name
  std::string displayName;
  std::string uninstaller;   // file name in the Windows folder
  std::string dataFileLine;  // "r", or a file name relative to the Windows folder
};
// nullopt when :UNINSTALL is absent; throws ListError when fewer than four lines follow it.
std::optional<TUninstallSection> ReadUninstall(const TSetupList& list);
// The uninstall data file line 4 names: exactly "r" gives installDir (as
// given) + "\unin.ini", anything else the line in the Windows folder.
std::string UninstallDataFile(const std::string& dataFileLine, const std::string& installDir,
                              const std::string& windowsFolder);
// Where the install run writes the data for the data file dataFile names: that
// file when its name holds ".ini" (any letter case), else unin.ini in installDir.
std::string UninstallDataWrittenTo(const std::string& dataFile, const std::string& installDir);

// One :reg group as written in the list.
struct TRegGroup {
  std::string root, key, name, data;
};
// Reads the next :reg group through reader; false at the terminator.
bool NextRegGroup(TSectionReader& reader, TRegGroup& group);
// The key path of the first :reg group (the program's own key); empty when
// :reg is absent or has no group.
std::string ReadProgramKey(const TSetupList& list);

// One :SHORTCUTS pair as written in the list.
struct TShortcutPair {
  std::string name, target;
};
bool NextShortcutPair(TSectionReader& reader, TShortcutPair& pair);

// The "|" mark of a :SHORTCUTS name or a :reg key: true when the item is
// skipped on this Windows (NT 4); otherwise false, and a leading "|" is removed from text.
bool SkipForNt4Mark(std::string& text, int versionCode);

// The indirect key ">" lookup "<" remainder of :reg. False when key does not
// begin with ">". Without a "<" the lookup is the rest of the key and the remainder is empty.
bool SplitIndirectKey(const std::string& key, std::string& lookup, std::string& remainder);
// The key path an indirect key stands for, given the default value read
// under its lookup key: that value and the remainder when the value is not
// empty, else the key without its ">".
std::string ResolvedIndirectKey(const std::string& key, const std::string& lookupDefaultValue);

// The name a file entry of :INSTALL, :WIN or :SYSTEM is installed under:
// ".ex_" becomes ".exe" and ".dl_" becomes ".dll" (any letter case).
std::string InstalledFileName(const std::string& entry);

// --- macros -------------------------------------------------------------------

// A :REMOVEFILES entry with "<WINDIR>" and "<INSTALL>" expanded.
std::string ExpandRemoveFilesEntry(const std::string& entry, const std::string& windowsFolder,
                                   const std::string& installDir);

// What the :reg data macros refer to.
struct TRegMacroContext {
  std::string windowsFolder;
  std::string systemFolder;
  std::string installDir;  // as stored; the macros strip a trailing backslash where they must
  std::string runFile;     // relative to installDir, as known when the data is expanded
};
// The fourth line of a :reg group with its macros expanded.
std::string ExpandRegData(const std::string& data, const TRegMacroContext& context);
