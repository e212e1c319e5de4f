// The uninstaller's registry work, over the seam's registry calls.
#include "engine/RegistryRemoval.h"

#include <cstdint>
#include <cstring>

#include "engine/InstallLog.h"
#include "engine/UninstallTraces.h"
#include "os/OsRegistry.h"
#include "sys/Digest.h"
#include "sys/PathText.h"
#include "sys/ResolvedPath.h"
#include "sys/SetupError.h"
#include "sys/SetupRegistry.h"
#include "sys/TextBytes.h"

namespace {

constexpr const char* kUninstallKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

// Keys that every Windows has, as paths below HKEY_LOCAL_MACHINE or
// HKEY_CURRENT_USER (HKEY_CLASSES_ROOT shows Software\Classes, and a key of
// HKEY_USERS is read below the user's own key): an emptied one stays. With
// them the keys shell extensions are registered in, for all files, folders,
// drives and the computer's, the recycle bin's and the network's folders.
constexpr const char* kWellKnownKeys[] = {
    "SOFTWARE",
    "SOFTWARE\\CLASSES",
    "SOFTWARE\\CLASSES\\*",
    "SOFTWARE\\CLASSES\\*\\SHELL",
    "SOFTWARE\\CLASSES\\*\\SHELLEX",
    "SOFTWARE\\CLASSES\\*\\SHELLEX\\CONTEXTMENUHANDLERS",
    "SOFTWARE\\CLASSES\\*\\SHELLEX\\PROPERTYSHEETHANDLERS",
    "SOFTWARE\\CLASSES\\*\\SHELLEX\\DRAGDROPHANDLERS",
    "SOFTWARE\\CLASSES\\*\\SHELLEX\\ICONHANDLER",
    "SOFTWARE\\CLASSES\\*\\OPENWITHLIST",
    "SOFTWARE\\CLASSES\\ALLFILESYSTEMOBJECTS",
    "SOFTWARE\\CLASSES\\ALLFILESYSTEMOBJECTS\\SHELL",
    "SOFTWARE\\CLASSES\\ALLFILESYSTEMOBJECTS\\SHELLEX",
    "SOFTWARE\\CLASSES\\ALLFILESYSTEMOBJECTS\\SHELLEX\\CONTEXTMENUHANDLERS",
    "SOFTWARE\\CLASSES\\ALLFILESYSTEMOBJECTS\\SHELLEX\\PROPERTYSHEETHANDLERS",
    "SOFTWARE\\CLASSES\\APPID",
    "SOFTWARE\\CLASSES\\CLSID",
    "SOFTWARE\\CLASSES\\CLSID\\{20D04FE0-3AEA-1069-A2D8-08002B30309D}",
    "SOFTWARE\\CLASSES\\CLSID\\{20D04FE0-3AEA-1069-A2D8-08002B30309D}\\SHELL",
    "SOFTWARE\\CLASSES\\CLSID\\{20D04FE0-3AEA-1069-A2D8-08002B30309D}\\SHELLEX",
    "SOFTWARE\\CLASSES\\CLSID\\{20D04FE0-3AEA-1069-A2D8-08002B30309D}\\SHELLEX\\CONTEXTMENUHANDLERS",
    "SOFTWARE\\CLASSES\\CLSID\\{20D04FE0-3AEA-1069-A2D8-08002B30309D}\\SHELLEX\\PROPERTYSHEETHANDLERS",
    "SOFTWARE\\CLASSES\\CLSID\\{645FF040-5081-101B-9F08-00AA002F954E}",
    "SOFTWARE\\CLASSES\\CLSID\\{645FF040-5081-101B-9F08-00AA002F954E}\\SHELL",
    "SOFTWARE\\CLASSES\\CLSID\\{645FF040-5081-101B-9F08-00AA002F954E}\\SHELLEX",
    "SOFTWARE\\CLASSES\\CLSID\\{645FF040-5081-101B-9F08-00AA002F954E}\\SHELLEX\\CONTEXTMENUHANDLERS",
    "SOFTWARE\\CLASSES\\CLSID\\{645FF040-5081-101B-9F08-00AA002F954E}\\SHELLEX\\PROPERTYSHEETHANDLERS",
    "SOFTWARE\\CLASSES\\CLSID\\{208D2C60-3AEA-1069-A2D7-08002B30309D}",
    "SOFTWARE\\CLASSES\\CLSID\\{208D2C60-3AEA-1069-A2D7-08002B30309D}\\SHELL",
    "SOFTWARE\\CLASSES\\CLSID\\{208D2C60-3AEA-1069-A2D7-08002B30309D}\\SHELLEX",
    "SOFTWARE\\CLASSES\\CLSID\\{208D2C60-3AEA-1069-A2D7-08002B30309D}\\SHELLEX\\CONTEXTMENUHANDLERS",
    "SOFTWARE\\CLASSES\\CLSID\\{208D2C60-3AEA-1069-A2D7-08002B30309D}\\SHELLEX\\PROPERTYSHEETHANDLERS",
    "SOFTWARE\\CLASSES\\COMPONENT CATEGORIES",
    "SOFTWARE\\CLASSES\\DIRECTORY",
    "SOFTWARE\\CLASSES\\DIRECTORY\\BACKGROUND",
    "SOFTWARE\\CLASSES\\DIRECTORY\\BACKGROUND\\SHELL",
    "SOFTWARE\\CLASSES\\DIRECTORY\\BACKGROUND\\SHELLEX",
    "SOFTWARE\\CLASSES\\DIRECTORY\\BACKGROUND\\SHELLEX\\CONTEXTMENUHANDLERS",
    "SOFTWARE\\CLASSES\\DIRECTORY\\SHELL",
    "SOFTWARE\\CLASSES\\DIRECTORY\\SHELLEX",
    "SOFTWARE\\CLASSES\\DIRECTORY\\SHELLEX\\CONTEXTMENUHANDLERS",
    "SOFTWARE\\CLASSES\\DIRECTORY\\SHELLEX\\PROPERTYSHEETHANDLERS",
    "SOFTWARE\\CLASSES\\DIRECTORY\\SHELLEX\\COPYHOOKHANDLERS",
    "SOFTWARE\\CLASSES\\DIRECTORY\\SHELLEX\\DRAGDROPHANDLERS",
    "SOFTWARE\\CLASSES\\DRIVE",
    "SOFTWARE\\CLASSES\\DRIVE\\SHELL",
    "SOFTWARE\\CLASSES\\DRIVE\\SHELLEX",
    "SOFTWARE\\CLASSES\\DRIVE\\SHELLEX\\CONTEXTMENUHANDLERS",
    "SOFTWARE\\CLASSES\\DRIVE\\SHELLEX\\PROPERTYSHEETHANDLERS",
    "SOFTWARE\\CLASSES\\DRIVE\\SHELLEX\\FOLDEREXTENSIONS",
    "SOFTWARE\\CLASSES\\EXEFILE",
    "SOFTWARE\\CLASSES\\EXEFILE\\SHELL",
    "SOFTWARE\\CLASSES\\EXEFILE\\SHELLEX",
    "SOFTWARE\\CLASSES\\EXEFILE\\SHELLEX\\CONTEXTMENUHANDLERS",
    "SOFTWARE\\CLASSES\\EXEFILE\\SHELLEX\\PROPERTYSHEETHANDLERS",
    "SOFTWARE\\CLASSES\\FOLDER",
    "SOFTWARE\\CLASSES\\FOLDER\\SHELL",
    "SOFTWARE\\CLASSES\\FOLDER\\SHELLEX",
    "SOFTWARE\\CLASSES\\FOLDER\\SHELLEX\\CONTEXTMENUHANDLERS",
    "SOFTWARE\\CLASSES\\FOLDER\\SHELLEX\\PROPERTYSHEETHANDLERS",
    "SOFTWARE\\CLASSES\\FOLDER\\SHELLEX\\COLUMNHANDLERS",
    "SOFTWARE\\CLASSES\\FOLDER\\SHELLEX\\DRAGDROPHANDLERS",
    "SOFTWARE\\CLASSES\\INTERFACE",
    "SOFTWARE\\CLASSES\\LNKFILE",
    "SOFTWARE\\CLASSES\\LNKFILE\\SHELL",
    "SOFTWARE\\CLASSES\\LNKFILE\\SHELLEX",
    "SOFTWARE\\CLASSES\\LNKFILE\\SHELLEX\\CONTEXTMENUHANDLERS",
    "SOFTWARE\\CLASSES\\LNKFILE\\SHELLEX\\PROPERTYSHEETHANDLERS",
    "SOFTWARE\\CLASSES\\MIME",
    "SOFTWARE\\CLASSES\\MIME\\DATABASE",
    "SOFTWARE\\CLASSES\\MIME\\DATABASE\\CONTENT TYPE",
    "SOFTWARE\\CLASSES\\PRINTERS",
    "SOFTWARE\\CLASSES\\PRINTERS\\SHELLEX",
    "SOFTWARE\\CLASSES\\PRINTERS\\SHELLEX\\CONTEXTMENUHANDLERS",
    "SOFTWARE\\CLASSES\\PRINTERS\\SHELLEX\\PROPERTYSHEETHANDLERS",
    "SOFTWARE\\CLASSES\\TYPELIB",
    "SOFTWARE\\CLASSES\\UNKNOWN",
    "SOFTWARE\\CLASSES\\UNKNOWN\\SHELL",
    "SOFTWARE\\CLIENTS",
    "SOFTWARE\\MICROSOFT",
    "SOFTWARE\\MICROSOFT\\ACTIVE SETUP",
    "SOFTWARE\\MICROSOFT\\ACTIVE SETUP\\INSTALLED COMPONENTS",
    "SOFTWARE\\MICROSOFT\\WINDOWS",
    "SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION",
    "SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\APP PATHS",
    "SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\EXPLORER",
    "SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\EXPLORER\\DESKTOP",
    "SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\EXPLORER\\DESKTOP\\NAMESPACE",
    "SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\EXPLORER\\FILEEXTS",
    "SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\EXPLORER\\MYCOMPUTER",
    "SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\EXPLORER\\MYCOMPUTER\\NAMESPACE",
    "SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\EXPLORER\\SHELL FOLDERS",
    "SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\EXPLORER\\SHELLEXECUTEHOOKS",
    "SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\EXPLORER\\SHELLICONOVERLAYIDENTIFIERS",
    "SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\EXPLORER\\USER SHELL FOLDERS",
    "SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\POLICIES",
    "SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\RUN",
    "SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\RUNONCE",
    "SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\RUNSERVICES",
    "SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\RUNSERVICESONCE",
    "SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\SHARED DLLS",
    "SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\SHAREDDLLS",
    "SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\SHELL EXTENSIONS",
    "SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\SHELL EXTENSIONS\\APPROVED",
    "SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\SHELLSERVICEOBJECTDELAYLOAD",
    "SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\UNINSTALL",
    "SOFTWARE\\MICROSOFT\\WINDOWS NT",
    "SOFTWARE\\MICROSOFT\\WINDOWS NT\\CURRENTVERSION",
    "SOFTWARE\\MICROSOFT\\WINDOWS NT\\CURRENTVERSION\\FONTS",
    "SOFTWARE\\MICROSOFT\\WINDOWS NT\\CURRENTVERSION\\WINLOGON",
    "SOFTWARE\\POLICIES",
    "SYSTEM",
    "SYSTEM\\CURRENTCONTROLSET",
    "SYSTEM\\CURRENTCONTROLSET\\CONTROL",
    "SYSTEM\\CURRENTCONTROLSET\\CONTROL\\SESSION MANAGER",
    "SYSTEM\\CURRENTCONTROLSET\\CONTROL\\SESSION MANAGER\\ENVIRONMENT",
    "SYSTEM\\CURRENTCONTROLSET\\SERVICES",
    "HARDWARE",
    "SAM",
    "SECURITY",
    "APPEVENTS",
    "CONSOLE",
    "CONTROL PANEL",
    "CONTROL PANEL\\DESKTOP",
    "ENVIRONMENT",
    "IDENTITIES",
    "KEYBOARD LAYOUT",
    "NETWORK",
    "PRINTERS",
    "REMOTEACCESS",
};

std::string ParentKey(const std::string& path) {
  std::size_t pos = LastSeparator(path, "\\");
  return pos == std::string::npos ? "" : path.substr(0, pos);
}

// True when the stored value is what the install wrote for the data.
bool HoldsData(os::Hkey key, const TRegItem& item, bool& exists) {
  std::uint32_t type = 0, size = 0;
  exists = os::RegQueryValueExA(key, item.name, &type, nullptr, &size) == 0;
  if (!exists) return false;
  std::vector<char> stored(size + 1, '\0');
  if (os::RegQueryValueExA(key, item.name, &type, stored.data(), &size) != 0) return false;
  if (!item.data.empty() && item.data[0] == '#') {
    // As the install writes numbers: the first and the last character dropped.
    int number = TextToIntDef(item.data.substr(1, item.data.size() >= 2 ? item.data.size() - 2 : 0), 0);
    auto u = static_cast<std::uint32_t>(number);
    unsigned char expected[4] = {static_cast<unsigned char>(u), static_cast<unsigned char>(u >> 8),
                                 static_cast<unsigned char>(u >> 16), static_cast<unsigned char>(u >> 24)};
    return type == os::kRegDword && size == 4 && std::memcmp(stored.data(), expected, 4) == 0;
  }
  if (type != os::kRegSz && type != os::kRegExpandSz) return false;
  std::string text(stored.data(), size);
  return text.substr(0, text.find('\0')) == item.data;
}

}  // namespace

