// The program's main block: the rights test, the three forms in their
// order, the message loop, and the end.
#include "app/Setup.h"

#include <memory>

#include "app/Form.h"
#include "app/uBack.h"
#include "app/uCopy.h"
#include "app/uSetup.h"
#include "sys/SetupError.h"
#include "sys/uQVDialogs.h"
#include "sys/uQVOpSys.h"
#include "sys/uQVWinNT.h"

namespace {

// The hidden application window: private messages for the application go here.
class TApplication : public Form {
 public:
  TApplication() { CreateWindowOf(os::FormKind::Hidden, "Setup", 0, 0); }
};

int Run() {
  if (!(GetWinVersion() < kWinNT4 || IsAdministrator())) {
    InfoBox("You must be a Windows Administrator to install this program.");
    return 0;
  }
  TApplication application;
  TfBack fBack(application.Handle());  // the first form: the main form
  TfSetup fSetup(application.Handle(), fBack);
  TfCopy fCopy;
  fSetup.SetCopyWindow(&fCopy);
  fBack.Show();  // posts RunWizard behind anything start-up posted
  os::RunMessageLoop();
  return 0;
}

}  // namespace

int SetupMain() {
  try {
    return Run();
  } catch (const std::exception& e) {
    // An unexpected system failure ends the program with its report.
    WarningBox(e.what());
    return 1;
  }
}
