// Contract of the seam's user interface, message queue, boxes, keyboard and
// access token: the fake must answer as Windows does.
#include <gtest/gtest.h>

#include <vector>

#include "os/OsSystem.h"
#include "os/OsUi.h"
#include "tests/contract/ContractEnv.h"

namespace {

struct Recorder : os::WindowEvents {
  std::vector<int> commands;
  int shown = 0, closed = 0;
  bool allowClose = true;
  void OnCommand(int id) override { commands.push_back(id); }
  bool OnCloseQuery() override { return allowClose; }
  void OnClosed() override { ++closed; }
  void OnShown() override { ++shown; }
};

TEST(UiContract, ControlsKeepTheirTextsAndStates) {
  contract::FreshScratch();
  Recorder events;
  os::Hwnd form = os::CreateFormWindow(os::FormKind::Dialog, "Contract", 300, 200, &events);
  ASSERT_NE(form, 0u);
  os::Hwnd panel = os::CreateControl(form, os::ControlKind::Panel, 100, "", {0, 0, 300, 150});
  os::Hwnd button = os::CreateControl(panel, os::ControlKind::Button, 101, "Next", {10, 10, 75, 25});
  os::Hwnd check = os::CreateControl(panel, os::ControlKind::CheckBox, 102, "Accept", {10, 40, 120, 17});
  os::Hwnd list = os::CreateControl(panel, os::ControlKind::ListBox, 103, "", {10, 60, 120, 80});
  os::Hwnd memo = os::CreateControl(form, os::ControlKind::ScrollMemo, 104, "one\r\ntwo", {150, 10, 140, 80});
  os::Hwnd bar = os::CreateControl(form, os::ControlKind::ProgressBar, 105, "", {10, 160, 200, 19});

  EXPECT_EQ(os::GetWindowTextA(form), "Contract");
  EXPECT_EQ(os::GetWindowTextA(button), "Next");
  os::SetWindowTextA(button, "Finish");
  EXPECT_EQ(os::GetWindowTextA(button), "Finish");
  EXPECT_EQ(os::GetWindowTextA(memo), "one\r\ntwo");

  EXPECT_FALSE(os::IsWindowVisible(form));
  EXPECT_FALSE(os::IsWindowVisible(button));  // its form is hidden
  os::SetWindowPos(form, {2000, 1500, 320, 240});
  os::ShowWindow(form, true);
  EXPECT_TRUE(os::IsWindowVisible(button));
  EXPECT_EQ(events.shown, 1);
  os::ShowWindow(panel, false);
  EXPECT_FALSE(os::IsWindowVisible(button));
  os::ShowWindow(panel, true);
  os::ShowWindow(form, false);
  os::ShowWindow(form, true);
  EXPECT_EQ(events.shown, 1);  // only the first showing counts

  os::Rect r = os::GetWindowRect(form);
  EXPECT_EQ(r.left, 2000);
  EXPECT_EQ(r.top, 1500);
  EXPECT_EQ(r.width, 320);
  EXPECT_EQ(r.height, 240);
  r = os::GetWindowRect(button);  // relative to its parent
  EXPECT_EQ(r.left, 10);
  EXPECT_EQ(r.width, 75);

  EXPECT_TRUE(os::IsWindowEnabled(button));
  os::EnableWindow(button, false);
  EXPECT_FALSE(os::IsWindowEnabled(button));

  EXPECT_FALSE(os::IsChecked(check));
  os::SetChecked(check, true);
  EXPECT_TRUE(os::IsChecked(check));

  EXPECT_EQ(os::ListBoxCount(list), 0);
  os::ListBoxAdd(list, "Accessories");
  os::ListBoxAdd(list, "Games");
  EXPECT_EQ(os::ListBoxCount(list), 2);
  EXPECT_EQ(os::ListBoxItem(list, 1), "Games");
  EXPECT_EQ(os::ListBoxSelection(list), -1);
  os::ListBoxClear(list);
  EXPECT_EQ(os::ListBoxCount(list), 0);

  os::SetProgressPos(bar, 66);
  EXPECT_EQ(os::GetProgressPos(bar), 66);
  os::SetProgressPos(bar, 150);
  EXPECT_EQ(os::GetProgressPos(bar), 100);
  os::DestroyWindow(form);
}

TEST(UiContract, PostedMessagesReachTheHookInOrder) {
  contract::FreshScratch();
  Recorder events;
  os::Hwnd app = os::CreateFormWindow(os::FormKind::Hidden, "App", 0, 0, &events);
  std::vector<std::intptr_t> seen;
  os::SetAppMessageHook([&](os::Hwnd w, std::uint32_t m, std::uintptr_t wp, std::intptr_t lp) {
    if (w != app || m != os::kWmUser + 1) return false;
    seen.push_back(lp);
    EXPECT_EQ(wp, static_cast<std::uintptr_t>(lp));
    return true;
  });
  for (int code : {3, 5, 4}) EXPECT_TRUE(os::PostMessageA(app, os::kWmUser + 1, code, code));
  os::ProcessMessages();
  EXPECT_EQ(seen, (std::vector<std::intptr_t>{3, 5, 4}));
  os::SetAppMessageHook(nullptr);
  os::DestroyWindow(app);
}

TEST(UiContract, ModalFormReturnsWhenClosedAndCloseQueryCanRefuse) {
  contract::FreshScratch();
  Recorder events;
  os::Hwnd other = os::CreateFormWindow(os::FormKind::Dialog, "Behind", 100, 100, nullptr);
  os::ShowWindow(other, true);
  os::Hwnd form = os::CreateFormWindow(os::FormKind::Dialog, "Modal", 200, 100, &events);
  os::SetWindowPos(form, {2000, 1500, 200, 100});
  int steps = 0;
  bool otherEnabledWhileModal = true;
  os::SetAppMessageHook([&](os::Hwnd, std::uint32_t m, std::uintptr_t, std::intptr_t) {
    if (m != os::kWmUser + 7) return false;
    ++steps;
    otherEnabledWhileModal = os::IsWindowEnabled(other);
    if (steps == 1) {
      events.allowClose = false;
      os::CloseWindow(form);  // refused: stays open
      events.allowClose = true;
      os::PostMessageA(form, os::kWmUser + 7, 0, 0);
    } else {
      os::CloseWindow(form);
    }
    return true;
  });
  os::PostMessageA(form, os::kWmUser + 7, 0, 0);
  os::ShowModal(form);
  EXPECT_EQ(steps, 2);
  EXPECT_EQ(events.closed, 1);
  EXPECT_FALSE(os::IsWindowVisible(form));
  EXPECT_FALSE(otherEnabledWhileModal);
  EXPECT_TRUE(os::IsWindowEnabled(other));
  os::SetAppMessageHook(nullptr);
  os::DestroyWindow(form);
  os::DestroyWindow(other);
}

TEST(UiContract, MessageBoxesAnswerWithThePressedButton) {
  contract::FreshScratch();
  contract::AnswerNextBox(os::kIdCancel);
  EXPECT_EQ(os::MessageBoxA(0, "Please insert setup disk number 2", "Dialog", os::kMbOkCancel | os::kMbIconInformation),
            os::kIdCancel);
  contract::AnswerNextBox(os::kIdNo);
  EXPECT_EQ(os::MessageBoxA(0, "Cancel Setup?", "Dialog", os::kMbYesNo | os::kMbIconQuestion), os::kIdNo);
  EXPECT_EQ(os::GetKeyState(os::kVkControl) & 0x80, 0);  // nobody holds Ctrl
  EXPECT_GT(os::GetSystemMetrics(os::kSmCxScreen), 0);
  EXPECT_GE(os::GetScreenDpi(), 96);
}

TEST(SystemContract, TokensListTheirGroups) {
  contract::FreshScratch();
  os::Handle token = 0;
  EXPECT_FALSE(os::OpenThreadToken(true, token));  // this thread does not impersonate
  EXPECT_EQ(os::GetLastError(), os::kErrorNoToken);
  ASSERT_TRUE(os::OpenProcessToken(token));
  std::uint32_t needed = 0;
  EXPECT_FALSE(os::GetTokenGroupsSize(token, needed));
  EXPECT_EQ(os::GetLastError(), os::kErrorInsufficientBuffer);
  EXPECT_GT(needed, 0u);
  std::vector<os::Sid> groups;
  EXPECT_TRUE(os::GetTokenGroups(token, needed, groups));
  EXPECT_FALSE(groups.empty());
  for (const os::Sid& sid : groups) EXPECT_GE(sid.size(), 8u);
  EXPECT_TRUE(os::CloseToken(token));
}

}  // namespace
