// Contract environment under Wine or Windows: a new folder in the temp folder per test.
#include <windows.h>

#include <string>
#include <thread>

#include "tests/contract/ContractEnv.h"

namespace contract {

std::string FreshScratch() {
  static int counter = 0;
  char temp[MAX_PATH];
  DWORD n = GetTempPathA(MAX_PATH, temp);
  std::string base = std::string(temp, n) + "qvcontract" + std::to_string(GetCurrentProcessId());
  CreateDirectoryA(base.c_str(), nullptr);
  std::string folder = base + "\\t" + std::to_string(++counter);
  CreateDirectoryA(folder.c_str(), nullptr);
  return folder;
}

bool OnRealWindows() { return true; }

void AnswerNextBox(int buttonId) {
  // A second thread plays the user: it waits for the box, then presses the button.
  std::thread([buttonId] {
    for (int i = 0; i < 200; ++i) {
      if (HWND box = FindWindowA("#32770", "Dialog")) {
        PostMessageA(box, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED), 0);
        return;
      }
      Sleep(25);
    }
  }).detach();
}

std::string SystemLibrary(std::string& exportName) {
  exportName = "GetVersion";
  return "kernel32.dll";
}

}  // namespace contract
