// The wizard's page flow: pages in order, and the captions each one shows.
#include "app/WizardFlow.h"

WizardPage PageAfter(WizardPage page) {
  switch (page) {
    case WizardPage::Intro:
      return WizardPage::License;
    case WizardPage::License:
      return WizardPage::Readme;
    case WizardPage::Readme:
      return WizardPage::Paths;
    case WizardPage::Paths:
    case WizardPage::Finish:
      break;
  }
  return WizardPage::Finish;
}

WizardPage PageBefore(WizardPage page) {
  switch (page) {
    case WizardPage::Finish:
      return WizardPage::Paths;
    case WizardPage::Paths:
      return WizardPage::Readme;
    case WizardPage::Readme:
      return WizardPage::License;
    case WizardPage::License:
    case WizardPage::Intro:
      break;
  }
  return WizardPage::Intro;
}

ButtonCaptions CaptionsOn(WizardPage page, bool acceptByCheckBox) {
  if (page == WizardPage::License && !acceptByCheckBox) return {"Yes", "No"};
  return {page == WizardPage::Finish ? "Finish" : "Next", "Cancel"};
}
