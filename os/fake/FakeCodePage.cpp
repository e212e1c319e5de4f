// The in-memory Windows' ANSI code page: the lead bytes it reports and the name rules of its own
// file system and registry, which never take the second byte of a character for a separator or a
// letter.
#include <cstring>

#include "os/OsSystem.h"
#include "os/fake/FakeCodePageControl.h"
#include "os/fake/FakeState.h"

namespace os::fake {
namespace {

struct CodePage {
  std::uint32_t number;
  std::vector<ByteRange> leadBytes;
};

const CodePage kCodePages[] = {
    {1252, {}},
    {932, {{0x81, 0x9F}, {0xE0, 0xFC}}},
    {936, {{0x81, 0xFE}}},
    {949, {{0x81, 0xFE}}},
    {950, {{0x81, 0xFE}}},
};

struct CodePageState {
  const CodePage* current = &kCodePages[0];
};

const CodePage*& Current() { return AreaState<CodePageState>().current; }

}  // namespace

bool SetAnsiCodePage(std::uint32_t codePage) {
  for (const CodePage& page : kCodePages)
    if (page.number == codePage) {
      Current() = &page;
      return true;
    }
  return false;
}

std::uint32_t AnsiCodePage() { return Current()->number; }

bool IsLeadByte(char c) {
  const auto b = static_cast<std::uint8_t>(c);
  for (const ByteRange& r : Current()->leadBytes)
    if (b >= r.first && b <= r.last) return true;
  return false;
}

namespace {
std::size_t CharLength(const std::string& text, std::size_t pos) {
  return IsLeadByte(text[pos]) && pos + 1 < text.size() ? 2 : 1;
}
}  // namespace

std::size_t NextBackslash(const std::string& text, std::size_t from) {
  for (std::size_t i = from; i < text.size(); i += CharLength(text, i))
    if (text[i] == '\\') return i;
  return std::string::npos;
}

std::size_t LastBackslash(const std::string& text) {
  std::size_t last = std::string::npos;
  for (std::size_t i = 0; i < text.size(); i += CharLength(text, i))
    if (text[i] == '\\') last = i;
  return last;
}

bool EndsWithBackslash(const std::string& text) {
  return !text.empty() && LastBackslash(text) == text.size() - 1;
}

std::string ParentPath(const std::string& path) {
  std::size_t cut = std::string::npos, lastSeparator = std::string::npos;
  for (std::size_t i = 0, n; i < path.size(); i += n) {
    n = CharLength(path, i);
    if (n == 1 && (path[i] == '\\' || path[i] == '/')) {
      lastSeparator = i;
    } else if (lastSeparator != std::string::npos && lastSeparator + 1 == i) {
      cut = lastSeparator;
    }
  }
  return cut == std::string::npos ? std::string() : path.substr(0, cut);
}

std::string WithoutChars(const std::string& text, const char* dropped) {
  std::string kept;
  for (std::size_t i = 0, n; i < text.size(); i += n) {
    n = CharLength(text, i);
    if (n == 1 && text[i] != '\0' && std::strchr(dropped, text[i]) != nullptr) continue;
    kept.append(text, i, n);
  }
  return kept;
}

std::string WholeCharsPrefix(const std::string& text, std::size_t limit) {
  std::size_t end = 0;
  while (end < text.size() && end + CharLength(text, end) <= limit) end += CharLength(text, end);
  return text.substr(0, end);
}

std::string Upper(std::string text) {
  for (std::size_t i = 0; i < text.size(); i += CharLength(text, i))
    if (text[i] >= 'a' && text[i] <= 'z') text[i] = static_cast<char>(text[i] - 'a' + 'A');
  return text;
}

}  // namespace os::fake

namespace os {

bool GetAnsiLeadByteRanges(std::vector<ByteRange>& ranges) {
  ranges = fake::Current()->leadBytes;
  return true;
}

}  // namespace os
