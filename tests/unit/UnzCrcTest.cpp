// The engine's CRC-32 gives zlib's results and the table CRC-32's for every length, alignment and
// starting value.
#include <gtest/gtest.h>
#include <zlib.h>

#include <random>
#include <vector>

#include "unzdll/Crc32.h"
#include "zip/Crc32.h"

namespace {

TEST(UnzCrc, MatchesZlib) {
  std::mt19937 gen(42);
  std::vector<unsigned char> data(1 << 20);
  for (unsigned char& c : data) c = static_cast<unsigned char>(gen());
  std::vector<std::size_t> lengths;
  for (std::size_t n = 0; n <= 300; ++n) lengths.push_back(n);
  for (std::size_t n : {1023u, 4096u, 65535u, 65536u, 262144u, 1000003u}) lengths.push_back(n);
  for (std::size_t length : lengths) {
    for (std::size_t offset : {0u, 1u, 7u, 16u}) {
      if (offset + length > data.size()) continue;
      SCOPED_TRACE(::testing::Message() << "length " << length << " offset " << offset);
      for (std::uint32_t start : {0u, 0xFFFFFFFFu, 0x12345678u}) {
        const std::uint32_t expected =
            static_cast<std::uint32_t>(crc32(start, data.data() + offset, static_cast<uInt>(length)));
        ASSERT_EQ(unz::Crc32Update(start, data.data() + offset, length), expected);
        if (length <= 4096) {
          ASSERT_EQ(zip::Crc32(start, data.data() + offset, length), expected);
        }
      }
    }
  }
  // Zero bytes and a known value: the CRC-32 of "123456789".
  const unsigned char check[] = "123456789";
  EXPECT_EQ(unz::Crc32Update(0, check, 9), 0xCBF43926u);
  EXPECT_EQ(zip::Crc32(0, check, 9), 0xCBF43926u);
  const std::vector<unsigned char> zeros(5000, 0);
  EXPECT_EQ(unz::Crc32Update(0, zeros.data(), zeros.size()),
            static_cast<std::uint32_t>(crc32(0, zeros.data(), static_cast<uInt>(zeros.size()))));
}

}  // namespace
