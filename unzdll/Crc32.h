// CRC-32 of entry data, with zlib's meaning of the running value.
#pragma once

#include <cstddef>
#include <cstdint>

namespace unz {

// Continues `crc` (0 to start) over `length` bytes: the result of zip::Crc32 (zip/Crc32.h) and of
// zlib's crc32(), by zlib's faster method or by carry-less multiplication.
std::uint32_t Crc32Update(std::uint32_t crc, const unsigned char* data, std::size_t length);

}  // namespace unz
