// The "Dialog" message boxes and the Ctrl-key test.
#include "sys/Dialogs.h"

#include "os/OsUi.h"

const char kDialogCaption[] = "Dialog";

void InfoBox(const std::string& text) { OwnedInfoBox(0, text); }

void OwnedInfoBox(os::Hwnd owner, const std::string& text) {
  os::MessageBoxA(owner, text, kDialogCaption, os::kMbOk | os::kMbIconInformation);
}

void WarningBox(const std::string& text) {
  os::MessageBoxA(0, text, kDialogCaption, os::kMbOk | os::kMbIconExclamation);
}

bool OkCancelBox(const std::string& text) {
  return os::MessageBoxA(0, text, kDialogCaption, os::kMbOkCancel) == os::kIdOk;
}

bool InfoOkCancelBox(const std::string& text) {
  return os::MessageBoxA(0, text, kDialogCaption, os::kMbOkCancel | os::kMbIconInformation) == os::kIdOk;
}

bool QuestionOkCancelBox(const std::string& text) {
  return os::MessageBoxA(0, text, kDialogCaption, os::kMbOkCancel | os::kMbIconQuestion) == os::kIdOk;
}

bool QuestionBox(os::Hwnd owner, const std::string& text) {
  return os::MessageBoxA(owner, text, kDialogCaption, os::kMbYesNo | os::kMbIconQuestion) == os::kIdYes;
}

bool CtrlKeyDown() { return (os::GetKeyState(os::kVkControl) & 0x80) != 0; }
