// The uninstall entry, the program key's values, and the removal of the
// temporary installation folder.
#include "engine/UninstallTraces.h"

#include "engine/InstallLog.h"
#include "engine/UninstallData.h"
#include "os/OsFiles.h"
#include "os/OsRegistry.h"
#include "os/OsUi.h"
#include "sys/Folders.h"
#include "sys/SetupRegistry.h"

void RegisterUninstall(const TUninstallSection& section, const std::string& dataFile) {
  std::string command = UninstallCommand(WindowsFolder() + "\\" + section.uninstaller, dataFile);
  LogLine("Set Uninstall: " + section.displayName + " " + command);
  WriteUninstallEntry(section.keyName, section.displayName, command);
}

void WriteMachineString(const std::string& keyPath, const std::string& name, const std::string& value) {
  os::UniqueKey key = OpenRegKey(os::kHkeyLocalMachine, keyPath, true);
  if (!key) return;
  // A value Windows refuses is lost silently, as every failure here: the uninstaller then
  // finds nothing to unregister or remove under it.
  (void)os::RegSetValueExA(key.get(), name, os::kRegSz, value.c_str(), static_cast<std::uint32_t>(value.size() + 1));
}

void RemoveTempInstallDir(const std::string& folder) {
  if (FolderExists(folder)) RemoveTree(folder, folder, kRemoveTreeConfirm);
  if (folder.empty()) return;
  for (int attempt = 0; attempt < 120; ++attempt) {
    os::RemoveDirectoryA(folder + "\\");  // the loop asks FolderExists, not the call
    os::SetCurrentDirectoryA("c:\\");  // the folder may be the current one; a failure changes nothing
    os::ProcessMessages();
    if (!FolderExists(folder)) break;
  }
}
