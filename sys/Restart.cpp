// Restarting Windows: the shutdown privilege where the NT family wants it,
// the request, and the box when Windows refuses.
#include "sys/Restart.h"

#include "os/OsSession.h"
#include "sys/Dialogs.h"
#include "sys/WindowsVersion.h"

const char kRestartRefusedText[] =
    "Windows could not be restarted. Please restart Windows to finish the installation.";

bool RestartWindows() {
  // A privilege that cannot be enabled shows in ExitWindowsEx's refusal.
  if (GetWinVersion() >= kWinNT4) os::EnableShutdownPrivilege();
  if (os::ExitWindowsEx(os::kEwxReboot)) return true;
  InfoBox(kRestartRefusedText);
  return false;
}
