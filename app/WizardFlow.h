// The wizard's page flow as plain data: the page it shows, the page Next and
// Back lead to, and the captions its buttons carry there. The form keeps the
// page and only displays what these functions decide.
#pragma once

enum class WizardPage { Intro, License, Readme, Paths, Finish };

// The page after `page`; Finish has none (Next there starts the install run).
WizardPage PageAfter(WizardPage page);
// The page before `page`; the intro stays where it is.
WizardPage PageBefore(WizardPage page);

struct ButtonCaptions {
  const char* next;
  const char* cancel;
};
// The captions on a page: the licence accepted by the buttons reads Yes and
// No, the last page's Next reads Finish.
ButtonCaptions CaptionsOn(WizardPage page, bool acceptByCheckBox);
