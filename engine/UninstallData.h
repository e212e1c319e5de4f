// The uninstall data file: written by the install run, read back by the
// uninstaller (and by any tool that checks what an install left).
#pragma once
#include <string>
#include <vector>

// One registry value the install wrote: four lines of the ":reg" block.
struct TRegItem {
  std::string root, key, name, data;
};

struct TUninstallData {
  std::string title;               // line 1
  std::string installDir;          // line 2, as chosen
  std::vector<std::string> paths;  // installed files, then shortcuts (".lnk"), in file order
  std::string startMenu;           // the "+" line without its "+"; empty when none
  bool hasReg = false;             // a ":reg" block was present
  std::vector<TRegItem> regItems;  // the block's four-line groups
  // The key the install kept its own values under ("smpath", "regsvr1"...):
  // the key of the first registry group; empty without one.
  std::string ProgramKey() const { return regItems.empty() ? "" : regItems.front().key; }
};

enum class UninstallDataStatus {
  Ok,
  Missing,      // no such file, or it cannot be read
  Empty,        // no line with any text
  OtherFormat,  // the head is not a title and an install folder
  Garbled,      // cut short, control characters, a broken ":reg" block
};

struct UninstallDataResult {
  UninstallDataStatus status = UninstallDataStatus::Ok;
  int line = 0;  // the first line found wrong (1-based), 0 when none
};

// Reads the data file's text. Lines end with CR LF (a lone CR or LF is
// accepted); the head and the path lines end at the first empty line, and an
// optional ":reg" block of four-line groups closed by ":" may follow.
UninstallDataResult ParseUninstallData(const std::string& text, TUninstallData& data);
UninstallDataResult ReadUninstallData(const std::string& path, TUninstallData& data);

// The file's lines as the install run writes them: the head, the paths, the
// "+" line, an empty line, then the ":reg" block closed by ":" when there is
// one. ParseUninstallData reads them back as they were.
std::vector<std::string> UninstallDataLines(const TUninstallData& data);

// The uninstall entry's command: the uninstaller and the data file, each in quotes.
std::string UninstallCommand(const std::string& uninstaller, const std::string& dataFile);

// The command line: the data file's path (quoted when it holds blanks),
// then optionally "/S" for a removal without any box.
struct TUninstallArgs {
  std::string dataFile;
  bool silent = false;
  bool valid = false;
};
TUninstallArgs ParseUninstallArgs(const std::string& commandLine);
// The arguments of a whole command as UninstallCommand writes it: what
// follows the program (a quoted program, else everything before the first quote).
TUninstallArgs ParseUninstallCommand(const std::string& command);
