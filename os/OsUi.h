// The seam's user interface: message boxes, the keyboard, and the handful of
// window operations the forms need. Controls are standard Win32 controls
// whose window text is what the user sees.
#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "os/OsTypes.h"

namespace os {

// --- message boxes and the keyboard -----------------------------------------
constexpr std::uint32_t kMbOk = 0x00;
constexpr std::uint32_t kMbOkCancel = 0x01;
constexpr std::uint32_t kMbYesNo = 0x04;
constexpr std::uint32_t kMbIconQuestion = 0x20;
constexpr std::uint32_t kMbIconExclamation = 0x30;
constexpr std::uint32_t kMbIconInformation = 0x40;
constexpr int kIdOk = 1;
constexpr int kIdCancel = 2;
constexpr int kIdYes = 6;
constexpr int kIdNo = 7;

int MessageBoxA(Hwnd owner, const std::string& text, const std::string& caption, std::uint32_t type);

constexpr int kVkControl = 0x11;
short GetKeyState(int virtualKey);

constexpr int kSmCxScreen = 0;
constexpr int kSmCyScreen = 1;
int GetSystemMetrics(int index);
int GetScreenDpi();  // 96 at 100 %

// --- windows ----------------------------------------------------------------
constexpr std::uint32_t kWmUser = 0x0400;

// What a form hears from its window. Handlers run on the one thread.
class WindowEvents {
 public:
  virtual ~WindowEvents() = default;
  virtual void OnCommand(int controlId) {}    // a button was pressed, a list clicked
  virtual bool OnCloseQuery() { return true; }  // may the window close?
  virtual void OnClosed() {}                  // the window was hidden by a close
  virtual void OnShown() {}                   // the window became visible the first time
};

enum class FormKind {
  Dialog,    // fixed border, caption, system menu only
  Tool,      // single fixed border, caption, no border icons
  Backdrop,  // caption with system menu and maximize; used full screen
  Hidden,    // never shown: the application window that private messages go to
};

enum class ControlKind {
  Button,       // push button; its text is its caption
  CheckBox,     // automatic check box
  Edit,         // single-line edit
  Memo,         // read-only multi-line edit, borderless, wraps
  ScrollMemo,   // read-only multi-line edit with both scroll bars
  ListBox,      // single-selection list
  Label,        // static text
  RightLabel,   // static text aligned to the right
  WrapLabel,    // static text that wraps
  ProgressBar,  // msctls_progress32, range 0..100
  Panel,        // container without a border; children are laid out inside it
  BevelPanel,   // container with a lowered bevel
  Picture,      // static bitmap
  Bevel,        // etched horizontal line
};

struct Rect {
  int left = 0, top = 0, width = 0, height = 0;
};

Hwnd CreateFormWindow(FormKind kind, const std::string& caption, int clientWidth, int clientHeight,
                      WindowEvents* events);
Hwnd CreateControl(Hwnd parent, ControlKind kind, int id, const std::string& text, const Rect& rect);
void DestroyWindow(Hwnd window);

void SetWindowTextA(Hwnd window, const std::string& text);
std::string GetWindowTextA(Hwnd window);
void ShowWindow(Hwnd window, bool visible);
bool IsWindowVisible(Hwnd window);
void EnableWindow(Hwnd window, bool enabled);
bool IsWindowEnabled(Hwnd window);
void SetWindowPos(Hwnd window, const Rect& outer);  // outer rectangle, screen coordinates for forms
Rect GetWindowRect(Hwnd window);
void UpdateWindow(Hwnd window);  // repaint at once
void SetFocus(Hwnd window);
void SetCancelButton(Hwnd form, int controlId);  // Escape presses it

// Looks and control contents. Colours are 0x00BBGGRR, or one of the
// system colours below.
constexpr std::uint32_t kColorButtonFace = 0x8000000F;
constexpr std::uint32_t kColorWindowText = 0x80000008;
void SetControlFont(Hwnd window, const std::string& face, int heightPixels, bool bold);
void SetColors(Hwnd window, std::uint32_t textRgb, std::uint32_t backRgb, bool transparent);
bool LoadPicture(Hwnd picture, const std::string& bitmapPath);  // the control sizes itself
void SetProgressPos(Hwnd bar, int position);
int GetProgressPos(Hwnd bar);
void ListBoxClear(Hwnd list);
void ListBoxAdd(Hwnd list, const std::string& item);
int ListBoxCount(Hwnd list);
std::string ListBoxItem(Hwnd list, int index);
int ListBoxSelection(Hwnd list);  // -1 when none
bool IsChecked(Hwnd checkBox);
void SetChecked(Hwnd checkBox, bool checked);
// A tooltip shown when the mouse rests on the control.
void SetHint(Hwnd control, const std::string& hint);
bool DeleteSystemMenuItem(Hwnd window, int position);  // false when there is none left

// --- messages ---------------------------------------------------------------
bool PostMessageA(Hwnd window, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam);
// Sees every message taken from the queue before it is dispatched; answering
// true means handled, and the message goes no further.
using MessageHook = std::function<bool(Hwnd, std::uint32_t, std::uintptr_t, std::intptr_t)>;
void SetAppMessageHook(MessageHook hook);
void RunMessageLoop();      // until PostQuitMessage
void PostQuitMessage();
void ProcessMessages();     // handle what is pending, then return
// GetQueueStatus: the low word the kinds of message that arrived since the
// last look, the high word the kinds waiting in the queue, both limited to
// the asked kinds.
constexpr std::uint32_t kQsKey = 0x01, kQsMouseMove = 0x02, kQsMouseButton = 0x04,
                        kQsPostMessage = 0x08, kQsTimer = 0x10, kQsPaint = 0x20,
                        kQsSendMessage = 0x40, kQsHotkey = 0x80;
std::uint32_t GetQueueStatus(std::uint32_t kinds);
// Asks the window's OnCloseQuery; when allowed, hides it and calls OnClosed.
void CloseWindow(Hwnd window);
// Shows the form modally: the other windows of the program are disabled
// until the form is hidden (closed).
void ShowModal(Hwnd form);

// The system's folder browser with the given prompt; the chosen folder, or
// empty when the user cancelled. New folders may be made in it.
std::string BrowseForFolder(Hwnd owner, const std::string& prompt);

Hwnd FindWindowA(const std::string& className, const std::string& title);
bool SetForegroundWindow(Hwnd window);

}  // namespace os
