// The in-memory Windows' user interface: windows as records, a FIFO message
// queue, scripted message-box answers and the Ctrl key.
#include <deque>
#include <map>

#include "os/HandlerFailure.h"
#include "os/OsUi.h"
#include "os/fake/FakeControl.h"
#include "os/fake/FakeState.h"
#include "os/fake/FakeUiControl.h"

namespace os::fake {
namespace {

struct Window {
  WindowInfo info;
  WindowEvents* events = nullptr;
  int cancelId = 0;
  bool everShown = false;
  std::string className;  // foreign windows only
};

struct Ui {
  std::map<Hwnd, Window> windows;
  std::vector<Hwnd> order;
  std::deque<QueuedMessage> queue;
  MessageHook hook;
  bool quit = false;
  int screenWidth = 1024, screenHeight = 768, dpi = 96;
  bool ctrlDown = false;
  std::deque<int> answers;
  std::vector<ShownBox> boxes;
  std::function<bool()> user;
  std::function<void(const ShownBox&)> boxObserver;
  std::function<std::optional<int>(const std::string&, std::uint32_t)> boxAnswerer;
  std::deque<std::string> folders;
  std::vector<std::string> prompts;
  Hwnd nextHwnd = 0x1000;
};

Ui& TheUi() { return AreaState<Ui>(); }

Window* W(Hwnd h) {
  auto it = TheUi().windows.find(h);
  return it == TheUi().windows.end() ? nullptr : &it->second;
}

Hwnd FormOf(Hwnd h) {
  while (Window* w = W(h)) {
    if (w->info.form) return h;
    h = w->info.parent;
  }
  return 0;
}

Hwnd NewWindow(Window w) {
  Hwnd h = TheUi().nextHwnd += 4;
  TheUi().windows[h] = std::move(w);
  TheUi().order.push_back(h);
  return h;
}

// Takes one message and hands it to the hook, then to its window.
void Dispatch(const QueuedMessage& m) {
  auto& ui = TheUi();
  if (ui.hook && ui.hook(m.window, m.message, m.wParam, m.lParam)) return;
  // Nothing else is posted by the program; unhandled private messages are dropped.
}

// Runs the queue until done() holds. An empty queue asks the scripted user.
// As on Windows, what a handler threw while the system called a window is
// thrown again by the loop that was running; outside any loop (a test
// clicking directly) it is thrown at once.
// The depth belongs to the running call stack, not to the machine: Reset() leaves it.
int& LoopDepth() {
  static int depth = 0;
  return depth;
}

template <typename Handler>
void Deliver(Handler&& handler) {
  detail::Deliver(handler);
  if (LoopDepth() == 0) detail::RethrowPendingFailure();
}

struct InLoop {
  InLoop() { ++LoopDepth(); }
  ~InLoop() { --LoopDepth(); }
};

void Pump(const std::function<bool()>& done) {
  auto& ui = TheUi();
  InLoop loop;
  detail::RethrowPendingFailure();
  while (!done() && !ui.quit) {
    if (ui.queue.empty()) {
      bool acted = ui.user && ui.user();
      detail::RethrowPendingFailure();
      if (!acted) return;
      continue;
    }
    QueuedMessage m = ui.queue.front();
    ui.queue.pop_front();
    Dispatch(m);
    detail::RethrowPendingFailure();
  }
}

void Show(Hwnd h, bool visible) {
  Window* w = W(h);
  if (!w) return;
  bool first = visible && !w->info.visible && !w->everShown && w->info.form;
  w->info.visible = visible;
  if (first) {
    w->everShown = true;
    if (WindowEvents* events = w->events) Deliver([events] { events->OnShown(); });
  }
}

}  // namespace

void ResetUi() {
  TheUi() = Ui{};
  detail::PendingFailure() = nullptr;
}

void SetScreen(int width, int height, int dpi) {
  TheUi().screenWidth = width;
  TheUi().screenHeight = height;
  TheUi().dpi = dpi;
}
void SetCtrlDown(bool down) { TheUi().ctrlDown = down; }
void AnswerNextBoxes(std::vector<int> answers) { TheUi().answers.assign(answers.begin(), answers.end()); }
const std::vector<ShownBox>& Boxes() { return TheUi().boxes; }
void SetUser(std::function<bool()> user) { TheUi().user = std::move(user); }
void SetBoxAnswerer(std::function<std::optional<int>(const std::string& text, std::uint32_t type)> answerer) {
  TheUi().boxAnswerer = std::move(answerer);
}
void SetBoxObserver(std::function<void(const ShownBox&)> observer) { TheUi().boxObserver = std::move(observer); }

std::vector<Hwnd> TopLevelWindows() {
  std::vector<Hwnd> out;
  for (Hwnd h : TheUi().order)
    if (Window* w = W(h); w && w->info.parent == 0) out.push_back(h);
  return out;
}

std::vector<Hwnd> Children(Hwnd parent) {
  std::vector<Hwnd> out;
  for (Hwnd h : TheUi().order)
    if (Window* w = W(h); w && w->info.parent == parent && parent != 0) out.push_back(h);
  return out;
}

const WindowInfo* Info(Hwnd window) {
  Window* w = W(window);
  return w ? &w->info : nullptr;
}

Hwnd FindControl(Hwnd form, const std::string& text) {
  for (Hwnd h : TheUi().order)
    if (Window* w = W(h); w && !w->info.form && w->info.text == text && FormOf(h) == form) return h;
  return 0;
}

Hwnd FindControlById(Hwnd form, int id) {
  for (Hwnd h : TheUi().order)
    if (Window* w = W(h); w && !w->info.form && w->info.id == id && FormOf(h) == form) return h;
  return 0;
}

void Click(Hwnd control) {
  Window* w = W(control);
  if (!w || !w->info.enabled) return;
  if (w->info.controlKind == ControlKind::CheckBox) w->info.checked = !w->info.checked;
  Window* form = W(FormOf(control));
  if (form && form->info.enabled && form->events)
    Deliver([events = form->events, id = w->info.id] { events->OnCommand(id); });
}

void SelectItem(Hwnd list, int index) {
  Window* w = W(list);
  if (!w) return;
  w->info.selection = index;
  Window* form = W(FormOf(list));
  if (form && form->events) Deliver([events = form->events, id = w->info.id] { events->OnCommand(id); });
}

std::vector<QueuedMessage> PendingMessages() { return {TheUi().queue.begin(), TheUi().queue.end()}; }
bool QuitPosted() { return TheUi().quit; }

void AnswerNextFolderBrowser(const std::string& folder) { TheUi().folders.push_back(folder); }
const std::vector<std::string>& FolderBrowserPrompts() { return TheUi().prompts; }

void AddForeignWindow(const std::string& className, const std::string& title) {
  Window w;
  w.info.form = true;
  w.info.text = title;
  w.info.visible = true;
  w.className = className;
  NewWindow(std::move(w));
}

}  // namespace os::fake

