// The program's private message: WM_USER + 1 with the same code in both
// parameters orders start-up, the wizard and the program's end.
#pragma once
#include <cstdint>

#include "os/OsUi.h"

constexpr std::uint32_t kSetupMessage = os::kWmUser + 1;  // 1025

enum SetupCode : int {
  AutoAdvance = 1,  // to the wizard: in automatic mode, press Next
  WizardShown = 2,  // to the wizard: repaint, then in automatic mode press Next
  AbortSetup = 3,   // to the application: end before the wizard shows
  RunWizard = 4,    // to the application: show the wizard modally
  CloseWizard = 5,  // to the application: close the wizard
};

inline void PostSetupMessage(os::Hwnd window, SetupCode code) {
  // A message that cannot be posted (the queue is full) is lost, as Windows loses it.
  os::PostMessageA(window, kSetupMessage, static_cast<std::uintptr_t>(code), code);
}
