// The user interface over the real Win32 API: standard controls inside our
// own form and panel window classes, one message loop with the program's hook.
#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <map>
#include <tuple>
#include <vector>

#include "os/HandlerFailure.h"
#include "os/OsUi.h"
#include "os/win32/Win32Compat.h"

namespace os {
namespace {

constexpr char kFormClass[] = "QvSetupForm";
constexpr char kPanelClass[] = "QvSetupPanel";

struct FormData {
  WindowEvents* events = nullptr;
  FormKind kind = FormKind::Dialog;
  int cancelId = 0;
  bool shown = false;
  HWND focus = nullptr;  // the control that has (or gets, once shown) the focus while the form is active
};

struct Colors {
  std::uint32_t text = kColorWindowText;
  std::uint32_t back = kColorButtonFace;
  bool transparent = false;
};

struct Brush {
  HBRUSH handle = nullptr;
  ~Brush() {
    if (handle) ::DeleteObject(handle);
  }
};

struct UiState {
  std::map<HWND, FormData> forms;
  std::map<HWND, Colors> colors;
  std::map<std::tuple<std::string, int, bool>, HFONT> fonts;
  std::map<HWND, HBITMAP> pictures;
  std::map<COLORREF, Brush> brushes;
  std::map<HWND, HWND> tips;
  MessageHook hook;
  bool registered = false;
  // Set when the program asks to end: the loops stop at once, before any
  // message still queued (such as RunWizard behind an abort) is handled.
  bool quit = false;
  ~UiState() {
    for (auto& [key, font] : fonts) ::DeleteObject(font);
    for (auto& [hwnd, bitmap] : pictures) ::DeleteObject(bitmap);
  }
};

UiState& Ui() {
  static UiState state;
  return state;
}

HWND H(Hwnd h) { return reinterpret_cast<HWND>(h); }
Hwnd O(HWND h) { return reinterpret_cast<Hwnd>(h); }

COLORREF Resolve(std::uint32_t color) {
  return (color & 0x80000000u) ? ::GetSysColor(static_cast<int>(color & 0xFF)) : static_cast<COLORREF>(color);
}

HBRUSH BrushFor(COLORREF color) {
  Brush& b = Ui().brushes[color];
  if (!b.handle) b.handle = ::CreateSolidBrush(color);
  return b.handle;
}

LRESULT ColorControl(HDC dc, HWND control) {
  auto it = Ui().colors.find(control);
  Colors c = it == Ui().colors.end() ? Colors{} : it->second;
  ::SetTextColor(dc, Resolve(c.text));
  COLORREF back = Resolve(c.back);
  if (c.transparent) {
    // The control paints its background with the parent's colour, then the text over it.
    ::SetBkMode(dc, TRANSPARENT);
    return reinterpret_cast<LRESULT>(BrushFor(back));
  }
  ::SetBkColor(dc, back);
  return reinterpret_cast<LRESULT>(BrushFor(back));
}

// Commands and colour requests of controls inside panels go to the form.
// Nothing here runs a handler or throws: the form's procedure is the boundary.
LRESULT CALLBACK PanelProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_COMMAND:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
      return ::SendMessageA(::GetParent(hwnd), msg, wp, lp);
    case WM_ERASEBKGND: {
      RECT r;
      ::GetClientRect(hwnd, &r);
      ::FillRect(reinterpret_cast<HDC>(wp), &r, ::GetSysColorBrush(COLOR_BTNFACE));
      return 1;
    }
    default:
      return ::DefWindowProcA(hwnd, msg, wp, lp);
  }
}

LRESULT FormMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  auto it = Ui().forms.find(hwnd);
  FormData* form = it == Ui().forms.end() ? nullptr : &it->second;
  switch (msg) {
    case WM_COMMAND: {
      if (!form || !form->events) break;
      int id = LOWORD(wp);
      int code = HIWORD(wp);
      if (lp == 0 && id == IDCANCEL) {  // Escape, through the dialog keyboard
        if (form->cancelId) form->events->OnCommand(form->cancelId);
        return 0;
      }
      if (code == BN_CLICKED || code == LBN_SELCHANGE) form->events->OnCommand(id);
      return 0;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
      return ColorControl(reinterpret_cast<HDC>(wp), reinterpret_cast<HWND>(lp));
    case WM_ERASEBKGND: {
      RECT r;
      ::GetClientRect(hwnd, &r);
      auto c = Ui().colors.find(hwnd);
      COLORREF back = Resolve(c == Ui().colors.end() ? kColorButtonFace : c->second.back);
      ::FillRect(reinterpret_cast<HDC>(wp), &r, BrushFor(back));
      return 1;
    }
    case WM_ACTIVATE:
      // As a dialog does: the focus leaves with the form and comes back to
      // the same control, not to the form itself.
      if (form) {
        if (LOWORD(wp) == WA_INACTIVE) {
          HWND now = ::GetFocus();
          if (now && ::IsChild(hwnd, now)) form->focus = now;
        } else if (form->focus && ::IsWindow(form->focus)) {
          ::SetFocus(form->focus);
          return 0;
        }
      }
      break;
    case WM_SHOWWINDOW:
      if (wp && form && !form->shown) {
        form->shown = true;
        if (form->events) form->events->OnShown();
      }
      break;
    case WM_CLOSE:
      os::CloseWindow(O(hwnd));
      return 0;
    default:
      break;
  }
  return ::DefWindowProcA(hwnd, msg, wp, lp);
}

