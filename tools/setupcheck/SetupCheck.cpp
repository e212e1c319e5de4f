// The publisher's checker: the lists read with the installer's own readers,
// and every mistake found reported with its file and line.
#include "tools/setupcheck/SetupCheck.h"

#include <algorithm>
#include <map>
#include <set>

#include "os/OsFiles.h"
#include "engine/SetupTexts.h"
#include "engine/TextFile.h"
#include "sys/Folders.h"
#include "sys/PathText.h"
#include "sys/SetupError.h"
#include "sys/SetupRegistry.h"
#include "sys/ShellLinks.h"
#include "sys/TextBytes.h"
#include "sys/WindowsVersion.h"
#include "tools/JsonText.h"
#include "tools/setupcheck/Accessories.h"
#include "tools/setupcheck/OldWindowsCheck.h"
#include "tools/setupcheck/PackageCheck.h"
#include "tools/setupcheck/PeExports.h"

namespace {

enum class Kind { Flag, Positional, List, FileList, Groups, UntilBlank };

struct SectionInfo {
  const char* header;
  Kind kind;
  int size;  // lines of a positional section, lines of a group
};

const std::vector<SectionInfo>& InstallListSections() {
  static const std::vector<SectionInfo> kSections{
      {Header::kNextLicense, Kind::Flag, 0},
      {Header::kDefPath, Kind::Positional, 1},
      {Header::kAdmin, Kind::Flag, 0},
      {Header::kOs, Kind::Positional, 3},
      {Header::kMessage, Kind::Positional, 1},
      {Header::kNrMsg, Kind::Positional, 1},
      {Header::kNotRunning, Kind::UntilBlank, 0},
      {Header::kSysBackup, Kind::Positional, 1},
      {Header::kUninstall, Kind::Positional, 4},
      {Header::kReg, Kind::Groups, 4},
      {Header::kRemoveFiles, Kind::List, 0},
      {Header::kInstall, Kind::FileList, 0},
      {Header::kWin, Kind::FileList, 0},
      {Header::kSystem, Kind::FileList, 0},
      {Header::kRegSvr, Kind::List, 0},
      {Header::kShortcuts, Kind::Groups, 2},
      {Header::kDink, Kind::Flag, 0},
      {Header::kForceRun, Kind::Flag, 0},
      {Header::kRunFile, Kind::Positional, 1},
      {Header::kReboot, Kind::Flag, 0},
      {Header::kNoReboot, Kind::Flag, 0},
      {Header::kNoRebootNt, Kind::Flag, 0},
  };
  return kSections;
}

const std::vector<SectionInfo>& PackageListSections() {
  static const std::vector<SectionInfo> kSections{{Header::kExtra, Kind::List, 0},
                                                  {Header::kPackage, Kind::List, 0}};
  return kSections;
}

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

// The longest value name Windows accepts, in characters.
constexpr std::size_t kMaxValueName = 16383;

constexpr char kBefore1980[] =
    " is dated before 1980, which has no MS-DOS date: the installer's file test counts it as absent";

// The section a line is the header of, found as the installer finds headers
// (the whole line, letter case ignored); nullptr for any other line.
const SectionInfo* SectionOf(const std::string& line, const std::vector<SectionInfo>& sections) {
  for (const SectionInfo& info : sections)
    if (UpperText(line) == UpperText(info.header)) return &info;
  return nullptr;
}

std::string Ordinal(int n) {
  static const char* kWords[] = {"first", "second", "third", "fourth"};
  return n >= 1 && n <= 4 ? kWords[n - 1] : std::to_string(n) + "th";
}

// Collects the findings of one file.
class Reporter {
 public:
  Reporter(std::string file, std::vector<Finding>& out) : file_(std::move(file)), out_(out) {}
  void Error(int index, const std::string& message) { Add(index, Severity::Error, message); }
  void Warning(int index, const std::string& message) { Add(index, Severity::Warning, message); }

