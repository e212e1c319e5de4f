// What every form of the program shares: its window, controls laid out at
// designed pixel sizes (96 DPI) scaled to the screen, and typed helpers.
#pragma once
#include <string>
#include <vector>

#include "os/OsUi.h"

class Form : public os::WindowEvents {
 public:
  Form() = default;
  Form(const Form&) = delete;
  Form& operator=(const Form&) = delete;
  ~Form() override { Destroy(); }

  os::Hwnd Handle() const { return window_; }
  void Destroy();

  // Outer size and position, in screen pixels.
  os::Rect Bounds() const { return os::GetWindowRect(window_); }
  void SetBounds(int left, int top, int width, int height) {
    os::SetWindowPos(window_, os::Rect{left, top, width, height});
  }
  void Show() { os::ShowWindow(window_, true); }
  void Hide() { os::ShowWindow(window_, false); }
  void Close() { os::CloseWindow(window_); }
  void Repaint() { os::UpdateWindow(window_); }
  void SetCaption(const std::string& text) { os::SetWindowTextA(window_, text); }
  std::string Caption() const { return os::GetWindowTextA(window_); }

  // A designed length at 96 DPI on this screen.
  static int Scale(int pixels);
  static int ScreenWidth() { return os::GetSystemMetrics(os::kSmCxScreen); }
  static int ScreenHeight() { return os::GetSystemMetrics(os::kSmCyScreen); }

 protected:
  void CreateWindowOf(os::FormKind kind, const std::string& caption, int clientWidth, int clientHeight);
  // A control at its designed place inside parent (the form when 0).
  os::Hwnd Add(os::Hwnd parent, os::ControlKind kind, int id, const std::string& text, int left, int top,
               int width, int height);
  // The form's font on every control created so far.
  void ApplyFont(const std::string& face, int heightPixels);

 private:
  os::Hwnd window_ = 0;
  std::vector<os::Hwnd> controls_;
};

// Lines of a memo or list box as one window text with CR LF line ends.
std::string JoinLines(const std::vector<std::string>& lines);
// A text file's lines as one window text; empty when it cannot be read.
std::string FileText(const std::string& path);
