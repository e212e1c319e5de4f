// libFuzzer program of one target of this folder, named by QV_FUZZ_TARGET when it is compiled.
#include "tests/fuzz/trust/SetupCheckTargets.h"
#include "tests/fuzz/trust/TrustTargets.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  trustfuzz::QV_FUZZ_TARGET(data, size);
  return 0;
}
