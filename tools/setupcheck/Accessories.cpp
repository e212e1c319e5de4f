// The accessories of a fresh installation of each Windows, as its setup lays
// them out with the default choices: on the 95 family the MS-DOS prompt
// (COMMAND.COM), the games and the small programs live in the Windows folder
// and WordPad and Paint in Program Files\Accessories; on the NT family
// CMD.EXE (with COMMAND.COM for MS-DOS programs), the games and the small
// programs live in the System folder, Notepad, Write and Explorer also in the
// Windows folder, and WordPad in Program Files\Windows NT\Accessories. Media
// Player is MPLAYER.EXE on the 95 family and MPLAY32.EXE on NT; Spider
// Solitaire first came with Windows Me and XP. Only a Plus! pack adds more.
#include "tools/setupcheck/Accessories.h"

#include "sys/WindowsVersion.h"

namespace {

enum class Where { Windows, System, Accessories95, AccessoriesNT };

struct Accessory {
  const char* file;
  Where where;
  int from;  // first version code that has it
  int to;    // last version code that has it
};

constexpr int kAny95 = kWin95A, kLast95 = kWinME;

constexpr Accessory kAccessories[] = {
    // the 95 family
    {"COMMAND.COM", Where::Windows, kAny95, kLast95},
    {"CALC.EXE", Where::Windows, kAny95, kLast95},
    {"NOTEPAD.EXE", Where::Windows, kAny95, kLast95},
    {"WRITE.EXE", Where::Windows, kAny95, kLast95},
    {"EXPLORER.EXE", Where::Windows, kAny95, kLast95},
    {"SOL.EXE", Where::Windows, kAny95, kLast95},
    {"FREECELL.EXE", Where::Windows, kAny95, kLast95},
    {"WINMINE.EXE", Where::Windows, kAny95, kLast95},
    {"MSHEARTS.EXE", Where::Windows, kAny95, kLast95},
    {"SPIDER.EXE", Where::Windows, kWinME, kWinME},
    {"MPLAYER.EXE", Where::Windows, kAny95, kLast95},
    {"SNDREC32.EXE", Where::Windows, kAny95, kLast95},
    {"SNDVOL32.EXE", Where::Windows, kAny95, kLast95},
    {"WORDPAD.EXE", Where::Accessories95, kAny95, kLast95},
    {"MSPAINT.EXE", Where::Accessories95, kAny95, kLast95},
    // the NT family
    {"CMD.EXE", Where::System, kWinNT4, kWinXP},
    {"COMMAND.COM", Where::System, kWinNT4, kWinXP},
    {"CALC.EXE", Where::System, kWinNT4, kWinXP},
    {"NOTEPAD.EXE", Where::System, kWinNT4, kWinXP},
    {"NOTEPAD.EXE", Where::Windows, kWinNT4, kWinXP},
    {"WRITE.EXE", Where::System, kWinNT4, kWinXP},
    {"WRITE.EXE", Where::Windows, kWinNT4, kWinXP},
    {"EXPLORER.EXE", Where::Windows, kWinNT4, kWinXP},
    {"SOL.EXE", Where::System, kWinNT4, kWinXP},
    {"FREECELL.EXE", Where::System, kWinNT4, kWinXP},
    {"WINMINE.EXE", Where::System, kWinNT4, kWinXP},
    {"MSHEARTS.EXE", Where::System, kWinNT4, kWinXP},
    {"SPIDER.EXE", Where::System, kWinXP, kWinXP},
    {"MPLAY32.EXE", Where::System, kWinNT4, kWinXP},
    {"SNDREC32.EXE", Where::System, kWinNT4, kWinXP},
    {"SNDVOL32.EXE", Where::System, kWinNT4, kWinXP},
    {"MSPAINT.EXE", Where::System, kWinNT4, kWinXP},
    {"WORDPAD.EXE", Where::AccessoriesNT, kWinNT4, kWinXP},
};

}  // namespace

std::string FreshWindowsFolder(int versionCode) {
  return versionCode == kWinNT4 || versionCode == kWin2K ? "C:\\WINNT" : "C:\\WINDOWS";
}

std::string FreshSystemFolder(int versionCode) {
  return FreshWindowsFolder(versionCode) + (IsNtFamily(versionCode) ? "\\system32" : "\\SYSTEM");
}

std::vector<std::string> AccessoryPaths(int versionCode, const std::string& windowsFolder,
                                        const std::string& systemFolder) {
  std::vector<std::string> paths;
  for (const Accessory& a : kAccessories) {
    if (versionCode < a.from || versionCode > a.to) continue;
    std::string folder;
    switch (a.where) {
      case Where::Windows:
        folder = windowsFolder;
        break;
      case Where::System:
        folder = systemFolder;
        break;
      case Where::Accessories95:
        folder = "C:\\Program Files\\Accessories";
        break;
      case Where::AccessoriesNT:
        folder = "C:\\Program Files\\Windows NT\\Accessories";
        break;
    }
    paths.push_back(folder + "\\" + a.file);
  }
  return paths;
}
