// The installation list and the package list: line container, section readers, head, title rule and macros.
#include "engine/InstallList.h"

#include <cstdint>
#include <utility>

#include "engine/TextFile.h"
#include "sys/PathText.h"
#include "sys/SetupError.h"
#include "sys/TextBytes.h"
#include "sys/WindowsVersion.h"

namespace {

bool SameText(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
    if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 'a' + 'A');
    if (x != y) return false;
  }
  return true;
}

bool StartsWith(const std::string& text, std::string_view prefix) { return text.rfind(prefix, 0) == 0; }

// Replaces the first occurrence of macro in text, if any.
void ReplaceFirst(std::string& text, std::string_view macro, const std::string& by) {
  auto pos = text.find(macro);
  if (pos != std::string::npos) text.replace(pos, macro.size(), by);
}

// Replaces a macro at the very start of text, if it is there.
void ReplaceLeading(std::string& text, std::string_view macro, const std::string& by) {
  if (StartsWith(text, macro)) text.replace(0, macro.size(), by);
}

std::string LineCount(int count) { return std::to_string(count) + (count == 1 ? " line" : " lines"); }

[[noreturn]] void MissingTerminator(const std::string& header) {
  throw ListError(header, "has no terminator line \":\" before the end of the list");
}

}  // namespace

// --- lines ----------------------------------------------------------------------

std::vector<std::string> SplitLines(std::string_view text) {
  text = text.substr(0, text.find('\0'));
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) {
      lines.emplace_back(text.substr(start));
      break;
    }
    lines.emplace_back(text.substr(start, end - start));
    start = end + 1;
    if (text[end] == '\r' && start < text.size() && text[start] == '\n') ++start;
  }
  return lines;
}

bool TSetupList::Load(const std::string& path) {
  lines_.clear();
  std::string text;
  if (!ReadWholeFile(path, text)) return false;
  SetText(text);
  return true;
}

void TSetupList::SetText(std::string_view text) { lines_ = SplitLines(text); }

const std::string& TSetupList::Line(int i) const {
  if (i < 0 || i >= Count())
    throw ListError("line " + std::to_string(i + 1),
                    "is wanted but the list ends after " + LineCount(Count()));
  return lines_[static_cast<std::size_t>(i)];
}

int TSetupList::Find(const std::string& text) const {
  for (int i = 0; i < Count(); ++i)
    if (SameText(lines_[static_cast<std::size_t>(i)], text)) return i;
  return -1;
}

// --- list-type sections ---------------------------------------------------------

TSectionReader::TSectionReader(const TSetupList& list, const std::string& header)
    : list_(list), header_(header), header_index_(list.Find(header)), next_(header_index_ + 1) {}

bool TSectionReader::Next(std::string& entry) {
  if (!Present() || ended_) return false;
  if (next_ >= list_.Count()) MissingTerminator(header_);
  const std::string& line = list_.Line(next_++);
  if (line == kTerminator) {
    ended_ = true;
    return false;
  }
  entry = line;
  return true;
}

bool TSectionReader::NextFileEntry(TFileEntry& entry) {
  if (!Present() || ended_) return false;
  if (next_ >= list_.Count()) MissingTerminator(header_);
  std::string line = list_.Line(next_++);
  const bool keep = StartsWith(line, "*");
  if (keep) line.erase(0, 1);
  if (line == kTerminator) {
    ended_ = true;
    return false;
  }
  entry = TFileEntry{std::move(line), keep};
  return true;
}

bool TSectionReader::NextGroup(int size, std::vector<std::string>& group) {
  if (!Present() || ended_) return false;
  if (next_ >= list_.Count()) MissingTerminator(header_);
  if (list_.Line(next_) == kTerminator) {
    ++next_;
    ended_ = true;
    return false;
  }
  if (next_ + size > list_.Count())
    throw ListError(header_,
                    "ends inside a group of " + LineCount(size) + ", before its terminator line \":\"");
  group.assign(list_.Lines().begin() + next_, list_.Lines().begin() + next_ + size);
  next_ += size;
  return true;
}

std::vector<std::string> ReadSection(const TSetupList& list, const std::string& header) {
  std::vector<std::string> entries;
  TSectionReader reader(list, header);
  std::string entry;
  while (reader.Next(entry)) entries.push_back(entry);
  return entries;
}

int SectionLineCount(const TSetupList& list, const std::string& header) {
  TSectionReader reader(list, header);
  if (!reader.Present()) return 0;
  std::string entry;
  while (reader.Next(entry)) {
  }
  return reader.NextIndex() - reader.HeaderIndex() - 1;
}

// --- positional sections and the head -----------------------------------------------