// The boundary: nothing the forms' handlers throw passes back into Windows.
LRESULT CALLBACK FormProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  LRESULT result = 0;
  bool handled = false;
  detail::Deliver([&] {
    result = FormMessage(hwnd, msg, wp, lp);
    handled = true;
  });
  return handled ? result : ::DefWindowProcA(hwnd, msg, wp, lp);
}

void RegisterClasses() {
  if (Ui().registered) return;
  win32::InitCommonControlClasses();
  WNDCLASSA form{};
  form.lpfnWndProc = FormProc;
  form.hInstance = ::GetModuleHandleA(nullptr);
  form.hCursor = ::LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  form.hIcon = ::LoadIconA(nullptr, reinterpret_cast<LPCSTR>(IDI_APPLICATION));
  form.lpszClassName = kFormClass;
  ::RegisterClassA(&form);
  WNDCLASSA panel{};
  panel.lpfnWndProc = PanelProc;
  panel.hInstance = form.hInstance;
  panel.hCursor = form.hCursor;
  panel.lpszClassName = kPanelClass;
  ::RegisterClassA(&panel);
  Ui().registered = true;
}

void HandleMessage(MSG& m) {
  if (Ui().hook && Ui().hook(O(m.hwnd), m.message, m.wParam, m.lParam)) return;
  HWND root = m.hwnd ? win32::RootWindow(m.hwnd) : nullptr;
  if (root && Ui().forms.count(root) && ::IsDialogMessageA(root, &m)) return;
  ::TranslateMessage(&m);
  ::DispatchMessageA(&m);
}

BOOL CALLBACK CollectWindow(HWND hwnd, LPARAM list) {
  bool kept = false;
  detail::Deliver([&] {
    reinterpret_cast<std::vector<HWND>*>(list)->push_back(hwnd);
    kept = true;
  });
  return kept ? TRUE : FALSE;
}

}  // namespace

int MessageBoxA(Hwnd owner, const std::string& text, const std::string& caption, std::uint32_t type) {
  return ::MessageBoxA(H(owner), text.c_str(), caption.c_str(), type);
}

short GetKeyState(int virtualKey) { return ::GetKeyState(virtualKey); }
int GetSystemMetrics(int index) { return ::GetSystemMetrics(index); }

int GetScreenDpi() {
  HDC dc = ::GetDC(nullptr);
  int dpi = dc ? ::GetDeviceCaps(dc, LOGPIXELSY) : 96;
  if (dc) ::ReleaseDC(nullptr, dc);
  return dpi > 0 ? dpi : 96;
}

Hwnd CreateFormWindow(FormKind kind, const std::string& caption, int clientWidth, int clientHeight,
                      WindowEvents* events) {
  RegisterClasses();
  DWORD style = WS_CLIPCHILDREN, ex = 0;
  switch (kind) {
    case FormKind::Dialog:
      style |= WS_CAPTION | WS_SYSMENU | WS_BORDER;
      ex |= WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;
      break;
    case FormKind::Tool:
      style |= WS_CAPTION | WS_BORDER;
      ex |= WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;
      break;
    case FormKind::Backdrop:
      style |= WS_CAPTION | WS_SYSMENU | WS_MAXIMIZEBOX;
      break;
    case FormKind::Hidden:
      style = WS_POPUP | WS_SYSMENU;
      break;
  }
  RECT r{0, 0, clientWidth, clientHeight};
  ::AdjustWindowRectEx(&r, style, FALSE, ex);
  HWND hwnd = ::CreateWindowExA(ex, kFormClass, caption.c_str(), style, 0, 0, r.right - r.left, r.bottom - r.top,
                                nullptr, nullptr, ::GetModuleHandleA(nullptr), nullptr);
  if (hwnd) Ui().forms[hwnd] = FormData{events, kind, 0, false};
  return O(hwnd);
}

