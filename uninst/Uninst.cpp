// The uninstaller's main block: the progress window in the copy window's
// look, and the removal run.
#include "uninst/Uninst.h"

#include <exception>

#include "app/CopyWindow.h"
#include "engine/RunJournal.h"
#include "engine/SetupTexts.h"
#include "engine/UninstallRun.h"
#include "sys/AdminRights.h"
#include "sys/Dialogs.h"
#include "sys/TextBytes.h"
#include "sys/WindowsVersion.h"

namespace {

class RemovalWindow : public UninstallHost {
 public:
  RemovalWindow() {
    window_.SetCaption("Removing");
    os::SetWindowTextA(window_.actionLabel, "Removing: ");
    os::ShowWindow(window_.cancelButton, false);  // a removal half done is worse than one finished
  }
  void ShowProgressWindow() override {
    window_.Show();
    window_.Repaint();
  }
  void ShowStep(const std::string& text) override {
    os::SetWindowTextA(window_.lFileName, text);
    window_.Repaint();
  }
  void ShowProgress(int percent) override {
    os::SetProgressPos(window_.progressBar, percent);
    window_.Repaint();
  }
  void CloseProgressWindow() override { window_.Hide(); }

 private:
  TfCopy window_;
};

}  // namespace

int UninstallMain(const std::string& commandLine) {
  LoadSystemLeadBytes();
  try {
    // An install cut short is put back first: its files are none of this removal's.
    if ((GetWinVersion() < kWinNT4 || IsAdministrator()) && RecoverUnfinishedRuns())
      InfoBox(kRestartFinishesRestoring);
    RemovalWindow window;
    return RunUninstall(commandLine, window);
  } catch (const std::exception& e) {
    WarningBox(e.what());
    return kUninstallIncomplete;
  }
}
