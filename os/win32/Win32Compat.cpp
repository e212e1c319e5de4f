// Newer Windows functions looked up at run time, each with the old way beside it.
#include "os/win32/Win32Compat.h"

#include <commctrl.h>

#include <algorithm>

namespace os::win32 {
namespace {

std::vector<std::string>& ReportedMissing() {
  static std::vector<std::string> names;
  return names;
}

}  // namespace

FARPROC FindNewerFunction(const char* module, const char* name) {
  const std::vector<std::string>& missing = ReportedMissing();
  if (std::find(missing.begin(), missing.end(), name) != missing.end()) return nullptr;
  HMODULE library = ::GetModuleHandleA(module);
  return library ? ::GetProcAddress(library, name) : nullptr;
}

void ReportMissingForTests(std::vector<std::string> names) { ReportedMissing() = std::move(names); }

HWND RootWindow(HWND window) {
  using GetAncestorFn = HWND(WINAPI*)(HWND, UINT);
  if (auto getAncestor = FindNewer<GetAncestorFn>("user32.dll", "GetAncestor"))
    return getAncestor(window, GA_ROOT);
  // Up through the parents while the window is a child; GetParent of a top-level window would
  // give its owner, which is not its root.
  if (!::IsWindow(window)) return nullptr;
  while (::GetWindowLongA(window, GWL_STYLE) & WS_CHILD) {
    HWND parent = ::GetParent(window);
    if (!parent) break;
    window = parent;
  }
  return window;
}

void InitCommonControlClasses() {
  using InitExFn = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
  if (auto initEx = FindNewer<InitExFn>("comctl32.dll", "InitCommonControlsEx")) {
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_PROGRESS_CLASS | ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
    if (initEx(&icc)) return;
  }
  // The first common controls library has no Ex: its classes are all registered when it loads,
  // which this import makes sure of.
  ::InitCommonControls();
}

}  // namespace os::win32
