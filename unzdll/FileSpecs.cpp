// Wildcard matching of entry names against file specifications.
#include "unzdll/FileSpecs.h"

#include <cctype>

namespace unz {

namespace {

char Fold(char c) {
  if (c == '/') return '\\';
  return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

}  // namespace

bool WildMatch(const std::string& pattern, const std::string& name, const LeadBytes& lead) {
  // Iterative matching with one backtrack point: linear in practice, never exponential.
  std::size_t p = 0, n = 0, starP = std::string::npos, starN = 0;
  auto same = [&](std::size_t pl, std::size_t nl) {
    if (pl == 2 || nl == 2) return pl == nl && pattern.compare(p, 2, name, n, 2) == 0;
    return Fold(pattern[p]) == Fold(name[n]);
  };
  while (n < name.size()) {
    const std::size_t nl = CharLength(name, n, lead);
    const std::size_t pl = p < pattern.size() ? CharLength(pattern, p, lead) : 0;
    if (pl == 1 && pattern[p] == '*') {
      starP = p++;
      starN = n;
    } else if (pl != 0 && ((pl == 1 && pattern[p] == '?') || same(pl, nl))) {
      p += pl;
      n += nl;
    } else if (starP != std::string::npos) {
      p = starP + 1;
      starN += CharLength(name, starN, lead);
      n = starN;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

bool SelectedBySpecs(const std::vector<std::string>& specs, const std::string& storedName, const LeadBytes& lead) {
  if (specs.empty()) return true;
  const std::size_t slash = LastSeparator(storedName, "/\\", lead);
  const std::string lastPart = slash == std::string::npos ? storedName : storedName.substr(slash + 1);
  for (const std::string& spec : specs) {
    if (WildMatch(spec, storedName, lead)) return true;
    if (NextSeparator(spec, "/\\", 0, lead) == std::string::npos && WildMatch(spec, lastPart, lead)) return true;
  }
  return false;
}

}  // namespace unz
