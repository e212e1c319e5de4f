// Shell links: parsing of shortcut definitions, the accessory table, and the
// link file written through the shell's link object.
#include "sys/ShellLinks.h"

#include "sys/Folders.h"
#include "sys/PathText.h"
#include "sys/SetupError.h"
#include "sys/SetupRegistry.h"
#include "sys/TextBytes.h"
#include "sys/WindowsVersion.h"

namespace {

constexpr std::uint32_t kErrorFilenameExcedRange = 206;
constexpr size_t kMaxPath = 260;  // characters of a Windows path, terminator included

bool Exists(const std::string& path) { return FileFound(path) || FolderExists(path); }

// Where each accessory lives. W and S stand for the Windows and System
// folders with their trailing backslash.
enum class Base { Windows, System, Accessories95, AccessoriesNT, Plus };
struct Accessory {
  const char* key;
  Base base95;
  const char* file95;
  Base baseNT;
  const char* fileNT;
};
constexpr Accessory kAccessories[] = {
    {"CALC.EXE", Base::Windows, "CALC.EXE", Base::System, "CALC.EXE"},
    {"CMD.EXE", Base::Windows, "COMMAND.COM", Base::System, "CMD.EXE"},
    {"COMMAND.COM", Base::Windows, "COMMAND.COM", Base::System, "CMD.EXE"},
    {"FREECELL.EXE", Base::Windows, "FREECELL.EXE", Base::System, "FREECELL.EXE"},
    {"MPLAY32.EXE", Base::Windows, "MPLAYER.EXE", Base::System, "MPLAY32.EXE"},
    {"MPLAYER.EXE", Base::Windows, "MPLAYER.EXE", Base::System, "MPLAY32.EXE"},
    {"NOTEPAD.EXE", Base::Windows, "NOTEPAD.EXE", Base::System, "NOTEPAD.EXE"},
    {"SOL.EXE", Base::Windows, "SOL.EXE", Base::System, "SOL.EXE"},
    {"SNDREC32.EXE", Base::Windows, "SNDREC32.EXE", Base::System, "SNDREC32.EXE"},
    {"SNDVOL32.EXE", Base::Windows, "SNDVOL32.EXE", Base::System, "SNDVOL32.EXE"},
    {"WRITE.EXE", Base::Windows, "WRITE.EXE", Base::System, "WRITE.EXE"},
    {"WORDPAD.EXE", Base::Accessories95, "WORDPAD.EXE", Base::AccessoriesNT, "WORDPAD.EXE"},
    {"MSPAINT.EXE", Base::Accessories95, "MSPAINT.EXE", Base::System, "MSPAINT.EXE"},
    {"EXPLORER.EXE", Base::Windows, "EXPLORER.EXE", Base::System, "EXPLORER.EXE"},
    {"SPIDER", Base::Plus, "SPIDER", Base::System, "SPIDER"},
    {"WINMINE.EXE", Base::Windows, "WINMINE.EXE", Base::System, "WINMINE.EXE"},
    {"MSHEARTS.EXE", Base::Windows, "MSHEARTS.EXE", Base::System, "MSHEARTS.EXE"},
};

std::string Folder(Base base, const std::string& w, const std::string& s) {
  switch (base) {
    case Base::Windows:
      return w;
    case Base::System:
      return s;
    case Base::Accessories95:
      return "C:\\Program Files\\Accessories\\";
    case Base::AccessoriesNT:
      return "C:\\Program Files\\Windows NT\\Accessories\\";
    case Base::Plus:
      return "C:\\Program Files\\Plus!\\Spider\\";
  }
  return "";
}

}  // namespace

