// Resolving a path as Windows does: the long name of every existing part
// (from the system where it has the call, else part by part from the
// folder listings), the parts that Windows drops or climbs taken out first.
#include "sys/ResolvedPath.h"

#include <vector>

#include "os/OsFiles.h"
#include "sys/PathText.h"

namespace {

bool HasForbiddenCharacter(const std::string& text) {
  for (unsigned char c : text)
    if (c < 0x20) return true;
  return text.find_first_of("*?\"<>|") != std::string::npos;
}

// The parts after the drive, in order, as given (empty parts included).
std::vector<std::string> Parts(std::string rest) {
  std::vector<std::string> parts;
  while (rest.size() > 2) {
    parts.insert(parts.begin(), ExtractFileName(rest));
    rest = StripBackslash(ExtractFilePath(rest));
  }
  return parts;
}

// The name without the periods and blanks that Windows drops from its end.
std::string Trimmed(std::string part) {
  while (!part.empty() && (part.back() == '.' || part.back() == ' ')) part.pop_back();
  return part;
}

// The long name of each part that exists, looked up one part at a time;
// from the first part that does not exist on, the parts stay as written.
std::string LongNamesPartByPart(const std::string& drive, const std::vector<std::string>& parts) {
  std::string path = drive;
  bool exists = true;
  for (const std::string& part : parts) {
    os::FindData found;
    if (exists) {
      os::UniqueFind find(os::FindFirstFileA(path + "\\" + part, found));
      exists = static_cast<bool>(find);
    }
    path += "\\" + (exists ? found.name : part);
  }
  return path;
}

}  // namespace

std::string ResolvePath(const std::string& path) {
  std::string text = path;
  for (char& c : text)
    if (c == '/') c = '\\';  // never a trail byte of a double-byte character
  if (text.size() < 3 || !((text[0] >= 'A' && text[0] <= 'Z') || (text[0] >= 'a' && text[0] <= 'z')) ||
      text[1] != ':' || text[2] != '\\')
    return "";
  const std::string rest = text.substr(2);
  if (HasForbiddenCharacter(rest) || rest.find(':') != std::string::npos) return "";
  const std::string drive = UpperText(text.substr(0, 2));

  std::vector<std::string> parts;
  for (const std::string& written : Parts(text)) {
    if (written == "..") {
      if (!parts.empty()) parts.pop_back();
      continue;
    }
    std::string part = Trimmed(written);  // "." and "..." name the folder itself
    if (!part.empty()) parts.push_back(part);
  }
  if (parts.empty()) return drive + "\\";

  std::string clean = drive;
  for (const std::string& part : parts) clean += "\\" + part;
  std::string longPath;
  if (os::GetLongPathNameA(clean, longPath)) return longPath;
  return LongNamesPartByPart(drive, parts);
}

bool SamePlace(const std::string& a, const std::string& b) {
  std::string x = ResolvePath(a), y = ResolvePath(b);
  return !x.empty() && UpperText(x) == UpperText(y);
}
