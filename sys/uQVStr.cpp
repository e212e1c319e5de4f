// Text helpers for paths and case-insensitive tests.
#include "sys/uQVStr.h"

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