bool IsWellKnownKey(const std::string& root, const std::string& key) {
  std::string path = UpperText(RegKeyPath(key));
  const std::string rootName = UpperText(root);
  if (rootName == "HKEY_CLASSES_ROOT") path = path.empty() ? "" : "SOFTWARE\\CLASSES\\" + path;
  if (rootName == "HKEY_USERS") {
    std::size_t user = NextSeparator(path, "\\");  // ".DEFAULT" or a user's SID
    if (user == std::string::npos) return true;
    path = path.substr(user + 1);
  }
  if (path.empty()) return true;
  for (const char* known : kWellKnownKeys)
    if (path == known) return true;
  return false;
}

bool IsSafeKeyPath(const std::string& key) {
  std::string path = RegKeyPath(key);
  if (path.empty() || EndsWithBackslash(path)) return false;
  // No empty part: no backslash right after another.
  for (std::size_t pos = NextSeparator(path, "\\"); pos != std::string::npos; pos = NextSeparator(path, "\\", pos + 1))
    if (pos + 1 < path.size() && path[pos + 1] == '\\') return false;
  return true;
}

ValueRemoval RemoveRegValueIfUnchanged(const TRegItem& item) {
  os::UniqueKey key = OpenRegKey(RootKeyByName(item.root), RegKeyPath(item.key));
  bool exists = false;
  if (!key) return ValueRemoval::Missing;
  if (!HoldsData(key.get(), item, exists)) return exists ? ValueRemoval::Changed : ValueRemoval::Missing;
  return os::RegDeleteValueA(key.get(), item.name) == 0 ? ValueRemoval::Removed : ValueRemoval::Missing;
}

