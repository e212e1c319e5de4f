// Contract environment on the in-memory Windows: a reset machine per test.
#include "os/OsFiles.h"
#include "os/fake/FakeControl.h"
#include "os/fake/FakeUiControl.h"
#include "tests/contract/ContractEnv.h"

namespace contract {

std::string FreshScratch() {
  os::fake::Reset();
  os::fake::AddFolder("C:\\SCRATCH");
  return "C:\\SCRATCH";
}

bool OnRealWindows() { return false; }

void AnswerNextBox(int buttonId) { os::fake::AnswerNextBoxes({buttonId}); }

namespace {
void AnyExport() {}
}  // namespace

std::string SystemLibrary(std::string& exportName) {
  exportName = "GetVersion";
  os::fake::AddLibrary("C:\\WINDOWS\\SYSTEM32\\KERNEL32.DLL", {{exportName, &AnyExport}});
  return "kernel32.dll";
}

}  // namespace contract
