// Message texts of the archive component and their formatting.
#include "zip/ZipMsg.h"

#include <vector>

namespace zip {

std::string LoadMessageText(int number, const std::string& fallback) {
  if (!fallback.empty()) return fallback;
  return "ZipMsgXX.res is probably not linked to the executable\nMissing String ID is: " +
         std::to_string(number);
}

namespace {

// Replaces each format place with the next argument of the matching kind.
std::string Fill(const std::string& text, const std::vector<std::string>& numbers, const std::string* str) {
  std::string out;
  std::size_t nextNumber = 0;
  bool strUsed = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%' || i + 1 >= text.size()) {
      out += text[i];
      continue;
    }
    std::size_t j = i + 1;
    if (text[j] == '%') {
      out += '%';
      i = j;
      continue;
    }
    while (j < text.size() && (text[j] == '.' || (text[j] >= '0' && text[j] <= '9'))) ++j;
    if (j < text.size() && text[j] == 'd' && nextNumber < numbers.size()) {
      out += numbers[nextNumber++];
      i = j;
    } else if (j < text.size() && text[j] == 's' && str && !strUsed) {
      out += *str;
      strUsed = true;
      i = j;
    } else {
      out += text[i];
    }
  }
  return out;
}

}  // namespace

std::string FormatMessageText(const std::string& text, const std::string& arg) {
  return Fill(text, {}, &arg);
}
std::string FormatMessageText(const std::string& text, int arg) {
  return Fill(text, {std::to_string(arg)}, nullptr);
}
std::string FormatMessageText(const std::string& text, int first, int second) {
  return Fill(text, {std::to_string(first), std::to_string(second)}, nullptr);
}

}  // namespace zip
