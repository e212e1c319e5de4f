// TPasswordDlg: the component's own password question, a form built in
// code, asked when the engine wants a password and no handler answers.
#include "os/OsUi.h"
#include "zip/ZipMaster.h"

namespace zip {

namespace {

enum PasswordControl { kEdit = 100, kOk = 101, kCancel = 102, kCancelAll = 103, kAbort = 104 };

class TPasswordDlg : public os::WindowEvents {
 public:
  // Shows the question modally; true with the entry when OK was pressed.
  bool Ask(const std::string& prompt, std::string& entry) {
    form_ = os::CreateFormWindow(os::FormKind::Dialog, LoadMessageText(ZipMsgPwTitle, "Password"), 360, 130,
                                 this);
    os::CreateControl(form_, os::ControlKind::WrapLabel, 0, prompt, {12, 10, 336, 36});
    Hwnd edit = os::CreateControl(form_, os::ControlKind::Edit, kEdit, "", {12, 50, 336, 22});
    os::CreateControl(form_, os::ControlKind::Button, kOk, LoadMessageText(ZipMsgPwOk, "OK"),
                      {12, 90, 78, 26});
    os::CreateControl(form_, os::ControlKind::Button, kCancel, LoadMessageText(ZipMsgPwCancel, "Cancel"),
                      {98, 90, 78, 26});
    os::CreateControl(form_, os::ControlKind::Button, kCancelAll,
                      LoadMessageText(ZipMsgPwCancelAll, "Cancel All"), {184, 90, 78, 26});
    os::CreateControl(form_, os::ControlKind::Button, kAbort, LoadMessageText(ZipMsgPwAbort, "Abort"),
                      {270, 90, 78, 26});
    os::SetCancelButton(form_, kCancel);
    os::SetFocus(edit);
    os::ShowModal(form_);
    entry = os::GetWindowTextA(edit);
    os::DestroyWindow(form_);
    return pressed_ == kOk;
  }

  void OnCommand(int controlId) override {
    if (controlId == kEdit || controlId == 0) return;
    pressed_ = controlId;
    os::CloseWindow(form_);
  }

 private:
  using Hwnd = os::Hwnd;
  Hwnd form_ = 0;
  int pressed_ = kCancel;
};

}  // namespace

bool TZipMaster::AskPassword(const std::string& forFile, bool confirm, std::string& password) {
  password.clear();
  std::string first;
  if (!TPasswordDlg{}.Ask(LoadMessageText(ZipMsgPwPrompt, "Enter the password for ") + forFile, first))
    return false;
  if (confirm) {
    std::string second;
    if (!TPasswordDlg{}.Ask(LoadMessageText(ZipMsgPwConfirm, "Enter the password again for ") + forFile,
                            second))
      return false;
    if (first != second) {
      ReportMessage(ZipMsgPasswordsDiffer, "");
      return false;
    }
  }
  password = first;
  return !password.empty();
}

}  // namespace zip