Hwnd CreateControl(Hwnd parent, ControlKind kind, int id, const std::string& text, const Rect& rect) {
  RegisterClasses();
  const char* cls = "STATIC";
  DWORD style = WS_CHILD | WS_VISIBLE, ex = 0;
  switch (kind) {
    case ControlKind::Button:
      cls = "BUTTON";
      style |= BS_PUSHBUTTON | WS_TABSTOP;
      break;
    case ControlKind::CheckBox:
      cls = "BUTTON";
      style |= BS_AUTOCHECKBOX | WS_TABSTOP;
      break;
    case ControlKind::Edit:
      cls = "EDIT";
      style |= ES_AUTOHSCROLL | WS_TABSTOP;
      ex |= WS_EX_CLIENTEDGE;
      break;
    case ControlKind::Memo:
      cls = "EDIT";
      style |= ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL;
      break;
    case ControlKind::ScrollMemo:
      cls = "EDIT";
      style |= ES_MULTILINE | ES_READONLY | WS_VSCROLL | WS_HSCROLL | ES_AUTOVSCROLL | ES_AUTOHSCROLL | WS_TABSTOP;
      ex |= WS_EX_CLIENTEDGE;
      break;
    case ControlKind::ListBox:
      cls = "LISTBOX";
      style |= LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_TABSTOP;
      ex |= WS_EX_CLIENTEDGE;
      break;
    case ControlKind::Label:
      style |= SS_LEFTNOWORDWRAP | SS_NOPREFIX;
      break;
    case ControlKind::RightLabel:
      style |= SS_RIGHT | SS_NOPREFIX;
      break;
    case ControlKind::WrapLabel:
      style |= SS_LEFT | SS_NOPREFIX;
      break;
    case ControlKind::ProgressBar:
      cls = PROGRESS_CLASSA;
      break;
    case ControlKind::Panel:
      cls = kPanelClass;
      style |= WS_CLIPSIBLINGS;
      ex |= WS_EX_CONTROLPARENT;
      break;
    case ControlKind::BevelPanel:
      cls = kPanelClass;
      style |= WS_CLIPSIBLINGS;
      ex |= WS_EX_CONTROLPARENT | WS_EX_STATICEDGE;
      break;
    case ControlKind::Picture:
      style |= SS_BITMAP;
      break;
    case ControlKind::Bevel:
      style |= SS_ETCHEDHORZ;
      break;
  }
  HWND hwnd = ::CreateWindowExA(ex, cls, text.c_str(), style, rect.left, rect.top, rect.width, rect.height, H(parent),
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), ::GetModuleHandleA(nullptr), nullptr);
  if (hwnd && kind == ControlKind::ProgressBar) {
    ::SendMessageA(hwnd, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
    ::SendMessageA(hwnd, PBM_SETSTEP, 1, 0);
  }
  return O(hwnd);
}

void DestroyWindow(Hwnd window) {
  HWND hwnd = H(window);
  std::vector<HWND> all{hwnd};
  ::EnumChildWindows(hwnd, CollectWindow, reinterpret_cast<LPARAM>(&all));
  ::DestroyWindow(hwnd);
  for (HWND h : all) {
    Ui().forms.erase(h);
    Ui().colors.erase(h);
    if (auto p = Ui().pictures.find(h); p != Ui().pictures.end()) {
      ::DeleteObject(p->second);
      Ui().pictures.erase(p);
    }
  }
}

void SetWindowTextA(Hwnd window, const std::string& text) { ::SetWindowTextA(H(window), text.c_str()); }

std::string GetWindowTextA(Hwnd window) {
  int n = ::GetWindowTextLengthA(H(window));
  std::string s(static_cast<size_t>(n) + 1, '\0');
  n = ::GetWindowTextA(H(window), s.data(), n + 1);
  s.resize(static_cast<size_t>(n > 0 ? n : 0));
  return s;
}

void ShowWindow(Hwnd window, bool visible) { ::ShowWindow(H(window), visible ? SW_SHOW : SW_HIDE); }
bool IsWindowVisible(Hwnd window) { return ::IsWindowVisible(H(window)) != 0; }
void EnableWindow(Hwnd window, bool enabled) { ::EnableWindow(H(window), enabled ? TRUE : FALSE); }
bool IsWindowEnabled(Hwnd window) { return ::IsWindowEnabled(H(window)) != 0; }