void RemoveMachineValues(const std::string& keyPath, const std::vector<std::string>& names) {
  os::UniqueKey key = OpenRegKey(os::kHkeyLocalMachine, RegKeyPath(keyPath));
  if (!key) return;
  for (const std::string& name : names)
    if (os::RegDeleteValueA(key.get(), name) == 0)
      LogLine("Reg Remove: HKEY_LOCAL_MACHINE, " + keyPath + ", " + name);
}

void PruneRegKey(const std::string& root, const std::string& key, bool parents) {
  os::Hkey rootKey = RootKeyByName(root);
  const std::string own = RegKeyPath(key);
  for (std::string path = own; !path.empty(); path = ParentKey(path)) {
    if ((path != own && !parents) || IsWellKnownKey(root, path)) return;
    std::uint32_t subKeys = 1, values = 1;
    {
      os::UniqueKey open = OpenRegKey(rootKey, path);
      if (!open) continue;  // gone already
      if (os::RegQueryInfoKeyA(open.get(), subKeys, values) != 0) return;
    }
    if (subKeys != 0 || values != 0) return;
    if (os::RegDeleteKeyA(rootKey, path) != 0) return;
    LogLine("Reg Remove: " + root + ", " + path);
  }
}

std::vector<std::string> UninstallEntriesFor(const std::string& dataFile) {
  std::vector<std::string> entries, found;
  {
    os::UniqueKey key = OpenRegKey(os::kHkeyLocalMachine, kUninstallKey);
    std::uint32_t subKeys = 0, values = 0;
    if (!key || os::RegQueryInfoKeyA(key.get(), subKeys, values) != 0) return found;
    for (std::uint32_t i = 0; i < subKeys; ++i) {
      std::string name;
      if (os::RegEnumKeyExA(key.get(), i, name) == 0 && !name.empty()) entries.push_back(name);
    }
  }
  for (const std::string& name : entries) {
    std::string path = std::string(kUninstallKey) + "\\" + name, command;
    try {
      command = ReadRegString("HKEY_LOCAL_MACHINE", path, "UninstallString");
    } catch (const RegistryError&) {
      continue;  // a command of another type is not ours
    }
    // The command names the data file, spelt as the install wrote it.
    const TUninstallArgs args = ParseUninstallCommand(command);
    if (args.valid && SamePlace(args.dataFile, dataFile)) found.push_back(path);
  }
  return found;
}

bool UninstallDataSealed(const std::string& dataFile, const std::string& installDir,
                         const std::string& text) {
  const std::string digest = Sha256Hex(text);
  for (const std::string& entry : UninstallEntriesFor(dataFile)) {
    try {
      if (ReadRegString("HKEY_LOCAL_MACHINE", entry, kDataDigestValue) == digest &&
          SamePlace(ReadRegString("HKEY_LOCAL_MACHINE", entry, kInstallLocationValue), installDir))
        return true;
    } catch (const RegistryError&) {
      // a value of another type was not written by an install
    }
  }
  return false;
}

void RemoveUninstallEntryFor(const std::string& dataFile) {
  for (const std::string& path : UninstallEntriesFor(dataFile)) {
    {
      os::UniqueKey key = OpenRegKey(os::kHkeyLocalMachine, path);
      if (!key) continue;
      // A value that refuses to go keeps the key: PruneRegKey leaves a key that holds anything.
      for (const char* value : {"DisplayName", "UninstallString", kInstallLocationValue, kDataDigestValue})
        os::RegDeleteValueA(key.get(), value);
    }
    PruneRegKey("HKEY_LOCAL_MACHINE", path, false);
  }
}
