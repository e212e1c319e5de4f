// The copy window.
#include "app/CopyWindow.h"

#include "engine/SetupState.h"
#include "os/OsSystem.h"

namespace {
enum { kActionLabel = 101, kFileName, kProgressBar, kCancelButton };
}

TfCopy::TfCopy() {
  CreateWindowOf(os::FormKind::Tool, "Copying", 416, 64);
  actionLabel = Add(0, os::ControlKind::RightLabel, kActionLabel, "Copying file: ", 8, 8, 73, 13);
  lFileName = Add(0, os::ControlKind::Label, kFileName, "", 88, 8, 317, 13);
  progressBar = Add(0, os::ControlKind::ProgressBar, kProgressBar, "", 8, 32, 305, 19);
  cancelButton = Add(0, os::ControlKind::Button, kCancelButton, "Cancel", 328, 28, 75, 25);
  ApplyFont("MS Sans Serif", 11);
  os::SetCancelButton(Handle(), kCancelButton);
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
    os::SetProgressPos(progressBar, pendingPercent_);
    shownPercent_ = pendingPercent_;
    changed = true;
  }
  if (!changed) return;
  Repaint();
  painted_ = true;
  lastPaint_ = os::GetTickCount();
}

void TfCopy::CancelClick() { Shared().CancelPressed = true; }

void TfCopy::OnCommand(int controlId) {
  if (controlId == kCancelButton) CancelClick();
}
