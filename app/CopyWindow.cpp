// The copy window.
#include "app/CopyWindow.h"

#include "engine/SetupState.h"
#include "os/OsSystem.h"

namespace {
enum { kLabel1 = 101, kFileName, kGuage, kBitBtn1 };
}

TfCopy::TfCopy() {
  CreateWindowOf(os::FormKind::Tool, "Copying", 416, 64);
  Label1 = Add(0, os::ControlKind::RightLabel, kLabel1, "Copying file: ", 8, 8, 73, 13);
  lFileName = Add(0, os::ControlKind::Label, kFileName, "", 88, 8, 317, 13);
  Guage = Add(0, os::ControlKind::ProgressBar, kGuage, "", 8, 32, 305, 19);
  BitBtn1 = Add(0, os::ControlKind::Button, kBitBtn1, "Cancel", 328, 28, 75, 25);
  ApplyFont("MS Sans Serif", 11);
  os::SetCancelButton(Handle(), kBitBtn1);
  int width = Scale(424), height = Scale(85);
  int top = ScreenHeight() / 2 - height / 2;
  int left = ScreenWidth() / 2 - width / 2;
  SetBounds(left, top, width, height);
  Repaint();
}

void TfCopy::Update() {
  // Unsigned difference: right also when the tick count wraps.
  if (painted_ && os::GetTickCount() - lastPaint_ < kRepaintInterval) return;
  Present();
}

void TfCopy::Present() {
  bool changed = false;
  if (pendingName_ != shownName_ || !painted_) {
    os::SetWindowTextA(lFileName, pendingName_);
    shownName_ = pendingName_;
    changed = true;
  }
  if (pendingPercent_ != shownPercent_ || !painted_) {
    os::SetProgressPos(Guage, pendingPercent_);
    shownPercent_ = pendingPercent_;
    changed = true;
  }
  if (!changed) return;
  Repaint();
  painted_ = true;
  lastPaint_ = os::GetTickCount();
}

void TfCopy::BitBtn1Click() { Shared().CancelPressed = true; }

void TfCopy::OnCommand(int controlId) {
  if (controlId == kBitBtn1) BitBtn1Click();
}
