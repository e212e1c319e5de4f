// Replays the kept inputs of the fuzz targets of the checker's PE reader and
// of the packer's folder input (minimised corpora and every input that ever
// broke one).
#include <gtest/gtest.h>

#include "tests/fuzz/trust/SetupCheckTargets.h"

namespace {

TEST(SetupCheckFuzzRegression, KeptInputsOfEveryTarget) {
  const std::pair<const char*, trustfuzz::Target> targets[] = {{"PeExportsOf", trustfuzz::PeExportsOf},
                                                               {"PackedFolderOf", trustfuzz::PackedFolderOf}};
  testing::internal::CaptureStdout();  // the packer's report of each folder
  for (const auto& [name, target] : targets) EXPECT_GT(trustfuzz::ReplayKept(name, target), 0) << name;
  testing::internal::GetCapturedStdout();
}

}  // namespace