 private:
  void Add(int index, Severity severity, const std::string& message) {
    out_.push_back(Finding{file_, index + 1, severity, message});
  }
  std::string file_;
  std::vector<Finding>& out_;
};

bool Converts(const std::string& number) {
  try {
    TextToInt(number);
    return true;
  } catch (const ConvertError&) {
    return false;
  }
}

std::string Trimmed(const std::string& text) {
  const auto begin = text.find_first_not_of(" \t");
  if (begin == std::string::npos) return "";
  const auto end = text.find_last_not_of(" \t");
  return text.substr(begin, end - begin + 1);
}

std::size_t Distance(const std::string& a, const std::string& b) {
  std::vector<std::size_t> row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

// Walks the sections of one list in file order: the section structure, the
// terminators, and what lies outside every section.
class StructureScan {
 public:
  StructureScan(const TSetupList& list, const std::vector<SectionInfo>& sections, Reporter& report)
      : list_(list), sections_(sections), report_(report) {}

  void Run(int start) {
    int i = start;
    while (i < list_.Count()) {
      const std::string& line = list_.Line(i);
      if (const SectionInfo* info = Lookup(line)) {
        const int first = list_.Find(line);
        if (first != i)
          report_.Warning(i, "section " + std::string(info->header) +
                                 " appears again; the installer reads only the one at line " +
                                 std::to_string(first + 1));
        i = BodyEnd(*info, i, first == i);
      } else if (line.empty() || line == kTerminator || line[0] == ';') {
        // A line starting with ";" outside every section is the publisher's remark.
        ++i;
      } else if (Trimmed(line)[0] == ':') {
        i = UnknownHeader(i);
      } else {
        report_.Warning(i, "this line belongs to no section; the installer ignores it");
        ++i;
      }
    }
  }

  std::vector<std::string> Headers() const {
    std::vector<std::string> headers;
    for (const SectionInfo& info : sections_) headers.push_back(info.header);
    return headers;
  }

 private:
  const SectionInfo* Lookup(const std::string& line) const { return SectionOf(line, sections_); }

  int UnknownHeader(int i) {
    const std::string trimmed = Trimmed(list_.Line(i));
    std::string message = "unknown section header " + Quoted(list_.Line(i)) +
                          ": the installer ignores it and the lines up to its terminator";
    if (trimmed != list_.Line(i) && Lookup(trimmed))
      message += "; without the blanks around it, it would be " + Quoted(Lookup(trimmed)->header);
    else if (std::string near = NearestOf(trimmed, Headers()); !near.empty())
      message += "; did you mean " + Quoted(near) + "?";
    report_.Error(i, message);
    int j = i + 1;
    while (j < list_.Count() && list_.Line(j) != kTerminator && !Lookup(list_.Line(j))) ++j;
    return j < list_.Count() && list_.Line(j) == kTerminator ? j + 1 : j;
  }

  int BodyEnd(const SectionInfo& info, int header, bool read) {
    switch (info.kind) {
      case Kind::Flag:
        return header + 1;
      case Kind::Positional:
        return PositionalEnd(info, header, read);
      case Kind::UntilBlank: {
        // The section the installer reads is as long as its reader makes it.
        int j = header + 1;
        if (read)
          j += static_cast<int>(ReadNotRunning(list_).size());
        else
          while (j < list_.Count() && !list_.Line(j).empty() && list_.Line(j) != kTerminator) ++j;
        return j < list_.Count() && list_.Line(j) == kTerminator ? j + 1 : j;
      }
      case Kind::List:
      case Kind::FileList:
        return read ? ListEnd(info, header) : ScanToTerminator(header);
      case Kind::Groups:
        return read ? GroupsEnd(info, header) : ScanToTerminator(header);
    }
    return header + 1;
  }

  int ScanToTerminator(int header) const {
    int j = header + 1;
    while (j < list_.Count() && list_.Line(j) != kTerminator) ++j;
    return std::min(j + 1, list_.Count());
  }

  int PositionalEnd(const SectionInfo& info, int header, bool read) {
    const std::string name = info.header;
    if (name == Header::kSysBackup) {
      // The terminator written straight after the header simply means "no extension"; the
      // installer takes the line as the extension when it can.
      const bool given =
          header + 1 < list_.Count() && (read ? SysBackupExtension(list_) == list_.Line(header + 1)
                                              : list_.Line(header + 1).find(':') == std::string::npos);
      return header + (given ? 2 : 1);
    }
    const int end = std::min(header + 1 + info.size, list_.Count());
    if (!read) return end;
    if (name != Header::kDefPath && header + info.size >= list_.Count()) {
      report_.Error(header, "section " + name + " needs " + std::to_string(info.size) +
                                (info.size == 1 ? " line" : " lines") +
                                " after its header but the list ends first; the installer stops here");
      return end;
    }
    for (int j = header + 1; j < end; ++j)
      if (list_.Line(j) == kTerminator || Lookup(list_.Line(j))) {
        report_.Error(j, "section " + name + " takes " + std::to_string(info.size) +
                             (info.size == 1 ? " line" : " lines") + "; " + Quoted(list_.Line(j)) +
                             " is read as its " + Ordinal(j - header) + " line");
        return j;
      }
    return end;
  }

  // A section whose terminator was forgotten runs into the next header: the
  // installer reads that header and what follows as entries.
  void RunsInto(const SectionInfo& info, int header, int next) {
    report_.Error(header, "section " + std::string(info.header) +
                              " has no terminator line \":\" before the header " + Quoted(list_.Line(next)) +
                              " at line " + std::to_string(next + 1) +
                              "; the installer reads that header and what follows as entries");
  }

  int ListEnd(const SectionInfo& info, int header) {
    TSectionReader reader(list_, info.header);
    try {
      for (;;) {
        const int at = reader.NextIndex();
        TFileEntry fileEntry;
        std::string entry;
        if (!(info.kind == Kind::FileList ? reader.NextFileEntry(fileEntry) : reader.Next(entry))) break;
        if (Lookup(list_.Line(at))) return RunsInto(info, header, at), at;
      }
      return reader.NextIndex();
    } catch (const ListError&) {
      report_.Error(header,
                    "section " + std::string(info.header) +
                        " has no terminator line \":\" before the end of the list; the installer stops here");
      return list_.Count();
    }
  }

  int GroupsEnd(const SectionInfo& info, int header) {
    const std::string what = info.size == 2 ? "pair" : "group of four";
    TSectionReader reader(list_, info.header);
    std::vector<std::string> group;
    try {
      while (reader.NextGroup(info.size, group)) {
        const int first = reader.NextIndex() - info.size;
        for (int k = 0; k < info.size; ++k) {
          if (Lookup(group[static_cast<std::size_t>(k)])) return RunsInto(info, header, first + k), first + k;
          // In :reg a ":" inside a group is a legal key, name or value: the
          // reader looks for the terminator only where a group begins.
          if (k > 0 && info.size == 2 && group[static_cast<std::size_t>(k)] == kTerminator) {
            report_.Error(first + k, "this \":\" falls inside a " + what + " of " + info.header +
                                         " and does not end the section; the installer reads on past it");
            return first + k + 1;
          }
        }
      }
      return reader.NextIndex();
    } catch (const ListError&) {
      report_.Error(header, "section " + std::string(info.header) +
                                " has no terminator line \":\" after a complete " + what +
                                "; the installer stops here");
      return list_.Count();
    }
  }

  const TSetupList& list_;
  const std::vector<SectionInfo>& sections_;
  Reporter& report_;
};

// A line that a section's entries run into when its terminator is missing:
// the rest is reported with the structure, not entry by entry.
bool IsHeaderLine(const std::string& line) { return SectionOf(line, InstallListSections()) != nullptr; }

// The names that a file section installs, upper-cased, each with the entry that installs it.
std::map<std::string, std::string> InstalledNames(const TSetupList& list, const char* header) {
  std::map<std::string, std::string> names;
  try {
    TSectionReader reader(list, header);
    TFileEntry entry;
    while (reader.NextFileEntry(entry) && !IsHeaderLine(list.Line(reader.NextIndex() - 1)))
      names.emplace(UpperText(InstalledFileName(entry.name)), entry.name);
  } catch (const ListError&) {
    // reported with the structure
  }
  return names;
}

void CheckHead(const TSetupList& list, Reporter& report) {
  for (int i = 0; i < std::min(3, list.Count()); ++i)
    if (SectionOf(list.Line(i), InstallListSections())) {
      report.Error(
          i, "the first three lines are the head (install folder, Start Menu folder, title), but line " +
                 std::to_string(i + 1) + " is the header " + Quoted(list.Line(i)));
      return;
    }
  if (list.Count() >= 1 && !list.Line(0).empty() && list.Line(0)[0] != '\\')
    report.Warning(0, "the install folder has no leading backslash; the destination becomes " +
                          Quoted(DefaultInstallDir(list.Line(0))));
  if (list.Count() < 3)
    report.Error(std::max(0, list.Count() - 1),
                 "the list needs three head lines (install folder, Start Menu "
                 "folder, title); it has " +
                     std::to_string(list.Count()));
}

void CheckOs(const TSetupList& list, Reporter& report) {
  const int h = list.Find(Header::kOs);
  if (h < 0 || h + 3 >= list.Count()) return;
  for (int i = h + 1; i <= h + 2; ++i) {
    const std::string& keyword = list.Line(i);
    if (IsOsKeyword(keyword)) continue;
    std::string message = "unknown Windows keyword " + Quoted(keyword) + "; the installer takes it as " +
                          OsKeywords()[0] + " (the first Windows 95)";
    if (std::string near = NearestOf(Trimmed(keyword), OsKeywords()); !near.empty())
      message += "; did you mean " + Quoted(near) + "?";
    report.Error(i, message);
  }
  if (auto range = ReadOsRange(list); range && range->lowest > range->highest)
    report.Error(h + 1, "the lowest Windows " + Quoted(list.Line(h + 1)) + " comes after the highest " +
                            Quoted(list.Line(h + 2)) + "; the installer refuses to run anywhere");
}

void CheckRegistry(const TSetupList& list, Reporter& report) {
  std::vector<std::string> roots = {"HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER",     "HKEY_LOCAL_MACHINE",
                                    "HKEY_USERS",        "HKEY_PERFORMANCE_DATA", "HKEY_CURRENT_CONFIG",
                                    "HKEY_DYN_DATA"};
  const TRegMacroContext context{"C:\\WINDOWS", "C:\\WINDOWS\\SYSTEM", "C:\\Program Files\\Program",
                                 "program.exe"};
  try {
    TSectionReader reader(list, Header::kReg);
    TRegGroup group;
    while (NextRegGroup(reader, group)) {
      const int first = reader.NextIndex() - 4;
      for (const std::string* line : {&group.root, &group.key, &group.name, &group.data})
        if (IsHeaderLine(*line)) return;  // reported with the structure
      if (group.name.size() > kMaxValueName)
        report.Error(first + 2, "the value name is " + std::to_string(group.name.size()) +
                                    " characters long; Windows takes at most " +
                                    std::to_string(kMaxValueName) +
                                    " and the installer stops with an error here");
      if (RootKeyByName(group.root) == 0) {
        std::string message =
            "unknown registry root " + Quoted(group.root) + "; the installer writes nothing for it";
        if (std::string near = NearestOf(Trimmed(group.root), roots); !near.empty())
          message += "; did you mean " + Quoted(near) + "?";
        report.Error(first, message);
      }
      // A group under an unknown root is passed over whole: its number is never converted.
      const std::string data = ExpandRegData(group.data, context);
      if (RootKeyByName(group.root) != 0 && !data.empty() && data[0] == '#' &&
          !Converts(RegNumberDigits(data)))
        report.Error(first + 3,
                     "the number " + Quoted(group.data) +
                         " does not convert (write #digits#); the installer stops with an error here");
    }
  } catch (const ListError&) {
    // reported with the structure
  }
}

void CheckFileSections(const TSetupList& list, const std::string& sourceDir, Reporter& report) {
  for (const char* header : {Header::kInstall, Header::kWin, Header::kSystem}) {
    try {
      TSectionReader reader(list, header);
      TFileEntry entry;
      while (reader.NextFileEntry(entry)) {
        const int line = reader.NextIndex() - 1;
        if (IsHeaderLine(list.Line(line))) break;
        if (entry.name.empty()) {
          report.Warning(line, std::string("an empty line in ") + header +
                                   " is a file entry that copies nothing; only \":\" ends the section");
          continue;
        }
        if (NextSeparator(entry.name, "\\/") != std::string::npos)
          report.Warning(line, Quoted(entry.name) +
                                   " names a sub-folder: the installer creates no folder below " +
                                   (header == Header::kInstall ? std::string("the install folder")
                                                               : std::string("the Windows folders")) +
                                   ", so on a machine without it the entry ends in \"" + kCachingFailed + "\"");
        const std::string source = sourceDir + "\\" + entry.name;
        if (FileFound(source)) continue;
        if (DatedBefore1980(source)) {
          report.Warning(line, Quoted(entry.name) + kBefore1980 +
                                   "; it is copied, but no shortcut is made to it and it is not "
                                   "registered or run");
          continue;
        }
        const std::string installed = InstalledFileName(entry.name);
        report.Error(
            line,
            Quoted(entry.name) + " is not in the setup folder" +
                (installed != entry.name ? " (it would be installed as " + Quoted(installed) + ")" : "") +
                "; the installer only logs that it could not copy it");
      }
    } catch (const ListError&) {
      // reported with the structure
    }
  }
}

// An accessory is looked for where the installer's table puts it on each
// family; a fresh installation of a Windows the list runs on may have none there.
void CheckAccessory(const TSetupList& list, const std::string& target, int line, Reporter& report) {
  int lowest = kWin95A, highest = kWinXP;
  try {
    if (auto range = ReadOsRange(list)) lowest = range->lowest, highest = range->highest;
  } catch (const ListError&) {
    // reported with the structure
  }
  std::string without, place, last;
  for (int code = lowest; code <= highest; ++code) {
    const std::string windows = FreshWindowsFolder(code), system = FreshSystemFolder(code);
    const std::string resolved = ResolveAccessory("C:\\Program Files\\Program\\" + target, IsNtFamily(code),
                                                  windows + "\\", system + "\\");
    bool there = false;
    for (const std::string& path : AccessoryPaths(code, windows, system))
      there |= UpperText(path) == UpperText(resolved);
    if (there) continue;
    last = OsKeywords()[static_cast<std::size_t>(code)];
    without += (without.empty() ? "" : ", ") + last;
    place = resolved;
  }
  if (!without.empty())
    report.Warning(line, "on " + without + " a fresh installation has no " + Quoted(target) +
                             " where the installer looks for it (" + place + " on " + last +
                             "); no shortcut is made there");
}

void CheckShortcuts(const TSetupList& list, const std::string& sourceDir, Reporter& report) {
  const std::map<std::string, std::string> installed = InstalledNames(list, Header::kInstall);
  try {
    TSectionReader reader(list, Header::kShortcuts);
    TShortcutPair pair;
    while (NextShortcutPair(reader, pair)) {
      if (pair.target == kTerminator || IsHeaderLine(pair.name) || IsHeaderLine(pair.target))
        return;  // reported with the structure
      const std::string target = ParseShortcut(pair.target).Target;
      if (auto it = installed.find(UpperText(target)); it != installed.end()) {
        if (DatedBefore1980(sourceDir + "\\" + it->second))
          report.Error(reader.NextIndex() - 1, "the shortcut's target " + Quoted(target) + kBefore1980 +
                                                   " and makes no shortcut to it");
        continue;
      }
      if (!ResolveAccessory("C:\\Program Files\\Program\\" + target).empty()) {
        CheckAccessory(list, target, reader.NextIndex() - 1, report);
        continue;
      }
      report.Error(reader.NextIndex() - 1,
                   "the shortcut's target " + Quoted(target) +
                       " is not installed by :INSTALL; the installer makes no shortcut then");
    }
  } catch (const ListError&) {
    // reported with the structure
  }
}

void CheckUninstaller(const TSetupList& list, Reporter& report) {
  const int h = list.Find(Header::kUninstall);
  if (h < 0 || h + 4 >= list.Count()) return;
  const std::string& uninstaller = list.Line(h + 3);
  if (!InstalledNames(list, Header::kWin).count(UpperText(uninstaller)))
    report.Warning(
        h + 3, "the uninstaller " + Quoted(uninstaller) +
                   " is not installed by :WIN; the uninstall entry names a program that may not be there");
  // The data is written only to a file whose name holds ".ini"; any other name
  // is still what the uninstall entry hands the uninstaller.
  const std::string& dataFile = list.Line(h + 4);
  // The run stops when the data cannot be written: nothing creates a folder
  // below the Windows folder, and the install folder is made only for :INSTALL.
  const std::string installDir = "C:\\Program Files\\Program";
  const std::string path =
      UninstallDataWrittenTo(UninstallDataFile(dataFile, installDir, WindowsFolder()), installDir);
  const std::string folder = StripBackslash(ExtractFilePath(path));
  if (UpperText(folder) == UpperText(installDir) ? !list.Has(Header::kInstall) : !FolderExists(folder))
    report.Error(h + 4, "the uninstall data goes to " + Quoted(ExtractFileName(path)) + " in " +
                            (UpperText(folder) == UpperText(installDir)
                                 ? std::string("the install folder, which only :INSTALL creates")
                                 : "the folder " + Quoted(folder) +
                                       ", which neither Windows nor the installer creates") +
                            "; the installer stops with exit code 1603 when it writes the data");
  if (dataFile != "r" && LowerText(dataFile).find(".ini") == std::string::npos)
    report.Warning(h + 4,
                   "the uninstall data file " + Quoted(dataFile) +
                       " is neither \"r\" nor an .ini file; the data goes to unin.ini in the install folder, "
                       "but the uninstall entry names " +
                       Quoted(dataFile));
}

// The publisher's library that the run calls at its end: Windows loads only a
// 32-bit image, and the run calls its DoSetup.
void CheckExtraSetup(const TSetupList& list, const std::string& sourceDir, Reporter& report) {
  TFileEntry entry;
  int line = -1;
  try {
    TSectionReader reader(list, Header::kInstall);
    while (line < 0 && reader.NextFileEntry(entry) && !IsHeaderLine(list.Line(reader.NextIndex() - 1)))
      if (UpperText(InstalledFileName(entry.name)) == "_SETUP.DLL") line = reader.NextIndex() - 1;
  } catch (const ListError&) {
    // reported with the structure
  }
  std::string image;
  if (line < 0 || !ReadWholeFile(sourceDir + "\\" + entry.name, image)) return;  // a missing file is reported
  const auto exports = PeExportNames(image);
  if (!exports)
    report.Warning(line, Quoted(entry.name) +
                             " is not a 32-bit Windows library; the installer cannot load it and logs "
                             "\"" + kLoadingSetupDllFailed + "\"");
  else if (std::find(exports->begin(), exports->end(), "DoSetup") == exports->end())
    report.Warning(
        line, Quoted(entry.name) +
                  " exports no DoSetup; the installer logs \"" + kLoadingDoSetupFailed + "\" and calls nothing");
}

// Files that the run uses only when they are there: a server to register, the program to offer at the end.
void CheckUsedFiles(const TSetupList& list, Reporter& report) {
  const auto windows = InstalledNames(list, Header::kWin);
  try {
    TSectionReader reader(list, Header::kRegSvr);
    std::string entry;
    while (reader.Next(entry) && !IsHeaderLine(entry))
      if (!windows.count(UpperText(entry)))
        report.Warning(reader.NextIndex() - 1,
                       "the server " + Quoted(entry) +
                           " is not installed by :WIN; it is registered only when it is "
                           "already in the Windows folder");
  } catch (const ListError&) {
    // reported with the structure
  }
  const int h = list.Find(Header::kRunFile);
  if (h >= 0 && h + 1 < list.Count() && list.Line(h + 1) != kTerminator &&
      !InstalledNames(list, Header::kInstall).count(UpperText(list.Line(h + 1))))
    report.Warning(h + 1, "the program " + Quoted(list.Line(h + 1)) +
                              " offered at the end is not installed by :INSTALL");
}

// A NUL byte ends the list for the installer's reader: the rest of its line
// and every line after it are never read.
void CheckNul(const std::string& path, const std::string& file, std::vector<Finding>& findings) {
  std::string text;
  if (!ReadWholeFile(path, text)) return;
  const std::size_t nul = text.find('\0');
  if (nul == std::string::npos) return;
  const int line = static_cast<int>(SplitLines(text.substr(0, nul) + "x").size()) - 1;
  std::string rest = text.substr(nul);
  for (char& c : rest)
    if (c == '\0') c = ' ';
  const std::vector<std::string> hidden = SplitLines(rest);
  std::string message =
      "a NUL byte in this line ends the list: the installer reads neither the rest of the line nor " +
      std::to_string(hidden.size() > 0 ? hidden.size() - 1 : 0) + " line(s) after it";
  for (std::size_t i = 1; i < hidden.size(); ++i)
    if (Trimmed(hidden[i]).rfind(':', 0) == 0 && hidden[i].size() > 1) {
      message += ", among them the header " + Quoted(hidden[i]) + " at line " + std::to_string(line + 1 + i);
      break;
    }
  findings.push_back(Finding{file, line + 1, Severity::Error, message});
}

}  // namespace

std::string FormatFinding(const Finding& finding) {
  return finding.file + (finding.line > 0 ? ":" + std::to_string(finding.line) : std::string()) + ": " +
         (finding.severity == Severity::Error ? "error: " : "warning: ") + finding.message;
}

bool DatedBefore1980(const std::string& path) {
  os::FindData found;
  os::UniqueFind search(os::FindFirstFileA(path, found));
  return search && !(found.attributes & os::kAttrDirectory) && !FileFound(path);
}

std::string UnnamedFileMessage(int codePage) {
  return "the file name has no form in the Windows code page " + std::to_string(codePage) +
         " the lists are written in; no list can name the file, and setupcheck leaves it out";
}

bool HasErrors(const std::vector<Finding>& findings) {
  return std::any_of(findings.begin(), findings.end(),
                     [](const Finding& f) { return f.severity == Severity::Error; });
}

std::string FindingsJson(const std::vector<Finding>& findings) {
  std::string out = "{\n  \"findings\": [";
  int errors = 0;
  for (std::size_t i = 0; i < findings.size(); ++i) {
    const Finding& f = findings[i];
    const bool error = f.severity == Severity::Error;
    errors += error ? 1 : 0;
    out += std::string(i ? "," : "") + "\n    {\"file\": " + JsonQuote(f.file) +
           ", \"line\": " + std::to_string(f.line) + ", \"severity\": \"" + (error ? "error" : "warning") +
           "\", \"message\": " + JsonQuote(f.message) + "}";
  }
  out += findings.empty() ? "]" : "\n  ]";
  return out + ",\n  \"errors\": " + std::to_string(errors) +
         ",\n  \"warnings\": " + std::to_string(static_cast<int>(findings.size()) - errors) + "\n}\n";
}

std::string NearestOf(const std::string& text, const std::vector<std::string>& known) {
  const std::string upper = UpperText(text);
  std::string best;
  std::size_t bestDistance = 0;
  for (const std::string& candidate : known) {
    const std::size_t d = Distance(upper, UpperText(candidate));
    if (best.empty() || d < bestDistance) best = candidate, bestDistance = d;
  }
  // Near enough: a slip of a letter or two, or a third of a longer word.
  const std::size_t allowed = std::max<std::size_t>(2, best.size() / 3);
  return !best.empty() && bestDistance <= allowed ? best : "";
}

std::vector<Finding> CheckInstallList(const TSetupList& list, const std::string& sourceDir) {
  std::vector<Finding> findings;
  Reporter report("setup.ini", findings);
  CheckHead(list, report);
  StructureScan(list, InstallListSections(), report).Run(std::min(3, list.Count()));
  CheckOs(list, report);
  CheckRegistry(list, report);
  CheckFileSections(list, sourceDir, report);
  CheckShortcuts(list, sourceDir, report);
  CheckUninstaller(list, report);
  CheckUsedFiles(list, report);
  CheckExtraSetup(list, sourceDir, report);
  std::stable_sort(findings.begin(), findings.end(),
                   [](const Finding& a, const Finding& b) { return a.line < b.line; });
  return findings;
}

std::vector<Finding> CheckSetupFolder(const std::string& folder) {
  std::vector<Finding> findings;
  std::string sourceDir = folder;
  if (FileFound(folder + "\\setup.lst")) {
    TSetupList packageList;
    packageList.Load(folder + "\\setup.lst");
    CheckNul(folder + "\\setup.lst", "setup.lst", findings);
    Reporter report("setup.lst", findings);
    StructureScan(packageList, PackageListSections(), report).Run(0);
    sourceDir = CheckPackage(packageList, folder, findings);
    std::stable_sort(findings.begin(), findings.end(),
                     [](const Finding& a, const Finding& b) { return a.line < b.line; });
    if (sourceDir.empty()) return findings;
  }
  std::vector<Finding> listFindings;
  const std::string listPath = sourceDir + "\\setup.ini";
  if (DatedBefore1980(listPath)) {
    listFindings.push_back(Finding{
        "setup.ini", 1, Severity::Error,
        std::string("setup.ini") + kBefore1980 + " and stops with \"" + kNoInstallationList + "\""});
  } else if (!FileFound(listPath)) {
    findings.push_back(Finding{"setup.ini", 1, Severity::Error, "there is no setup.ini in the setup folder"});
    return findings;
  }
  TSetupList list;
  list.Load(listPath);
  CheckNul(listPath, "setup.ini", listFindings);
  for (Finding& f : CheckInstallList(list, sourceDir)) listFindings.push_back(std::move(f));
  std::stable_sort(listFindings.begin(), listFindings.end(),
                   [](const Finding& a, const Finding& b) { return a.line < b.line; });
  for (Finding& f : listFindings) findings.push_back(std::move(f));
  CheckOldWindows(list, sourceDir, findings);
  return findings;
}
