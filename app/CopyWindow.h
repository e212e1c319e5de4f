// The copy window: which file is being extracted or installed, a percentage
// bar and a Cancel button.
#pragma once
#include <cstdint>
#include <string>

#include "app/Form.h"

class TfCopy : public Form {
 public:
  TfCopy();  // FormCreate: sized and centred, hidden

  os::Hwnd actionLabel = 0;   // "Copying file: "
  os::Hwnd lFileName = 0;     // the file at hand
  os::Hwnd progressBar = 0;   // 0..100
  os::Hwnd cancelButton = 0;  // Cancel
  int filesBegun = 0;         // files whose extraction has begun, 0 at creation

  // The file at hand and the bar. A repaint costs more than copying a small
  // file, so ShowFile and ShowPercent only note what to show; Update shows it
  // when the last repaint is kRepaintInterval old (the first update after a
  // quiet spell at once), Present shows it now.
  void ShowFile(const std::string& name) { pendingName_ = name; }
  void ShowPercent(int percent) { pendingPercent_ = percent; }
  void Update();
  void Present();
  static constexpr std::uint32_t kRepaintInterval = 100;  // milliseconds

  void CancelClick();
  void OnCommand(int controlId) override;

 private:
  std::string shownName_, pendingName_;
  int shownPercent_ = 0, pendingPercent_ = 0;
  std::uint32_t lastPaint_ = 0;
  bool painted_ = false;
};
