// Contract environment under Wine or Windows: a new folder in the temp folder per test.
#include <windows.h>

#include <string>

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

}  // namespace contract
