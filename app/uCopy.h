// The copy window: which file is being extracted or installed, a percentage
// bar and a Cancel button.
#pragma once
#include "app/Form.h"

class TfCopy : public Form {
 public:
  TfCopy();  // FormCreate: sized and centred, hidden

  os::Hwnd Label1 = 0;     // "Copying file: "
  os::Hwnd lFileName = 0;  // the file at hand
  os::Hwnd Guage = 0;      // 0..100
  os::Hwnd BitBtn1 = 0;    // Cancel
  int Tag = 0;             // general-purpose count, 0 at creation

  void BitBtn1Click();
  void OnCommand(int controlId) override;
};
