// Replays the kept inputs of the fuzz targets of the stub's trailer, the
// uninstall data file, the pending replacements and setup.lst's part and
// extra names (their minimised corpora and every input that ever broke one).
#include <gtest/gtest.h>

#include "tests/fuzz/trust/TrustTargets.h"

namespace {

TEST(TrustFuzzRegression, KeptInputsOfEveryTarget) {
  const std::pair<const char*, trustfuzz::Target> targets[] = {
      {"StubFileOf", trustfuzz::StubFileOf},
      {"UninstallDataOf", trustfuzz::UninstallDataOf},
      {"PendingRenamesOf", trustfuzz::PendingRenamesOf},
      {"ListNamesOf", trustfuzz::ListNamesOf}};
  for (const auto& [name, target] : targets) EXPECT_GT(trustfuzz::ReplayKept(name, target), 0) << name;
}

}  // namespace
