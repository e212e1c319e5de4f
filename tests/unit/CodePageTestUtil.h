// Tests on the in-memory Windows playing a double-byte code page: the machine's code page and the
// process's lead bytes switched together, and back to the single-byte 1252 at the end.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>

#include "os/fake/FakeCodePageControl.h"
#include "sys/TextBytes.h"

namespace codepagetest {

class ScopedCodePage {
 public:
  explicit ScopedCodePage(std::uint32_t codePage) { Switch(codePage); }
  ~ScopedCodePage() { Switch(1252); }
  ScopedCodePage(const ScopedCodePage&) = delete;
  ScopedCodePage& operator=(const ScopedCodePage&) = delete;

  static void Switch(std::uint32_t codePage) {
    EXPECT_TRUE(os::fake::SetAnsiCodePage(codePage)) << codePage;
    LoadSystemLeadBytes();
  }
};

// Shift-JIS names whose second bytes read as "\", "|" or letters.
#define SJ_SEISEKIHYOU "\x90\xAC\x90\xD1\x95\x5C"     /* 成績表: ends in 0x5C */
#define SJ_SEISEKI "\x90\xAC\x90\xD1"                 /* 成績 */
#define SJ_JUU "\x8F\x5C"                             /* 十 */
#define SJ_NOU "\x94\x5C"                             /* 能 */
#define SJ_SOFUTO "\x83\x5C\x83\x74\x83\x67"          /* ソフト */
#define SJ_REPOOTO "\x83\x8C\x83\x7C\x81\x5B\x83\x67" /* レポート: 0x7C inside */
#define SJ_TESUTO "\x83\x65\x83\x58\x83\x67"          /* テスト: trail bytes e, X, g */
#define SJ_USUE "\x83\x45\x83\x58\x83\x47"            /* ウスエ: テスト upper-cased byte by byte */

}  // namespace codepagetest
