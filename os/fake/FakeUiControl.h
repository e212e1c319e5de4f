// Test-only control of the in-memory Windows' user interface: the screen,
// the Ctrl key, scripted message-box answers, the record of boxes shown,
// the windows and their controls, and a scripted user for message loops.
#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "os/OsUi.h"

namespace os::fake {

struct ShownBox {
  Hwnd owner = 0;
  std::string text;
  std::string caption;
  std::uint32_t type = 0;
  int answer = 0;
};

void SetScreen(int width, int height, int dpi = 96);
void SetCtrlDown(bool down);
// Answers for the next message boxes, in order; a box without a scripted
// answer gets its first button (OK, or Yes).
void AnswerNextBoxes(std::vector<int> answers);
// Consulted for a box without a scripted answer; nullopt gives the first button.
void SetBoxAnswerer(std::function<std::optional<int>(const std::string& text, std::uint32_t type)> answerer);
const std::vector<ShownBox>& Boxes();
// Called while each box is on the screen, before it is answered.
void SetBoxObserver(std::function<void(const ShownBox&)> observer);
// Called when a message loop finds the queue empty: the scripted user acts
// (clicks, closes) and answers true, or answers false to stop the loop.
// Without one, a loop that runs dry simply returns.
void SetUser(std::function<bool()> user);

// Windows, as the program created them.
struct WindowInfo {
  Hwnd parent = 0;
  bool form = false;
  FormKind formKind = FormKind::Dialog;
  ControlKind controlKind = ControlKind::Label;
  int id = 0;
  std::string text;
  bool visible = false;
  bool enabled = true;
  Rect rect;
  std::vector<std::string> items;
  int selection = -1;
  bool checked = false;
  int progress = 0;
  std::string fontFace;
  int fontHeight = 0;
  std::uint32_t textColor = 0, backColor = 0;
  bool transparent = false;
  std::string picture;
  std::string hint;
  int repaints = 0;
};
std::vector<Hwnd> TopLevelWindows();
std::vector<Hwnd> Children(Hwnd parent);  // direct children, in creation order
const WindowInfo* Info(Hwnd window);       // nullptr once destroyed
// The first control below the form (at any depth) whose text is the given one.
Hwnd FindControl(Hwnd form, const std::string& text);
Hwnd FindControlById(Hwnd form, int id);
// The user presses a button (a check box toggles first) or picks a list item.
void Click(Hwnd control);
void SelectItem(Hwnd list, int index);
// Messages still waiting in the queue, oldest first.
struct QueuedMessage {
  Hwnd window;
  std::uint32_t message;
  std::uintptr_t wParam;
  std::intptr_t lParam;
};
std::vector<QueuedMessage> PendingMessages();
bool QuitPosted();
// The folder the user picks in the next folder browsers ("" cancels), and the prompts shown.
void AnswerNextFolderBrowser(const std::string& folder);
const std::vector<std::string>& FolderBrowserPrompts();
// A window that FindWindowA will find, standing for another running program.
void AddForeignWindow(const std::string& className, const std::string& title);

}  // namespace os::fake
