// Decoding of LZMA entries (zip method 14) with the LZMA SDK's decoder, bounded like the others by
// the stored sizes, and with a dictionary no larger than the entry needs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "unzdll/UnzErrors.h"
#include "unzdll/UnzFiles.h"
#include "unzdll/ZipDirectory.h"

namespace unz {

class LzmaDecoder {
 public:
  LzmaDecoder();
  ~LzmaDecoder();
  LzmaDecoder(const LzmaDecoder&) = delete;
  LzmaDecoder& operator=(const LzmaDecoder&) = delete;

  // Decodes the entry's data, reading through `in` and decoding into `out`, whose first bytes
  // `hand` passes on (false stops). Codes as EntryDecoder::Decode.
  UnzError Decode(ArchiveFile& archive, const ZipEntry& entry, std::vector<unsigned char>& in,
                  std::vector<unsigned char>& out, const std::function<bool(std::size_t)>& hand);

  // The most dictionary an entry may ask for: no archive of ours needs more, and an 8 MB machine
  // cannot give it.
  static constexpr std::uint32_t kMaxDictionary = 64u << 20;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace unz
