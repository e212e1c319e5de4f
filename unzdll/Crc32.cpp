// CRC-32 by carry-less multiplication where the processor has it (64-bit x86 builds), folding
// 64 bytes a step; zlib's table method elsewhere and for the last bytes. The 32-bit Windows
// library always takes zlib's way: Windows 9x does not keep SSE registers across task switches.
#include "unzdll/Crc32.h"

#include <zlib.h>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define UNZ_CRC_CLMUL 1
#endif

namespace unz {

#if UNZ_CRC_CLMUL

namespace {

// Folding constants of the reflected polynomial 0xEDB88320: x^(4*128+32), x^(4*128-32),
// x^(128+32), x^(128-32) and x^64 modulo P, then P and mu for the Barrett reduction.
alignas(16) const std::uint64_t kK1K2[2] = {0x0154442bd4, 0x01c6e41596};
alignas(16) const std::uint64_t kK3K4[2] = {0x01751997d0, 0x00ccaa009e};
alignas(16) const std::uint64_t kK5K0[2] = {0x0163cd6124, 0x0000000000};
alignas(16) const std::uint64_t kPoly[2] = {0x01db710641, 0x01f7011641};

// `crc` is the inverted running value; `length` is at least 64 and a multiple of 16.
__attribute__((target("pclmul,sse4.1"))) std::uint32_t FoldCrc(const unsigned char* buf, std::size_t length,
                                                               std::uint32_t crc) {
  __m128i x0, x1, x2, x3, x4, x5, x6, x7, x8, y5, y6, y7, y8;
  x1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(buf + 0x00));
  x2 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(buf + 0x10));
  x3 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(buf + 0x20));
  x4 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(buf + 0x30));
  x1 = _mm_xor_si128(x1, _mm_cvtsi32_si128(static_cast<int>(crc)));
  x0 = _mm_load_si128(reinterpret_cast<const __m128i*>(kK1K2));
  buf += 64;
  length -= 64;
  while (length >= 64) {
    x5 = _mm_clmulepi64_si128(x1, x0, 0x00);
    x6 = _mm_clmulepi64_si128(x2, x0, 0x00);
    x7 = _mm_clmulepi64_si128(x3, x0, 0x00);
    x8 = _mm_clmulepi64_si128(x4, x0, 0x00);
    x1 = _mm_clmulepi64_si128(x1, x0, 0x11);
    x2 = _mm_clmulepi64_si128(x2, x0, 0x11);
    x3 = _mm_clmulepi64_si128(x3, x0, 0x11);
    x4 = _mm_clmulepi64_si128(x4, x0, 0x11);
    y5 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(buf + 0x00));
    y6 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(buf + 0x10));
    y7 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(buf + 0x20));
    y8 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(buf + 0x30));
    x1 = _mm_xor_si128(_mm_xor_si128(x1, x5), y5);
    x2 = _mm_xor_si128(_mm_xor_si128(x2, x6), y6);
    x3 = _mm_xor_si128(_mm_xor_si128(x3, x7), y7);
    x4 = _mm_xor_si128(_mm_xor_si128(x4, x8), y8);
    buf += 64;
    length -= 64;
  }
  // Four lanes into one.
  x0 = _mm_load_si128(reinterpret_cast<const __m128i*>(kK3K4));
  x5 = _mm_clmulepi64_si128(x1, x0, 0x00);
  x1 = _mm_clmulepi64_si128(x1, x0, 0x11);
  x1 = _mm_xor_si128(_mm_xor_si128(x1, x2), x5);
  x5 = _mm_clmulepi64_si128(x1, x0, 0x00);
  x1 = _mm_clmulepi64_si128(x1, x0, 0x11);
  x1 = _mm_xor_si128(_mm_xor_si128(x1, x3), x5);
  x5 = _mm_clmulepi64_si128(x1, x0, 0x00);
  x1 = _mm_clmulepi64_si128(x1, x0, 0x11);
  x1 = _mm_xor_si128(_mm_xor_si128(x1, x4), x5);
  // The remaining 16-byte blocks.
  while (length >= 16) {
    x2 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(buf));
    x5 = _mm_clmulepi64_si128(x1, x0, 0x00);
    x1 = _mm_clmulepi64_si128(x1, x0, 0x11);
    x1 = _mm_xor_si128(_mm_xor_si128(x1, x2), x5);
    buf += 16;
    length -= 16;
  }
  // 128 bits to 64.
  x2 = _mm_clmulepi64_si128(x1, x0, 0x10);
  x3 = _mm_setr_epi32(~0, 0, ~0, 0);
  x1 = _mm_srli_si128(x1, 8);
  x1 = _mm_xor_si128(x1, x2);
  x0 = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(kK5K0));
  x2 = _mm_srli_si128(x1, 4);
  x1 = _mm_and_si128(x1, x3);
  x1 = _mm_clmulepi64_si128(x1, x0, 0x00);
  x1 = _mm_xor_si128(x1, x2);
  // Barrett reduction to 32 bits.
  x0 = _mm_load_si128(reinterpret_cast<const __m128i*>(kPoly));
  x2 = _mm_and_si128(x1, x3);
  x2 = _mm_clmulepi64_si128(x2, x0, 0x10);
  x2 = _mm_and_si128(x2, x3);
  x2 = _mm_clmulepi64_si128(x2, x0, 0x00);
  x1 = _mm_xor_si128(x1, x2);
  return static_cast<std::uint32_t>(_mm_extract_epi32(x1, 1));
}

bool HasClmul() {
  static const bool has = __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse4.1");
  return has;
}

}  // namespace

#endif

std::uint32_t Crc32Update(std::uint32_t crc, const unsigned char* data, std::size_t length) {
#if UNZ_CRC_CLMUL
  if (length >= 64 && HasClmul()) {
    const std::size_t bulk = length & ~static_cast<std::size_t>(15);
    crc = ~FoldCrc(data, bulk, ~crc);
    data += bulk;
    length -= bulk;
  }
#endif
  while (length > 0) {
    // zlib takes the length as a 32-bit count.
    const uInt step = length > 0x40000000 ? 0x40000000u : static_cast<uInt>(length);
    crc = static_cast<std::uint32_t>(crc32(crc, data, step));
    data += step;
    length -= step;
  }
  return crc;
}

}  // namespace unz
