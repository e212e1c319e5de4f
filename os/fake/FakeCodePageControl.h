// Test-only control of the in-memory Windows' ANSI code page. The products never include this
// header.
#pragma once
#include <cstdint>

namespace os::fake {

// The code page the machine plays: 1252 (the default after Reset, single-byte), or one of the
// double-byte 932 (Japanese), 936 (Simplified Chinese), 949 (Korean), 950 (Traditional Chinese).
// False, and nothing changed, for any other.
bool SetAnsiCodePage(std::uint32_t codePage);
std::uint32_t AnsiCodePage();

}  // namespace os::fake
