// libFuzzer target: untrusted bytes as the three parts of a spanned set that is joined.
#include "tests/fuzz/zip/FuzzTargets.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  zipfuzz::JoinPartsOf(data, size);
  return 0;
}
