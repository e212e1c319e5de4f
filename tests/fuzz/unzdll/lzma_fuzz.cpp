// Fuzz target of the engine's LZMA path: any bytes as one LZMA entry's data, with the entry's
// size taken from the input's first four bytes. The decoder must stay within the
// entry's size, and a success must have produced exactly that size.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "tests/fuzz/unzdll/MemoryArchive.h"
#include "unzdll/EntryDecoder.h"
#include "zip/ZipRecords.h"

namespace {

void Require(bool condition) {
  if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 4) return 0;
  unz::ZipEntry entry;
  entry.method = ::zip::rec::kMethodLzma;
  // Up to 4 MB claimed: enough to cross the decoder's piece size and its dictionary's end.
  entry.size = ::zip::rec::Le32(data) & 0x3FFFFF;
  entry.dataOffset = 4;
  entry.compressedSize = static_cast<std::uint32_t>(size - 4);
  MemoryArchive archive(data, size);
  static unz::EntryDecoder decoder;  // kept, as the engine keeps it from entry to entry
  std::uint64_t produced = 0;
  const unz::UnzError result =
      decoder.Decode(archive, entry, [&](std::vector<unsigned char>& buffer, std::size_t length) {
        Require(length <= buffer.size());
        produced += length;
        Require(produced <= entry.size);
        return true;
      });
  Require(result != unz::UnzError::kNone || produced == entry.size);
  return 0;
}
