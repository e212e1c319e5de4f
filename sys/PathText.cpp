// Text helpers for paths and case-insensitive tests, on whole characters of the system code page.
#include "sys/PathText.h"

#include "sys/TextBytes.h"

std::string AddBackslash(const std::string& text) {
  if (text.empty() || EndsWithBackslash(text)) return text;
  return text + "\\";
}

std::string StripBackslash(const std::string& text) {
  if (!EndsWithBackslash(text)) return text;
  return text.substr(0, text.size() - 1);
}

std::string UpperText(const std::string& text) { return FoldCase(text, true, ProcessLeadBytes()); }

std::string LowerText(const std::string& text) { return FoldCase(text, false, ProcessLeadBytes()); }

namespace {
// Where the last part's extension starts; npos when it has none. A dot is never the second byte
// of a character.
std::size_t ExtensionStart(const std::string& path) {
  auto dot = path.find_last_of('.');
  auto part = LastSeparator(path, "\\:");
  return dot == std::string::npos || (part != std::string::npos && dot < part) ? std::string::npos : dot;
}
}  // namespace

std::string ExtractFileName(const std::string& path) {
  auto part = LastSeparator(path, "\\:");
  return part == std::string::npos ? path : path.substr(part + 1);
}

std::string ExtractFilePath(const std::string& path) {
  auto part = LastSeparator(path, "\\:");
  return part == std::string::npos ? std::string() : path.substr(0, part + 1);
}

std::string ExtractFileExt(const std::string& path) {
  auto dot = ExtensionStart(path);
  return dot == std::string::npos ? std::string() : path.substr(dot);
}

std::string ChangeFileExt(const std::string& path, const std::string& extension) {
  return path.substr(0, ExtensionStart(path)) + extension;
}

std::string QuotedCommand(const std::string& program, const std::string& arguments) {
  std::string command = "\"" + program + "\"";
  if (!arguments.empty()) command += " " + arguments;
  return command;
}
