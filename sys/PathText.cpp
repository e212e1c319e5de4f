// Text helpers for paths and case-insensitive tests.
#include "sys/PathText.h"

std::string AddBackslash(const std::string& text) {
  if (text.empty() || text.back() == '\\') return text;
  return text + "\\";
}

std::string StripBackslash(const std::string& text) {
  if (text.empty() || text.back() != '\\') return text;
  return text.substr(0, text.size() - 1);
}

std::string UpperText(const std::string& text) {
  std::string upper = text;
  for (char& c : upper)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return upper;
}

std::string LowerText(const std::string& text) {
  std::string lower = text;
  for (char& c : lower)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return lower;
}

namespace {
// Where the last part's extension starts; npos when it has none.
std::size_t ExtensionStart(const std::string& path) {
  auto dot = path.find_last_of('.');
  auto part = path.find_last_of("\\:");
  return dot == std::string::npos || (part != std::string::npos && dot < part) ? std::string::npos : dot;
}
}  // namespace

std::string ExtractFileName(const std::string& path) {
  auto part = path.find_last_of("\\:");
  return part == std::string::npos ? path : path.substr(part + 1);
}

std::string ExtractFilePath(const std::string& path) {
  auto part = path.find_last_of("\\:");
  return part == std::string::npos ? std::string() : path.substr(0, part + 1);
}

std::string ExtractFileExt(const std::string& path) {
  auto dot = ExtensionStart(path);
  return dot == std::string::npos ? std::string() : path.substr(dot);
}

std::string ChangeFileExt(const std::string& path, const std::string& extension) {
  return path.substr(0, ExtensionStart(path)) + extension;
}
