// The background window: the program's main form, a navy backdrop over the
// whole screen with the program's name.
#pragma once
#include "app/Form.h"

class TfBack : public Form {
 public:
  // FormCreate: full screen, or just off it in automatic mode. Messages for
  // the application go to the given window.
  explicit TfBack(os::Hwnd application);

  os::Hwnd titleLabel = 0;  // the program's name

  // Closing the main form ends the program.
  void OnClosed() override;
  // FormShow: asks the application to show the wizard.
  void OnShown() override;

 private:
  os::Hwnd application_;
};