namespace os {
using namespace os::fake;

int MessageBoxA(Hwnd owner, const std::string& text, const std::string& caption, std::uint32_t type) {
  auto& ui = TheUi();
  int answer;
  if (!ui.answers.empty()) {
    answer = ui.answers.front();
    ui.answers.pop_front();
  } else if (auto chosen = ui.boxAnswerer ? ui.boxAnswerer(text, type) : std::nullopt) {
    answer = *chosen;
  } else {
    answer = (type & 0x0F) == kMbYesNo ? kIdYes : kIdOk;
  }
  ShownBox box{owner, text, caption, type, answer};
  if (ui.boxObserver) ui.boxObserver(box);
  ui.boxes.push_back(box);
  return answer;
}

short GetKeyState(int virtualKey) {
  return virtualKey == kVkControl && TheUi().ctrlDown ? static_cast<short>(0x8000 | 0x80) : 0;
}

int GetSystemMetrics(int index) {
  if (index == kSmCxScreen) return TheUi().screenWidth;
  if (index == kSmCyScreen) return TheUi().screenHeight;
  return 0;
}

int GetScreenDpi() { return TheUi().dpi; }

Hwnd CreateFormWindow(FormKind kind, const std::string& caption, int clientWidth, int clientHeight,
                      WindowEvents* events) {
  Window w;
  w.info.form = true;
  w.info.formKind = kind;
  w.info.text = caption;
  w.info.rect = Rect{0, 0, clientWidth, clientHeight};
  w.events = events;
  return NewWindow(std::move(w));
}

Hwnd CreateControl(Hwnd parent, ControlKind kind, int id, const std::string& text, const Rect& rect) {
  Window w;
  w.info.parent = parent;
  w.info.controlKind = kind;
  w.info.id = id;
  w.info.text = text;
  w.info.rect = rect;
  w.info.visible = true;
  return NewWindow(std::move(w));
}

void DestroyWindow(Hwnd window) {
  for (Hwnd child : Children(window)) DestroyWindow(child);
  TheUi().windows.erase(window);
}

void SetWindowTextA(Hwnd window, const std::string& text) {
  if (Window* w = W(window)) w->info.text = text;
}
std::string GetWindowTextA(Hwnd window) {
  Window* w = W(window);
  return w ? w->info.text : "";
}
void ShowWindow(Hwnd window, bool visible) { Show(window, visible); }
bool IsWindowVisible(Hwnd window) {
  for (Window* w = W(window); w; w = W(w->info.parent))
    if (!w->info.visible) return false;
  return W(window) != nullptr;
}
void EnableWindow(Hwnd window, bool enabled) {
  if (Window* w = W(window)) w->info.enabled = enabled;
}
bool IsWindowEnabled(Hwnd window) {
  Window* w = W(window);
  return w && w->info.enabled;
}
void SetWindowPos(Hwnd window, const Rect& outer) {
  if (Window* w = W(window)) w->info.rect = outer;
}
Rect GetWindowRect(Hwnd window) {
  Window* w = W(window);
  return w ? w->info.rect : Rect{};
}
void UpdateWindow(Hwnd window) {
  if (Window* w = W(window)) ++w->info.repaints;
}
void SetFocus(Hwnd) {}
void SetCancelButton(Hwnd form, int controlId) {
  if (Window* w = W(form)) w->cancelId = controlId;
}

void SetControlFont(Hwnd window, const std::string& face, int heightPixels, bool) {
  if (Window* w = W(window)) {
    w->info.fontFace = face;
    w->info.fontHeight = heightPixels;
  }
}
void SetColors(Hwnd window, std::uint32_t textRgb, std::uint32_t backRgb, bool transparent) {
  if (Window* w = W(window)) {
    w->info.textColor = textRgb;
    w->info.backColor = backRgb;
    w->info.transparent = transparent;
  }
}
bool LoadPicture(Hwnd picture, const std::string& bitmapPath) {
  Window* w = W(picture);
  std::string data = Content(bitmapPath);
  if (!w || data.size() < 26 || data.compare(0, 2, "BM") != 0) return false;
  auto le32 = [&](size_t at) {
    return static_cast<int>(static_cast<unsigned char>(data[at]) | static_cast<unsigned char>(data[at + 1]) << 8 |
                            static_cast<unsigned char>(data[at + 2]) << 16 |
                            static_cast<unsigned char>(data[at + 3]) << 24);
  };
  w->info.picture = bitmapPath;
  w->info.rect.width = le32(18);
  w->info.rect.height = le32(22) < 0 ? -le32(22) : le32(22);
  return true;
}
void SetProgressPos(Hwnd bar, int position) {
  if (Window* w = W(bar)) w->info.progress = position < 0 ? 0 : position > 100 ? 100 : position;
}
int GetProgressPos(Hwnd bar) {
  Window* w = W(bar);
  return w ? w->info.progress : 0;
}
void ListBoxClear(Hwnd list) {
  if (Window* w = W(list)) {
    w->info.items.clear();
    w->info.selection = -1;
  }
}
void ListBoxAdd(Hwnd list, const std::string& item) {
  if (Window* w = W(list)) w->info.items.push_back(item);
}
int ListBoxCount(Hwnd list) {
  Window* w = W(list);
  return w ? static_cast<int>(w->info.items.size()) : 0;
}
std::string ListBoxItem(Hwnd list, int index) {
  Window* w = W(list);
  if (!w || index < 0 || index >= static_cast<int>(w->info.items.size())) return "";
  return w->info.items[static_cast<size_t>(index)];
}
int ListBoxSelection(Hwnd list) {
  Window* w = W(list);
  return w ? w->info.selection : -1;
}
bool IsChecked(Hwnd checkBox) {
  Window* w = W(checkBox);
  return w && w->info.checked;
}
void SetChecked(Hwnd checkBox, bool checked) {
  if (Window* w = W(checkBox)) w->info.checked = checked;
}

void SetHint(Hwnd control, const std::string& hint) {
  if (Window* w = W(control)) w->info.hint = hint;
}

bool DeleteSystemMenuItem(Hwnd, int) { return false; }  // no system menu items in memory

bool PostMessageA(Hwnd window, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
  if (!W(window)) return false;
  TheUi().queue.push_back(QueuedMessage{window, message, wParam, lParam});
  return true;
}

void SetAppMessageHook(MessageHook hook) { TheUi().hook = std::move(hook); }

void RunMessageLoop() {
  Pump([] { return false; });
}

void PostQuitMessage() { TheUi().quit = true; }

void ProcessMessages() {
  auto& ui = TheUi();
  InLoop loop;
  detail::RethrowPendingFailure();
  while (!ui.queue.empty() && !ui.quit) {
    QueuedMessage m = ui.queue.front();
    ui.queue.pop_front();
    Dispatch(m);
    detail::RethrowPendingFailure();
  }
}

// Every message the program meets in memory is a posted one.
std::uint32_t GetQueueStatus(std::uint32_t kinds) {
  std::uint32_t waiting = TheUi().queue.empty() ? 0 : (kQsPostMessage & kinds);
  return (waiting << 16) | waiting;
}

void CloseWindow(Hwnd window) {
  Window* w = W(window);
  if (!w) return;
  if (w->events && !w->events->OnCloseQuery()) return;
  w->info.visible = false;
  if (w->events) w->events->OnClosed();
}

void ShowModal(Hwnd form) {
  std::vector<Hwnd> disabled;
  for (Hwnd h : TopLevelWindows())
    if (h != form && IsWindowEnabled(h) && IsWindowVisible(h)) {
      EnableWindow(h, false);
      disabled.push_back(h);
    }
  // The other windows come back however the modal spell ends.
  struct Reenable {
    std::vector<Hwnd>& windows;
    ~Reenable() {
      for (Hwnd h : windows) EnableWindow(h, true);
    }
  } reenable{disabled};
  {
    InLoop loop;
    Show(form, true);
  }
  Pump([form] { return !W(form) || !W(form)->info.visible; });
}

Hwnd FindWindowA(const std::string& className, const std::string& title) {
  for (Hwnd h : TheUi().order)
    if (Window* w = W(h); w && !w->className.empty() && w->className == className && w->info.text == title) return h;
  return 0;
}

bool SetForegroundWindow(Hwnd window) { return W(window) != nullptr; }

std::string BrowseForFolder(Hwnd, const std::string& prompt) {
  auto& ui = TheUi();
  ui.prompts.push_back(prompt);
  if (ui.folders.empty()) return "";
  std::string folder = ui.folders.front();
  ui.folders.pop_front();
  return folder;
}

}  // namespace os
