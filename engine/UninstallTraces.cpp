// The uninstall entry, the program key's values, and the removal of the
// temporary installation folder.
#include "engine/UninstallTraces.h"

#include "engine/InstallLog.h"
#include "os/OsFiles.h"
#include "os/OsRegistry.h"
#include "os/OsUi.h"
#include "sys/Folders.h"
#include "sys/PathText.h"
#include "sys/SetupRegistry.h"

void RegisterUninstall(const TUninstallSection& section, const std::string& dataFile) {
  std::string command = QuotedCommand(WindowsFolder() + "\\" + section.uninstaller, "\"" + dataFile + "\"");
  LogLine("Set Uninstall: " + section.displayName + " " + command);
  WriteUninstallEntry(section.keyName, section.displayName, command);
}

std::string UninstallCommandDataFile(const std::string& command) {
  const std::size_t close = command.rfind('"');
  const std::size_t open =
      close == std::string::npos || close == 0 ? std::string::npos : command.rfind('"', close - 1);
  return open == std::string::npos ? "" : command.substr(open + 1, close - open - 1);
}

void WriteMachineString(const std::string& keyPath, const std::string& name, const std::string& value) {
  std::string path = !keyPath.empty() && keyPath[0] == '\\' ? keyPath.substr(1) : keyPath;
  os::Hkey handle = 0;
  if (os::RegCreateKeyExA(os::kHkeyLocalMachine, path, os::kKeyAllAccess, handle) != 0) return;
  os::UniqueKey key(handle);
  os::RegSetValueExA(key.get(), name, os::kRegSz, value.c_str(), static_cast<std::uint32_t>(value.size() + 1));
}

void RemoveTempInstallDir(const std::string& folder) {
  if (FolderExists(folder)) RemoveTree(folder, folder, kRemoveTreeConfirm);
  if (folder.empty()) return;
  for (int attempt = 0; attempt < 120; ++attempt) {
    os::RemoveDirectoryA(folder + "\\");
    os::SetCurrentDirectoryA("c:\\");  // the folder may be the current one; a failure changes nothing
    os::ProcessMessages();
    if (!FolderExists(folder)) break;
  }
}
