// Mending of stored names: nothing an archive says may place a file outside the extraction folder.
#include "unzdll/NameMender.h"

#include <cctype>
#include <vector>

namespace unz {

namespace {

bool IsReservedDeviceName(const std::string& part) {
  // The device names count with any extension ("CON.txt" is the console too).
  std::string base = part.substr(0, part.find('.'));
  base = FoldCase(base, true, LeadBytes());  // the device names are single-byte
  while (!base.empty() && base.back() == ' ') base.pop_back();
  static const char* const kNames[] = {"CON", "PRN", "AUX", "NUL", "CLOCK$", "CONIN$", "CONOUT$"};
  for (const char* n : kNames)
    if (base == n) return true;
  if (base.size() != 4 || (base.rfind("COM", 0) != 0 && base.rfind("LPT", 0) != 0)) return false;
  // Windows takes the superscript digits one to three for digits here too: in the ANSI code pages
  // that have them they are the single bytes B9, B2 and B3. Where those bytes are other letters,
  // such a rare name gains the underscore as well, which only renames it.
  const unsigned char digit = static_cast<unsigned char>(base[3]);
  return (digit >= '0' && digit <= '9') || digit == 0xB9 || digit == 0xB2 || digit == 0xB3;
}

bool IsForbiddenCharacter(unsigned char c) {
  if (c < 0x20 || c == 0x7F) return true;
  switch (c) {
    case '<': case '>': case ':': case '"': case '|': case '?': case '*': return true;
    default: return false;
  }
}

}  // namespace

MendedName MendEntryName(const std::string& stored, bool keepFolders, const LeadBytes& lead) {
  MendedName result;
  std::string name = stored;
  // A drive ("C:") in front counts as a root, as does a leading separator.
  if (name.size() >= 2 && std::isalpha(static_cast<unsigned char>(name[0])) && name[1] == ':') {
    name.erase(0, 2);
    result.changed = true;
  }
  std::vector<std::string> parts;
  std::string part;
  bool sawRoot = !name.empty() && (name[0] == '/' || name[0] == '\\');
  auto finishPart = [&]() {
    // Windows drops trailing dots and blanks, so "..." and ". ." would climb or vanish there.
    std::size_t keep = part.size();
    while (keep > 0 && (part[keep - 1] == '.' || part[keep - 1] == ' ')) --keep;
    if (keep == 0) {
      if (!part.empty() && part != ".") result.changed = true;
    } else {
      if (keep != part.size()) result.changed = true;
      part.resize(keep);
      if (IsReservedDeviceName(part)) {
        part = "_" + part;
        result.changed = true;
      }
      parts.push_back(part);
    }
    part.clear();
  };
  for (std::size_t i = 0, length; i < name.size(); i += length) {
    length = CharLength(name, i, lead);
    if (length == 2) {
      part.append(name, i, 2);
      continue;
    }
    const char ch = name[i];
    if (ch == '/' || ch == '\\') {
      finishPart();
      continue;
    }
    const unsigned char c = static_cast<unsigned char>(ch);
    if (IsForbiddenCharacter(c)) {
      part.push_back('_');
      result.changed = true;
    } else {
      part.push_back(ch);
    }
  }
  finishPart();
  if (sawRoot) result.changed = true;

  if (parts.empty()) return result;
  if (!keepFolders) {
    result.path = parts.back();
    return result;
  }
  for (std::size_t i = 0; i < parts.size(); ++i) {
    if (i > 0) result.path.push_back('\\');
    result.path += parts[i];
  }
  return result;
}

}  // namespace unz
