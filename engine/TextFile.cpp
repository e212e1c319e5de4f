// Whole text files as lines.
#include "engine/TextFile.h"

#include <cstdint>

#include "engine/InstallList.h"
#include "os/OsFiles.h"

bool ReadWholeFile(const std::string& path, std::string& text) {
  os::UniqueFile file(os::CreateFileA(path, os::Access::Read, os::Disposition::OpenExisting));
  if (!file) return false;
  text.clear();
  char buffer[8192];
  std::uint32_t read = 0;
  do {
    if (!os::ReadFile(file.get(), buffer, sizeof buffer, read)) return false;
    text.append(buffer, read);
  } while (read > 0);
  return true;
}

bool ReadTextLines(const std::string& path, std::vector<std::string>& lines) {
  std::string text;
  if (!ReadWholeFile(path, text)) return false;
  lines = SplitLines(text);
  return true;
}

std::string TextOfLines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

namespace {

bool WriteText(const std::string& path, const std::string& text, os::Disposition disposition) {
  os::UniqueFile file(os::CreateFileA(path, os::Access::Write, disposition));
  std::uint32_t written = 0;
  return file && os::WriteFile(file.get(), text.data(), static_cast<std::uint32_t>(text.size()), written) &&
         written == text.size();
}

}  // namespace

bool WriteTextLines(const std::string& path, const std::vector<std::string>& lines) {
  return WriteText(path, TextOfLines(lines), os::Disposition::CreateAlways);
}

bool WriteNewTextFile(const std::string& path, const std::string& text) {
  // Attributes are left alone: through a hard link they would be the other file's. A read-only
  // file stays, and the creation below is refused, as overwriting it would be.
  os::DeleteFileA(path);
  return WriteText(path, text, os::Disposition::CreateNew);
}
