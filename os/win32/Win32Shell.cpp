// COM, shell execution, process waits, the shell's link object and its
// allocator over the real Win32 API.
#include <ole2.h>
#include <shellapi.h>
#include <shlobj.h>
#include <windows.h>

#include <utility>

#include "os/OsShell.h"
#include "os/win32/Win32Compat.h"

namespace os {
namespace {

// Owns one COM interface pointer.
template <typename T>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  ~ComPtr() {
    if (p_) p_->Release();
  }
  T* get() const { return p_; }
  T* operator->() const { return p_; }
  T** put() { return &p_; }

 private:
  T* p_ = nullptr;
};

const char* OrNull(const std::optional<std::string>& text) { return text ? text->c_str() : nullptr; }

class Win32PersistFile final : public PersistFile {
 public:
  explicit Win32PersistFile(ComPtr<IPersistFile> p) : p_(std::move(p)) {}
  HResult Save(const std::u16string& fileName, bool remember) override {
    return p_->Save(reinterpret_cast<LPCOLESTR>(fileName.c_str()), remember ? TRUE : FALSE);
  }

 private:
  ComPtr<IPersistFile> p_;
};

class Win32ShellLink final : public ShellLinkA {
 public:
  explicit Win32ShellLink(ComPtr<IShellLinkA> p) : p_(std::move(p)) {}
  HResult SetArguments(const std::string& text) override { return p_->SetArguments(text.c_str()); }
  HResult SetShowCmd(int show) override { return p_->SetShowCmd(show); }
  HResult SetWorkingDirectory(const std::string& folder) override {
    return p_->SetWorkingDirectory(folder.c_str());
  }
  HResult SetPath(const std::string& path) override { return p_->SetPath(path.c_str()); }
  HResult SetDescription(const std::string& text) override { return p_->SetDescription(text.c_str()); }
  HResult SetHotkey(std::uint16_t hotkey) override { return p_->SetHotkey(hotkey); }
  HResult SetIconLocation(const std::string& file, int index) override {
    return p_->SetIconLocation(file.c_str(), index);
  }
  HResult QueryPersistFile(std::unique_ptr<PersistFile>& persist) override {
    ComPtr<IPersistFile> p;
    HRESULT hr = p_->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(p.put()));
    if (SUCCEEDED(hr)) persist = std::make_unique<Win32PersistFile>(std::move(p));
    return hr;
  }

 private:
  ComPtr<IShellLinkA> p_;
};

class Win32Malloc final : public Malloc {
 public:
  explicit Win32Malloc(ComPtr<IMalloc> p) : p_(std::move(p)) {}
  ItemIdList Alloc(std::uint32_t size) override { return reinterpret_cast<ItemIdList>(p_->Alloc(size)); }
  int DidAlloc(ItemIdList block) override { return p_->DidAlloc(reinterpret_cast<void*>(block)); }
  void Free(ItemIdList block) override { p_->Free(reinterpret_cast<void*>(block)); }

 private:
  ComPtr<IMalloc> p_;
};

}  // namespace

// OLE is not imported (not a KnownDLL of NT 4.0): it comes from the System folder.
HResult OleInitialize() {
  using OleInitializeFn = HRESULT(WINAPI*)(LPVOID);
  auto initialize = win32::SystemFunction<OleInitializeFn>("ole32.dll", "OleInitialize");
  return initialize ? initialize(nullptr) : E_FAIL;
}

void OleUninitialize() {
  using OleUninitializeFn = void(WINAPI*)();
  if (auto uninitialize = win32::SystemFunction<OleUninitializeFn>("ole32.dll", "OleUninitialize"))
    uninitialize();
}

bool ShellExecuteExA(ShellExecuteInfo& info) {
  SHELLEXECUTEINFOA sei;
  ZeroMemory(&sei, sizeof sei);
  sei.cbSize = sizeof sei;
  sei.fMask = info.mask;
  sei.hwnd = reinterpret_cast<HWND>(info.window);
  sei.lpVerb = OrNull(info.verb);
  sei.lpFile = info.file.c_str();
  sei.lpParameters = OrNull(info.parameters);
  sei.lpDirectory = OrNull(info.directory);
  sei.nShow = info.show;
  BOOL ok = ::ShellExecuteExA(&sei);
  info.instApp = reinterpret_cast<std::uintptr_t>(sei.hInstApp);
  info.process = ok ? reinterpret_cast<Handle>(sei.hProcess) : 0;
  return ok != 0;
}

std::intptr_t ShellExecuteA(Hwnd owner, const std::optional<std::string>& verb, const std::string& file,
                            const std::optional<std::string>& parameters,
                            const std::optional<std::string>& directory, int show) {
  HINSTANCE h = ::ShellExecuteA(reinterpret_cast<HWND>(owner), OrNull(verb), file.c_str(), OrNull(parameters),
                                OrNull(directory), show);
  return reinterpret_cast<std::intptr_t>(h);
}

Hwnd GetDesktopWindow() { return reinterpret_cast<Hwnd>(::GetDesktopWindow()); }

std::uint32_t WaitForInputIdle(Handle process, std::uint32_t milliseconds) {
  return ::WaitForInputIdle(reinterpret_cast<HANDLE>(process), milliseconds);
}

std::uint32_t WaitForSingleObject(Handle process, std::uint32_t milliseconds) {
  return ::WaitForSingleObject(reinterpret_cast<HANDLE>(process), milliseconds);
}

bool CloseProcessHandle(Handle process) { return ::CloseHandle(reinterpret_cast<HANDLE>(process)) != 0; }

bool GetExitCodeProcess(Handle process, std::uint32_t& code) {
  DWORD value = 0;
  if (!::GetExitCodeProcess(reinterpret_cast<HANDLE>(process), &value)) return false;
  code = value;
  return true;
}

HResult CoCreateShellLink(std::unique_ptr<ShellLinkA>& link) {
  ComPtr<IShellLinkA> p;
  using CoCreateInstanceFn = HRESULT(WINAPI*)(REFCLSID, LPUNKNOWN, DWORD, REFIID, LPVOID*);
  auto create = win32::SystemFunction<CoCreateInstanceFn>("ole32.dll", "CoCreateInstance");
  if (!create) return REGDB_E_CLASSNOTREG;
  HRESULT hr = create(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                      reinterpret_cast<void**>(p.put()));
  if (SUCCEEDED(hr)) link = std::make_unique<Win32ShellLink>(std::move(p));
  return hr;
}

bool MultiByteToWideChar(const std::string& text, std::u16string& wide) {
  if (text.empty()) {
    wide.clear();
    return true;
  }
  int n =
      ::MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, text.data(), static_cast<int>(text.size()), nullptr, 0);
  if (n <= 0) return false;
  wide.assign(static_cast<size_t>(n), u'\0');
  n = ::MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, text.data(), static_cast<int>(text.size()),
                            reinterpret_cast<LPWSTR>(wide.data()), n);
  if (n <= 0) return false;
  wide.resize(static_cast<size_t>(n));
  return true;
}

HResult SHGetMalloc(std::unique_ptr<Malloc>& allocator) {
  ComPtr<IMalloc> p;
  HRESULT hr = ::SHGetMalloc(p.put());
  if (SUCCEEDED(hr)) allocator = std::make_unique<Win32Malloc>(std::move(p));
  return hr;
}

}  // namespace os
