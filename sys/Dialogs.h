// The "Dialog" message boxes and the Ctrl-key test.
#pragma once
#include <string>

#include "os/OsTypes.h"

// The caption of every box the program shows.
extern const char kDialogCaption[];

// Information box (OK), with no owner or owned by the given window.
void InfoBox(const std::string& text);
void OwnedInfoBox(os::Hwnd owner, const std::string& text);
// Warning box (exclamation, OK) with no owner: fatal start-up problems.
void WarningBox(const std::string& text);
// OK/Cancel boxes with no owner, plain or with the information icon; true for OK.
bool OkCancelBox(const std::string& text);
bool InfoOkCancelBox(const std::string& text);
// OK/Cancel question with no owner; true for OK.
bool QuestionOkCancelBox(const std::string& text);
// Yes/No question owned by the given window (0: none); true for Yes.
bool QuestionBox(os::Hwnd owner, const std::string& text);
// True while the Ctrl key is held down at this moment.
bool CtrlKeyDown();
