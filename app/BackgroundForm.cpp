// The background window.
#include "app/BackgroundForm.h"

#include "app/SetupMessages.h"
#include "engine/SetupState.h"

namespace {
constexpr std::uint32_t kNavy = 0x00800000;    // 0x00BBGGRR
constexpr std::uint32_t kSilver = 0x00C0C0C0;
}  // namespace

TfBack::TfBack(os::Hwnd application) : application_(application) {
  CreateWindowOf(os::FormKind::Backdrop, "Setup", 640, 480);
  os::SetColors(Handle(), kSilver, kNavy, false);
  // The name label grows with a long title instead of cutting it off.
  titleLabel = Add(0, os::ControlKind::Label, 1, "Program Name", 12, 8, 195, 33);
  os::SetControlFont(titleLabel, "Arial Black", Scale(24), false);
  os::SetColors(titleLabel, kSilver, kNavy, true);
  int width = ScreenWidth(), height = ScreenHeight();
  int nameWidth = width > Scale(24) ? width - Scale(24) : Scale(195);
  os::SetWindowPos(titleLabel, os::Rect{Scale(12), Scale(8), nameWidth, Scale(33)});
  SetBounds(0, 0, width, height);
  if (AutomaticMode()) SetBounds(width + 1, height + 1, width, height);
}

void TfBack::OnShown() { PostSetupMessage(application_, RunWizard); }

void TfBack::OnClosed() { os::PostQuitMessage(); }
