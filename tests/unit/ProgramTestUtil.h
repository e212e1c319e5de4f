// Helpers of the tests that run the whole program on the in-memory Windows:
// a fresh machine and process, and the program's forms found by their kind.
#pragma once
#include <string>
#include <vector>

#include "engine/InstallList.h"
#include "engine/InstallLog.h"
#include "engine/InstallRun.h"
#include "engine/SetupState.h"
#include "os/OsRegistry.h"
#include "os/fake/FakeControl.h"
#include "os/fake/FakeRegistryControl.h"
#include "os/fake/FakeUiControl.h"
#include "sys/WindowsVersion.h"

namespace programtest {

// An install run's host that shows nothing: the run alone, without the forms.
struct NoWizard : InstallHost {
  void ShowCopyWindow(bool) override {}
  void ShowStep(const std::string&) override {}
  void ShowProgress(int) override {}
  void PresentProgress() override {}
  void CloseCopyWindow() override {}
  void CloseWizard() override {}
  os::Hwnd WizardWindow() override { return 0; }
  os::Hwnd ApplicationWindow() override { return 0; }
  std::string DestinationText() override { return ""; }
};

// A new machine, and the process-wide state of a program not yet started.
inline void FreshProgram() {
  os::fake::Reset();
  ResetWinVersionCacheForTests();
  Shared() = SetupState{};
}

constexpr char kProgramsFolder[] = "C:\\Documents and Settings\\u\\Start Menu\\Programs";

// A fresh machine with the user's Programs folder and the Windows temp
// folder (for the logs), and the state of a wizard that chose the install
// folder C:\Program Files\Demo and the Start Menu folder Demo for "Demo 1.0",
// from the setup folder C:\SETUP.
inline void FreshInstall() {
  FreshProgram();
  ForgetLogForTests();
  Shared().Title = "Demo 1.0";
  Shared().InstallDir = "C:\\Program Files\\Demo";
  Shared().StartMenu = "Demo";
  Shared().SourceDir = "C:\\SETUP";
  os::fake::SetRegString(os::kHkeyCurrentUser,
                         "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", "Programs",
                         kProgramsFolder);
  os::fake::AddFolder(kProgramsFolder);
  os::fake::AddFolder("C:\\WINDOWS\\Temp");
}

// The first top-level window of that kind: Dialog is the wizard, Backdrop
// the background window, Tool a copy window; 0 when there is none.
inline os::Hwnd FormOfKind(os::FormKind kind) {
  for (os::Hwnd h : os::fake::TopLevelWindows())
    if (const os::fake::WindowInfo* info = os::fake::Info(h); info && info->formKind == kind) return h;
  return 0;
}

// The demo run's install log as it stands: the run holds it open to the end of the process, so
// it is read past that handle.
inline std::vector<std::string> DemoLog() {
  return SplitLines(os::fake::Content("C:\\WINDOWS\\temp\\qvsetup_Demo1.0.txt"));
}
inline bool DemoLogged(const std::string& line) {
  for (const std::string& l : DemoLog())
    if (l == line) return true;
  return false;
}

}  // namespace programtest
