// libFuzzer target: untrusted bytes as an archive whose directory is read.
#include "tests/fuzz/zip/FuzzTargets.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  zipfuzz::ReadDirectoryOf(data, size);
  return 0;
}
