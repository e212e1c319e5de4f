// Newer Windows functions looked up at run time, each with the old way beside it.
#include "os/win32/Win32Compat.h"

#include <commctrl.h>
#include <shlwapi.h>

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

HMODULE SystemLibrary(const char* name) {
  // The side-by-side store exists where kernel32 has activation contexts; there the manifest's
  // dependencies are looked up by name (the common controls of the current look) and no folder is
  // searched for them. Elsewhere only the System folder's copy is taken.
  if (HMODULE loaded = ::GetModuleHandleA(name)) return loaded;
  if (FindNewerFunction("kernel32.dll", "CreateActCtxA")) return ::LoadLibraryA(name);
  char folder[MAX_PATH];
  const UINT length = ::GetSystemDirectoryA(folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return nullptr;
  std::string path(folder, length);
  if (path.back() != '\\') path += '\\';
  return ::LoadLibraryA((path + name).c_str());
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

unsigned ShellMajorVersion() {
  DLLVERSIONINFO version{};
  version.cbSize = sizeof version;
  auto getVersion = FindNewer<DLLGETVERSIONPROC>("shell32.dll", "DllGetVersion");
  if (!getVersion || FAILED(getVersion(&version))) return 4;
  return version.dwMajorVersion;
}

void InitCommonControlClasses() {
  // The first common controls library has no Ex: its classes are all registered when it loads.
  if (!SystemLibrary("comctl32.dll")) return;
  using InitExFn = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
  if (auto initEx = FindNewer<InitExFn>("comctl32.dll", "InitCommonControlsEx")) {
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_PROGRESS_CLASS | ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
    initEx(&icc);  // a failure leaves the classes its loading registered
  }
}

}  // namespace os::win32