void SetWindowPos(Hwnd window, const Rect& outer) {
  ::SetWindowPos(H(window), nullptr, outer.left, outer.top, outer.width, outer.height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

Rect GetWindowRect(Hwnd window) {
  RECT r{};
  ::GetWindowRect(H(window), &r);
  HWND parent = ::GetParent(H(window));
  if (parent && (::GetWindowLongA(H(window), GWL_STYLE) & WS_CHILD))
    ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
  return Rect{r.left, r.top, r.right - r.left, r.bottom - r.top};
}

void UpdateWindow(Hwnd window) {
  // Only what changed is painted: a control invalidates itself when its text
  // or position changes, and a whole repaint of the window with its themed bar
  // costs milliseconds.
  ::RedrawWindow(H(window), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
}

void SetFocus(Hwnd window) {
  // A hidden form cannot take the focus yet; it goes to the control when
  // the form is shown.
  HWND control = H(window);
  HWND form = win32::RootWindow(control);
  if (form && !::IsWindowVisible(form))
    if (auto it = Ui().forms.find(form); it != Ui().forms.end()) {
      it->second.focus = control;
      return;
    }
  ::SetFocus(control);
}

void SetCancelButton(Hwnd form, int controlId) {
  if (auto it = Ui().forms.find(H(form)); it != Ui().forms.end()) it->second.cancelId = controlId;
}

void SetControlFont(Hwnd window, const std::string& face, int heightPixels, bool bold) {
  auto key = std::make_tuple(face, heightPixels, bold);
  HFONT& font = Ui().fonts[key];
  if (!font)
    font = ::CreateFontA(-heightPixels, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                         OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                         face.c_str());
  ::SendMessageA(H(window), WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
}

void SetColors(Hwnd window, std::uint32_t textRgb, std::uint32_t backRgb, bool transparent) {
  Ui().colors[H(window)] = Colors{textRgb, backRgb, transparent};
  ::InvalidateRect(H(window), nullptr, TRUE);
}

bool LoadPicture(Hwnd picture, const std::string& bitmapPath) {
  HANDLE image = ::LoadImageA(nullptr, bitmapPath.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE);
  if (!image) return false;
  HBITMAP old = reinterpret_cast<HBITMAP>(
      ::SendMessageA(H(picture), STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(image)));
  if (old && old != image) ::DeleteObject(old);
  auto& slot = Ui().pictures[H(picture)];
  if (slot && slot != image && slot != old) ::DeleteObject(slot);
  slot = static_cast<HBITMAP>(image);
  return true;
}

void SetProgressPos(Hwnd bar, int position) { ::SendMessageA(H(bar), PBM_SETPOS, static_cast<WPARAM>(position), 0); }
int GetProgressPos(Hwnd bar) { return static_cast<int>(::SendMessageA(H(bar), PBM_GETPOS, 0, 0)); }

void ListBoxClear(Hwnd list) { ::SendMessageA(H(list), LB_RESETCONTENT, 0, 0); }
void ListBoxAdd(Hwnd list, const std::string& item) {
  ::SendMessageA(H(list), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
}
int ListBoxCount(Hwnd list) { return static_cast<int>(::SendMessageA(H(list), LB_GETCOUNT, 0, 0)); }
std::string ListBoxItem(Hwnd list, int index) {
  LRESULT n = ::SendMessageA(H(list), LB_GETTEXTLEN, static_cast<WPARAM>(index), 0);
  if (n == LB_ERR) return "";
  std::string s(static_cast<size_t>(n) + 1, '\0');
  n = ::SendMessageA(H(list), LB_GETTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(s.data()));
  s.resize(static_cast<size_t>(n > 0 ? n : 0));
  return s;
}
int ListBoxSelection(Hwnd list) {
  LRESULT n = ::SendMessageA(H(list), LB_GETCURSEL, 0, 0);
  return n == LB_ERR ? -1 : static_cast<int>(n);
}

bool IsChecked(Hwnd checkBox) { return ::SendMessageA(H(checkBox), BM_GETCHECK, 0, 0) == BST_CHECKED; }
void SetChecked(Hwnd checkBox, bool checked) {
  ::SendMessageA(H(checkBox), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

void SetHint(Hwnd control, const std::string& hint) {
  HWND root = win32::RootWindow(H(control));
  HWND& tip = Ui().tips[root];  // one tooltip window per form
  if (!tip || !::IsWindow(tip))
    tip = ::CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT,
                            CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, root, nullptr, ::GetModuleHandleA(nullptr),
                            nullptr);
  if (!tip) return;
  TOOLINFOA info{};
  info.cbSize = TTTOOLINFOA_V1_SIZE;
  info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  info.hwnd = root;
  info.uId = reinterpret_cast<UINT_PTR>(H(control));
  info.lpszText = const_cast<char*>(hint.c_str());
  ::SendMessageA(tip, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&info));
}

bool DeleteSystemMenuItem(Hwnd window, int position) {
  HMENU menu = ::GetSystemMenu(H(window), FALSE);
  return menu && ::DeleteMenu(menu, static_cast<UINT>(position), MF_BYPOSITION) != 0;
}

bool PostMessageA(Hwnd window, std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) {
  return ::PostMessageA(H(window), message, wParam, lParam) != 0;
}

void SetAppMessageHook(MessageHook hook) { Ui().hook = std::move(hook); }

void RunMessageLoop() {
  detail::RethrowPendingFailure();
  MSG m;
  while (!Ui().quit && ::GetMessageA(&m, nullptr, 0, 0) > 0) {
    HandleMessage(m);
    detail::RethrowPendingFailure();
  }
}

void PostQuitMessage() {
  Ui().quit = true;
  ::PostQuitMessage(0);
}

std::uint32_t GetQueueStatus(std::uint32_t kinds) { return ::GetQueueStatus(kinds); }

void ProcessMessages() {
  detail::RethrowPendingFailure();
  MSG m;
  while (!Ui().quit && ::PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
    if (m.message == WM_QUIT) {
      ::PostQuitMessage(static_cast<int>(m.wParam));  // leave it for the main loop
      return;
    }
    HandleMessage(m);
    detail::RethrowPendingFailure();
  }
}

void CloseWindow(Hwnd window) {
  HWND hwnd = H(window);
  auto it = Ui().forms.find(hwnd);
  WindowEvents* events = it == Ui().forms.end() ? nullptr : it->second.events;
  if (events && !events->OnCloseQuery()) return;
  ::ShowWindow(hwnd, SW_HIDE);
  if (events) events->OnClosed();
}

void ShowModal(Hwnd form) {
  HWND hwnd = H(form);
  std::vector<HWND> windows, disabled;
  ::EnumThreadWindows(::GetCurrentThreadId(), CollectWindow, reinterpret_cast<LPARAM>(&windows));
  detail::RethrowPendingFailure();
  for (HWND w : windows)
    if (w != hwnd && ::IsWindowEnabled(w) && ::IsWindowVisible(w)) {
      ::EnableWindow(w, FALSE);
      disabled.push_back(w);
    }
  // The other windows come back however the modal spell ends.
  struct Reenable {
    std::vector<HWND>& windows;
    ~Reenable() {
      for (HWND w : windows) ::EnableWindow(w, TRUE);
    }
  } reenable{disabled};
  ::ShowWindow(hwnd, SW_SHOW);
  detail::RethrowPendingFailure();
  ::SetForegroundWindow(hwnd);
  if (auto it = Ui().forms.find(hwnd); it != Ui().forms.end() && it->second.focus) ::SetFocus(it->second.focus);
  MSG m;
  while (!Ui().quit && ::IsWindow(hwnd) && ::IsWindowVisible(hwnd)) {
    int got = ::GetMessageA(&m, nullptr, 0, 0);
    if (got <= 0) {
      ::PostQuitMessage(static_cast<int>(m.wParam));  // the outer loop ends too
      break;
    }
    HandleMessage(m);
    detail::RethrowPendingFailure();
  }
}

Hwnd FindWindowA(const std::string& className, const std::string& title) {
  return O(::FindWindowA(className.c_str(), title.c_str()));
}

bool SetForegroundWindow(Hwnd window) { return ::SetForegroundWindow(H(window)) != 0; }

std::string BrowseForFolder(Hwnd owner, const std::string& prompt) {
  BROWSEINFOA info{};
  info.hwndOwner = H(owner);
  info.lpszTitle = prompt.c_str();
  // The resizable browser with its edit box came with shell32 5; an older shell shows a broken
  // dialog for the flag.
  info.ulFlags = BIF_RETURNONLYFSDIRS | (win32::ShellMajorVersion() >= 5 ? BIF_NEWDIALOGSTYLE : 0);
  LPITEMIDLIST chosen = ::SHBrowseForFolderA(&info);
  if (!chosen) return "";
  char path[MAX_PATH] = {};
  BOOL ok = ::SHGetPathFromIDListA(chosen, path);
  // The list was allocated by the shell's allocator, which is OLE's task allocator.
  using CoTaskMemFreeFn = void(WINAPI*)(LPVOID);
  if (auto free = win32::SystemFunction<CoTaskMemFreeFn>("ole32.dll", "CoTaskMemFree")) free(chosen);
  return ok ? std::string(path) : std::string();
}

}  // namespace os