std::optional<std::vector<std::string>> ReadPositional(const TSetupList& list, const std::string& header,
                                                       int count) {
  const int h = list.Find(header);
  if (h < 0) return std::nullopt;
  if (h + count >= list.Count()) throw ListError(header, "needs " + LineCount(count) + " after its header");
  return std::vector<std::string>(list.Lines().begin() + h + 1, list.Lines().begin() + h + 1 + count);
}

std::optional<std::string> ReadLineAfter(const TSetupList& list, const std::string& header) {
  auto lines = ReadPositional(list, header, 1);
  if (!lines) return std::nullopt;
  return lines->front();
}

TListHead ReadHead(const TSetupList& list) {
  if (list.Count() < 3)
    throw ListError("its head",
                    "needs three lines (install folder, Start Menu folder, title) but the list has " +
                        LineCount(list.Count()));
  return TListHead{list.Line(0), list.Line(1), list.Line(2)};
}

std::string DefaultInstallDir(const std::string& installSuffix) {
  return StripBackslash("C:\\Program Files" + installSuffix);
}

std::string ApplyTitleRule(const std::string& line, int versionCode) {
  if (!StartsWith(line, "|")) return line;
  std::string title = line.substr(1);
  const auto star = title.find('*');
  if (star == std::string::npos) return title;
  if (versionCode == kWinNT4)
    title.erase(star, 1);
  else
    title.erase(star);
  return title;
}

std::string ReadDefPath(const TSetupList& list) {
  const int h = list.Find(Header::kDefPath);
  if (h < 0 || h + 1 >= list.Count()) return "";
  return list.Line(h + 1);
}

// --- :OS -------------------------------------------------------------------------------

const std::vector<std::string>& OsKeywords() {
  static const std::vector<std::string> kKeywords{"WIN_95A", "WIN_95B", "WIN_95C", "WIN_98", "WIN_98SE",
                                                  "WIN_ME",  "WIN_NT",  "WIN_2K",  "WIN_XP"};
  return kKeywords;
}

bool IsOsKeyword(const std::string& keyword) {
  for (const std::string& known : OsKeywords())
    if (keyword == known) return true;
  return false;
}

int OsKeywordCode(const std::string& keyword) {
  const std::vector<std::string>& keywords = OsKeywords();
  for (std::size_t code = 0; code < keywords.size(); ++code)
    if (keyword == keywords[code]) return static_cast<int>(code);
  return kWin95A;
}

std::optional<TOsRange> ReadOsRange(const TSetupList& list) {
  auto lines = ReadPositional(list, Header::kOs, 3);
  if (!lines) return std::nullopt;
  return TOsRange{OsKeywordCode((*lines)[0]), OsKeywordCode((*lines)[1]), (*lines)[2]};
}

// --- :NOTRUNNING -------------------------------------------------------------------------

TNotRunning SplitNotRunning(const std::string& line) {
  TNotRunning entry;
  const auto first = line.find(',');
  if (first == std::string::npos) {
    entry.className = line;
    return entry;
  }
  entry.className = line.substr(0, first);
  const std::string rest = line.substr(first + 1);
  const auto second = rest.find(',');
  if (second == std::string::npos) {
    entry.windowTitle = entry.displayName = rest;
  } else {
    entry.windowTitle = rest.substr(0, second);
    entry.displayName = rest.substr(second + 1);
  }
  return entry;
}

std::vector<TNotRunning> ReadNotRunning(const TSetupList& list) {
  std::vector<TNotRunning> entries;
  const int h = list.Find(Header::kNotRunning);
  if (h < 0) return entries;
  for (int i = h + 1; i < list.Count(); ++i) {
    const std::string& line = list.Line(i);
    if (line.empty() || line == kTerminator) break;
    entries.push_back(SplitNotRunning(line));
  }
  return entries;
}

// --- sections of the install run ----------------------------------------------------------

std::string SysBackupExtension(const TSetupList& list) {
  const int h = list.Find(Header::kSysBackup);
  if (h >= 0 && h + 1 < list.Count() && list.Line(h + 1).find(':') == std::string::npos)
    return list.Line(h + 1);
  return "QVS";
}

std::optional<TUninstallSection> ReadUninstall(const TSetupList& list) {
  auto lines = ReadPositional(list, Header::kUninstall, 4);
  if (!lines) return std::nullopt;
  return TUninstallSection{(*lines)[0], (*lines)[1], (*lines)[2], (*lines)[3]};
}

std::string UninstallDataFile(const std::string& dataFileLine, const std::string& installDir,
                              const std::string& windowsFolder) {
  if (dataFileLine == "r") return installDir + "\\unin.ini";
  return AddBackslash(windowsFolder) + dataFileLine;
}