tQVSShellLink ParseShortcut(const std::string& line) {
  tQVSShellLink link;
  size_t star = line.find('*');
  std::string rest;
  link.Target = line.substr(0, star);
  if (star != std::string::npos) rest = line.substr(star + 1);
  // Fields the definition does not give come from the target itself: its
  // folder to start in and its own icon. (Taken from the whole line, "*"
  // fields and arguments included, they would name no existing folder or file.)
  link.WorkDir = ExtractFilePath(link.Target);
  link.IconFile = link.Target;
  link.IconIndex = "0";
  for (std::string* field : {&link.WorkDir, &link.IconFile, &link.IconIndex, &link.Description}) {
    star = rest.find('*');
    if (star == std::string::npos) break;
    *field = rest.substr(0, star);
    rest = rest.substr(star + 1);
  }
  link.Arguments = rest;
  return link;
}

std::string ResolveAccessory(const std::string& target) {
  return ResolveAccessory(target, GetWinVersion() >= 6, WindowsFolderBS(), SystemFolderBS());
}

std::string ResolveAccessory(const std::string& target, bool nt, const std::string& w, const std::string& s) {
  std::string result;
  for (const auto& a : kAccessories)
    if (FindTextIgnoringCase(target, std::string("\\") + a.key) != std::string::npos)
      result = nt ? Folder(a.baseNT, w, s) + a.fileNT : Folder(a.base95, w, s) + a.file95;
  return result;
}

std::string LinkFileName(const std::string& linkPath) {
  return UpperText(linkPath).find(".LNK") == std::string::npos ? linkPath + ".lnk" : linkPath;
}

void CreateShortcut(const std::string& linkPath, const tQVSShellLink& definition) {
  const std::string fileName = LinkFileName(linkPath);
  tQVSShellLink d = definition;
  if (!Exists(d.Target)) {
    std::string replacement = ResolveAccessory(d.Target);
    if (!replacement.empty()) {
      if (d.IconFile == d.Target) d.IconFile = replacement;
      d.Target = replacement;
      d.WorkDir = ExtractFilePath(replacement);
    }
  }
  TShellLink link;
  link.Arguments = d.Arguments;
  link.ShowCmd = os::kSwShowNormal;
  link.WorkingDirectory = d.WorkDir;
  link.Path = d.Target;
  link.Description = d.Description;
  link.IconLocation = d.IconFile;
  link.IconIndex = TextToIntDef(d.IconIndex, 0);
  if (Exists(d.Target)) {
    try {
      SaveShellLink(link, fileName);  // the result is not looked at: no link, no message
    } catch (const std::exception&) {
      // a link object without IPersistFile: no link either
    }
  }
  FreeItemIdList(link.ItemIdList);
}

os::HResult SaveShellLink(const TShellLink& link, const std::string& fileName) {
  std::unique_ptr<os::ShellLinkA> shellLink;
  os::HResult hr = os::CoCreateShellLink(shellLink);
  if (!os::Succeeded(hr)) return hr;
  // The setters' results are not checked: the save reports what matters.
  shellLink->SetArguments(link.Arguments);
  shellLink->SetShowCmd(link.ShowCmd);
  shellLink->SetWorkingDirectory(link.WorkingDirectory);
  shellLink->SetPath(link.Path);
  shellLink->SetDescription(link.Description);
  shellLink->SetHotkey(link.Hotkey);
  shellLink->SetIconLocation(link.IconLocation, link.IconIndex);
  std::unique_ptr<os::PersistFile> persist;
  if (!os::Succeeded(shellLink->QueryPersistFile(persist)))
    throw SetupError("the shell link object does not offer IPersistFile");
  std::u16string wide;
  if (!os::MultiByteToWideChar(fileName, wide)) return os::HResultFromWin32(kErrorFilenameExcedRange);
  // A name that does not fit a Windows path is refused here rather than cut.
  if (wide.size() >= kMaxPath) return os::HResultFromWin32(kErrorFilenameExcedRange);
  return persist->Save(wide, true);
}

bool FreeItemIdList(os::ItemIdList& list) {
  if (list == 0) return true;
  std::unique_ptr<os::Malloc> allocator;
  if (!os::Succeeded(os::SHGetMalloc(allocator))) return false;
  if (allocator->DidAlloc(list) < 1) return false;
  allocator->Free(list);
  list = 0;
  return true;
}
