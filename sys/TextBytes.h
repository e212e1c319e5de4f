// Walking ANSI text by characters. In a double-byte code page (Japanese, Chinese, Korean) a lead
// byte starts a two-byte character whose second byte may be 0x5C "\", 0x7C "|" or a letter; every
// split, search, trim and case fold over a path or name goes through these helpers so that such a
// byte is never taken for a separator or a letter. With no lead bytes (the single-byte code pages)
// every rule below is the plain byte rule.
//
// The rules take a lead-byte table and are header-only, so the unzip engine (which reads its own
// code page) uses them too; the table of the running system is read once per process by
// LoadSystemLeadBytes (TextBytes.cpp) and reached through ProcessLeadBytes.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

class LeadBytes {
 public:
  LeadBytes() = default;  // a single-byte code page
  void AddRange(std::uint8_t first, std::uint8_t last) {
    for (unsigned b = first; b <= last; ++b) lead_[b] = true;
  }
  bool IsLead(char c) const { return lead_[static_cast<std::uint8_t>(c)]; }

 private:
  std::array<bool, 256> lead_{};
};

// The table the process's path and name rules use; single-byte until LoadSystemLeadBytes.
inline LeadBytes& ProcessLeadBytes() {
  static LeadBytes table;
  return table;
}
// Reads the ANSI code page's lead bytes from the system into ProcessLeadBytes; the programs call
// it once at start (tests again after switching the in-memory Windows' code page).
void LoadSystemLeadBytes();

// Bytes in the character at `pos`: 2 for a lead byte with a byte after it, else 1.
inline std::size_t CharLength(const std::string& text, std::size_t pos, const LeadBytes& lead) {
  return lead.IsLead(text[pos]) && pos + 1 < text.size() ? 2 : 1;
}

// Whether `pos` starts a character (or is the end of the text).
inline bool IsCharStart(const std::string& text, std::size_t pos, const LeadBytes& lead) {
  std::size_t i = 0;
  while (i < pos && i < text.size()) i += CharLength(text, i, lead);
  return i == pos;
}

// The longest start of the text, no more than `limit` bytes, that ends between characters: what
// fits into a fixed-size record without half a character at its end.
inline std::size_t WholeCharsWithin(const std::string& text, std::size_t limit, const LeadBytes& lead) {
  std::size_t i = 0;
  while (i < text.size()) {
    const std::size_t next = i + CharLength(text, i, lead);
    if (next > limit) break;
    i = next;
  }
  return i;
}

// The first character at or after `from` (a character start) that is one of `separators`.
inline std::size_t NextSeparator(const std::string& text, const char* separators, std::size_t from,
                                 const LeadBytes& lead) {
  for (std::size_t i = from; i < text.size(); i += CharLength(text, i, lead))
    for (const char* s = separators; *s != '\0'; ++s)
      if (text[i] == *s) return i;
  return std::string::npos;
}

// The last character that is one of `separators`; npos when there is none.
inline std::size_t LastSeparator(const std::string& text, const char* separators, const LeadBytes& lead) {
  std::size_t last = std::string::npos;
  for (std::size_t i = 0; i < text.size(); i += CharLength(text, i, lead))
    for (const char* s = separators; *s != '\0'; ++s)
      if (text[i] == *s) last = i;
  return last;
}

// Whether the last character (not the second byte of one) is `c`.
inline bool EndsWithChar(const std::string& text, char c, const LeadBytes& lead) {
  return !text.empty() && text.back() == c && IsCharStart(text, text.size() - 1, lead);
}
inline bool EndsWithBackslash(const std::string& text, const LeadBytes& lead) {
  return EndsWithChar(text, '\\', lead);
}

// The text with the single-byte letters a-z (with `upper`) or A-Z made the other case; the bytes of
// double-byte characters stay as they are.
inline std::string FoldCase(std::string text, bool upper, const LeadBytes& lead) {
  const char from = upper ? 'a' : 'A';
  for (std::size_t i = 0; i < text.size(); i += CharLength(text, i, lead))
    if (text[i] >= from && text[i] <= from + 25)
      text[i] = static_cast<char>(text[i] + (upper ? 'A' - 'a' : 'a' - 'A'));
  return text;
}

// Equal but for the case of single-byte letters.
inline bool SameTextIgnoringCase(const std::string& a, const std::string& b, const LeadBytes& lead) {
  return a.size() == b.size() && FoldCase(a, true, lead) == FoldCase(b, true, lead);
}

// The first place at or after `from` where `part` starts a run of whole characters of `text`,
// letters compared without case; npos when there is none.
inline std::size_t FindTextIgnoringCase(const std::string& text, const std::string& part,
                                        const LeadBytes& lead, std::size_t from = 0) {
  const std::string upperText = FoldCase(text, true, lead), upperPart = FoldCase(part, true, lead);
  std::size_t i = 0;
  while (i < from && i < text.size()) i += CharLength(text, i, lead);
  for (; i + upperPart.size() <= upperText.size(); i += CharLength(text, i, lead)) {
    // The match must also end at a character's end: its last byte may not be a lone lead byte
    // whose partner lies outside it.
    if (upperText.compare(i, upperPart.size(), upperPart) == 0 &&
        IsCharStart(text.substr(i), upperPart.size(), lead))
      return i;
    if (i >= text.size()) break;
  }
  return std::string::npos;
}

// The same rules on the process's table.
inline std::size_t NextSeparator(const std::string& text, const char* separators, std::size_t from = 0) {
  return NextSeparator(text, separators, from, ProcessLeadBytes());
}
inline std::size_t LastSeparator(const std::string& text, const char* separators) {
  return LastSeparator(text, separators, ProcessLeadBytes());
}
inline bool EndsWithChar(const std::string& text, char c) {
  return EndsWithChar(text, c, ProcessLeadBytes());
}
inline bool EndsWithBackslash(const std::string& text) { return EndsWithBackslash(text, ProcessLeadBytes()); }
inline bool SameTextIgnoringCase(const std::string& a, const std::string& b) {
  return SameTextIgnoringCase(a, b, ProcessLeadBytes());
}
inline std::size_t FindTextIgnoringCase(const std::string& text, const std::string& part,
                                        std::size_t from = 0) {
  return FindTextIgnoringCase(text, part, ProcessLeadBytes(), from);
}
