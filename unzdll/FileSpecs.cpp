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

bool WildMatch(const std::string& pattern, const std::string& name) {
  // Iterative matching with one backtrack point: linear in practice, never exponential.
  std::size_t p = 0, n = 0, starP = std::string::npos, starN = 0;
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      starP = p++;
      starN = n;
    } else if (p < pattern.size() && (pattern[p] == '?' || Fold(pattern[p]) == Fold(name[n]))) {
      ++p;
      ++n;
    } else if (starP != std::string::npos) {
      p = starP + 1;
      n = ++starN;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

bool SelectedBySpecs(const std::vector<std::string>& specs, const std::string& storedName) {
  if (specs.empty()) return true;
  const std::size_t slash = storedName.find_last_of("/\\");
  const std::string lastPart = slash == std::string::npos ? storedName : storedName.substr(slash + 1);
  for (const std::string& spec : specs) {
    if (WildMatch(spec, storedName)) return true;
    if (spec.find_first_of("/\\") == std::string::npos && WildMatch(spec, lastPart)) return true;
  }
  return false;
}

}  // namespace unz
