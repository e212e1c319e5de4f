// The uninstall data file: its writer, and its reader, which refuses
// anything that is not exactly what the writer writes.
#include "engine/UninstallData.h"

#include <cctype>

#include "engine/InstallList.h"
#include "engine/TextFile.h"
#include "sys/PathText.h"

namespace {

UninstallDataResult Fail(UninstallDataStatus status, std::size_t index) {
  return {status, static_cast<int>(index) + 1};
}

bool HasControlCharacters(const std::string& text) {
  for (unsigned char c : text)
    if (c < 0x20 && c != '\t' && c != '\r' && c != '\n') return true;
  return false;
}

// "X:\..." the only form the install run writes for its install folder (as
// the user typed it: "X:/..." is the same folder).
bool LooksLikeFolder(const std::string& line) {
  return line.size() >= 3 && std::isalpha(static_cast<unsigned char>(line[0])) && line[1] == ':' &&
         (line[2] == '\\' || line[2] == '/');
}

}  // namespace

UninstallDataResult ParseUninstallData(const std::string& text, TUninstallData& data) {
  data = TUninstallData{};
  if (text.find_first_not_of(" \t\r\n") == std::string::npos) return {UninstallDataStatus::Empty, 0};
  std::vector<std::string> lines = SplitLines(text);
  if (HasControlCharacters(text)) {
    for (std::size_t i = 0; i < lines.size(); ++i)
      if (HasControlCharacters(lines[i])) return Fail(UninstallDataStatus::Garbled, i);
    return Fail(UninstallDataStatus::Garbled, lines.size());  // a NUL ends the lines early
  }
  if (lines.size() < 3 || lines[0].empty() || !LooksLikeFolder(lines[1]))
    return Fail(UninstallDataStatus::OtherFormat, lines.size() < 3 || lines[0].empty() ? 0 : 1);
  data.title = lines[0];
  data.installDir = lines[1];

  std::size_t i = 2;
  for (; i < lines.size() && !lines[i].empty(); ++i) {
    if (lines[i][0] != '+') {
      if (!data.startMenu.empty()) return Fail(UninstallDataStatus::Garbled, i);  // "+" comes last
      data.paths.push_back(lines[i]);
    } else if (!data.startMenu.empty() || lines[i].size() == 1) {
      return Fail(UninstallDataStatus::Garbled, i);
    } else {
      data.startMenu = lines[i].substr(1);
    }
  }
  if (i == lines.size()) return Fail(UninstallDataStatus::Garbled, i);  // the empty line is always written
  ++i;

  if (i < lines.size() && lines[i] == ":reg") {
    data.hasReg = true;
    ++i;
    // Groups are read four lines at a time, so ":" ends the block only where
    // a group would begin; a value may well be ":" itself.
    for (;;) {
      if (i >= lines.size()) return Fail(UninstallDataStatus::Garbled, i);
      if (lines[i] == ":") break;
      if (i + 4 > lines.size()) return Fail(UninstallDataStatus::Garbled, i);  // a group cut short
      data.regItems.push_back({lines[i], lines[i + 1], lines[i + 2], lines[i + 3]});
      i += 4;
    }
    ++i;
  }
  for (; i < lines.size(); ++i)
    if (!lines[i].empty()) return Fail(UninstallDataStatus::Garbled, i);
  return {};
}

UninstallDataResult ReadUninstallData(const std::string& path, TUninstallData& data) {
  data = TUninstallData{};
  std::string text;
  if (!ReadWholeFile(path, text)) return {UninstallDataStatus::Missing, 0};
  return ParseUninstallData(text, data);
}

std::vector<std::string> UninstallDataLines(const TUninstallData& data) {
  std::vector<std::string> lines = {data.title, data.installDir};
  lines.insert(lines.end(), data.paths.begin(), data.paths.end());
  if (!data.startMenu.empty()) lines.push_back("+" + data.startMenu);
  lines.push_back("");
  if (data.hasReg) {
    lines.push_back(":reg");
    for (const TRegItem& item : data.regItems)
      lines.insert(lines.end(), {item.root, item.key, item.name, item.data});
    lines.push_back(":");
  }
  return lines;
}

std::string UninstallCommand(const std::string& uninstaller, const std::string& dataFile) {
  return QuotedCommand(uninstaller, "\"" + dataFile + "\"");
}

TUninstallArgs ParseUninstallArgs(const std::string& commandLine) {
  std::vector<std::string> words;
  std::string word;
  bool quoted = false, inWord = false;
  for (char c : commandLine) {
    if (c == '"') {
      quoted = !quoted;
      inWord = true;
    } else if ((c == ' ' || c == '\t') && !quoted) {
      if (inWord) words.push_back(word);
      word.clear();
      inWord = false;
    } else {
      word += c;
      inWord = true;
    }
  }
  if (inWord) words.push_back(word);
  TUninstallArgs args;
  if (words.empty() || words[0].empty() || words.size() > 2) return args;
  args.dataFile = words[0];
  if (words.size() == 2) {
    if (UpperText(words[1]) != "/S") return args;
    args.silent = true;
  }
  args.valid = true;
  return args;
}

TUninstallArgs ParseUninstallCommand(const std::string& command) {
  // A quoted program ends at its closing quote, an unquoted one (blanks and all) at the quote
  // that opens the data file.
  std::size_t args = command.find('"', command.empty() || command[0] != '"' ? 0 : 1);
  if (!command.empty() && command[0] == '"' && args != std::string::npos) ++args;
  return ParseUninstallArgs(args == std::string::npos ? "" : command.substr(args));
}
