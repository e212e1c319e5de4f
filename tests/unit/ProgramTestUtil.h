// Helpers of the tests that run the whole program on the in-memory Windows:
// a fresh machine and process, and the program's forms found by their kind.
#pragma once
#include "engine/SetupState.h"
#include "os/fake/FakeControl.h"
#include "os/fake/FakeUiControl.h"
#include "sys/uQVOpSys.h"

namespace programtest {

// A new machine, and the process-wide state of a program not yet started.
inline void FreshProgram() {
  os::fake::Reset();
  ResetWinVersionCacheForTests();
  Shared() = SetupState{};
}

// The first top-level window of that kind: Dialog is the wizard, Backdrop
// the background window, Tool a copy window; 0 when there is none.
inline os::Hwnd FormOfKind(os::FormKind kind) {
  for (os::Hwnd h : os::fake::TopLevelWindows())
    if (const os::fake::WindowInfo* info = os::fake::Info(h); info && info->formKind == kind) return h;
  return 0;
}

}  // namespace programtest
