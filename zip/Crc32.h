// The CRC-32 of zip entries and of the single file's trailer (the reflected
// polynomial 0xEDB88320, zlib's meaning of the running value), by a table the
// compiler makes: programs without zlib (the download's stub) take it as it
// is; the unzip engine's faster Crc32Update gives the same results.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>

namespace zip {

namespace crc32detail {
constexpr std::array<std::uint32_t, 256> MakeTable() {
  std::array<std::uint32_t, 256> t{};
  for (std::uint32_t i = 0; i < 256; ++i) {
    std::uint32_t c = i;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    t[i] = c;
  }
  return t;
}
inline constexpr std::array<std::uint32_t, 256> kTable = MakeTable();
}  // namespace crc32detail

// Continues `crc` (0 to start) over `length` bytes.
inline std::uint32_t Crc32(std::uint32_t crc, const void* data, std::size_t length) {
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  crc = ~crc;
  for (std::size_t i = 0; i < length; ++i) crc = crc32detail::kTable[(crc ^ bytes[i]) & 0xFF] ^ (crc >> 8);
  return ~crc;
}

}  // namespace zip
