// What every form of the program shares.
#include "app/Form.h"

#include "engine/TextFile.h"

void Form::Destroy() {
  if (window_) os::DestroyWindow(window_);
  window_ = 0;
  controls_.clear();
}

int Form::Scale(int pixels) {
  int dpi = os::GetScreenDpi();
  return dpi == 96 ? pixels : (pixels * dpi + 48) / 96;
}

void Form::CreateWindowOf(os::FormKind kind, const std::string& caption, int clientWidth, int clientHeight) {
  window_ = os::CreateFormWindow(kind, caption, Scale(clientWidth), Scale(clientHeight), this);
}

os::Hwnd Form::Add(os::Hwnd parent, os::ControlKind kind, int id, const std::string& text, int left, int top,
                   int width, int height) {
  os::Hwnd h = os::CreateControl(parent ? parent : window_, kind, id, text,
                                 os::Rect{Scale(left), Scale(top), Scale(width), Scale(height)});
  controls_.push_back(h);
  return h;
}

void Form::ApplyFont(const std::string& face, int heightPixels) {
  for (os::Hwnd h : controls_) os::SetControlFont(h, face, Scale(heightPixels), false);
}

std::string JoinLines(const std::vector<std::string>& lines) {
  std::string text;
  for (size_t i = 0; i < lines.size(); ++i) text += (i ? "\r\n" : "") + lines[i];
  return text;
}

std::string FileText(const std::string& path) {
  std::vector<std::string> lines;
  ReadTextLines(path, lines);
  return JoinLines(lines);
}