std::string UninstallDataWrittenTo(const std::string& dataFile, const std::string& installDir) {
  if (LowerText(dataFile).find(".ini") != std::string::npos) return dataFile;
  return StripBackslash(installDir) + "\\unin.ini";
}

bool NextRegGroup(TSectionReader& reader, TRegGroup& group) {
  std::vector<std::string> lines;
  if (!reader.NextGroup(4, lines)) return false;
  group = TRegGroup{lines[0], lines[1], lines[2], lines[3]};
  return true;
}

std::string ReadProgramKey(const TSetupList& list) {
  TSectionReader reader(list, Header::kReg);
  TRegGroup first;
  return NextRegGroup(reader, first) ? first.key : std::string();
}

bool NextShortcutPair(TSectionReader& reader, TShortcutPair& pair) {
  std::vector<std::string> lines;
  if (!reader.NextGroup(2, lines)) return false;
  pair = TShortcutPair{lines[0], lines[1]};
  return true;
}

bool SkipForNt4Mark(std::string& text, int versionCode) {
  if (!StartsWith(text, "|")) return false;
  if (versionCode == kWinNT4) return true;
  text.erase(0, 1);
  return false;
}

bool SplitIndirectKey(const std::string& key, std::string& lookup, std::string& remainder) {
  if (!StartsWith(key, ">")) return false;
  const auto open = key.find('<', 1);
  if (open == std::string::npos) {
    lookup = key.substr(1);
    remainder.clear();
  } else {
    lookup = key.substr(1, open - 1);
    remainder = key.substr(open + 1);
  }
  return true;
}

std::string ResolvedIndirectKey(const std::string& key, const std::string& lookupDefaultValue) {
  std::string lookup, remainder;
  if (!SplitIndirectKey(key, lookup, remainder)) return key;
  if (!lookupDefaultValue.empty()) return lookupDefaultValue + remainder;
  return key.substr(1);
}

std::string InstalledFileName(const std::string& entry) {
  const std::string extension = LowerText(ExtractFileExt(entry));
  if (extension == ".ex_") return ChangeFileExt(entry, ".exe");
  if (extension == ".dl_") return ChangeFileExt(entry, ".dll");
  return entry;
}

// --- macros ---------------------------------------------------------------------------------

std::string ExpandRemoveFilesEntry(const std::string& entry, const std::string& windowsFolder,
                                   const std::string& installDir) {
  // The macros are meant to lead the entry; the first 8 (or 9) characters
  // are dropped wherever the macro stands.
  std::string path = entry;
  if (path.find("<WINDIR>") != std::string::npos) path = AddBackslash(windowsFolder) + path.substr(8);
  if (path.find("<INSTALL>") != std::string::npos) path = StripBackslash(installDir) + "\\" + path.substr(9);
  return path;
}

std::string ExpandRegData(const std::string& data, const TRegMacroContext& context) {
  const std::string installDir = StripBackslash(context.installDir);
  const std::string programPath = installDir + "\\" + context.runFile;
  std::string text = data;

  // "`" (0x60) may be the second byte of a double-byte character: only whole ones count.
  for (auto pos = FindTextIgnoringCase(text, "``"); pos != std::string::npos; pos = FindTextIgnoringCase(text, "``", pos + 1))
    text.replace(pos, 2, "\"");

  ReplaceLeading(text, "<RUN>", installDir);
  ReplaceLeading(text, "<WIN>", context.windowsFolder);
  ReplaceLeading(text, "<SYS>", context.systemFolder);

  if (LowerText(text) == "r") text = context.installDir;
  const std::string listedProgram = context.installDir + "\\" + context.runFile;
  if (text == "p") text = QuotedCommand(listedProgram, "%1");
  if (text == "P") text = QuotedCommand(listedProgram, "%1 %2 %3 %4 %5 %6 %7 %8 %9");

  ReplaceFirst(text, "<EXEFILEPATH>", programPath);
  ReplaceFirst(text, "<EXEFILE>", context.runFile);
  ReplaceFirst(text, "<EXEPATH>", installDir);

  // Each EXEPARAMS form replaces the whole data; the highest one present wins.
  const std::string quoted[] = {" \"%1\"", " \"%2\"", " \"%3\""};
  std::string params;
  std::string whole;
  for (int n = 1; n <= 3; ++n) {
    params += quoted[n - 1];
    if (text.find("<EXEPARAMS" + std::to_string(n) + ">") != std::string::npos)
      whole = QuotedCommand(programPath, params.substr(1));
  }
  if (!whole.empty()) text = whole;
  return text;
}
