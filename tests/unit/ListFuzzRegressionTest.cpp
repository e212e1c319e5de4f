// Replays the installation list fuzzer's kept inputs (seeds, the minimised
// corpus and every input that ever crashed) through the fuzz target itself.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "tests/fuzz/list/ListFuzzer.cpp"

namespace {

TEST(ListFuzzRegression, SeedsCorpusAndCrashers) {
  std::filesystem::path root = QV_SOURCE_DIR "/tests/fuzz/list";
  int replayed = 0;
  for (const char* folder : {"seeds", "corpus", "crashers"}) {
    if (!std::filesystem::exists(root / folder)) continue;
    std::vector<std::filesystem::path> inputs;
    for (const auto& entry : std::filesystem::directory_iterator(root / folder))
      if (entry.is_regular_file()) inputs.push_back(entry.path());
    std::sort(inputs.begin(), inputs.end());
    for (const auto& path : inputs) {
      SCOPED_TRACE(path.string());
      std::ifstream in(path, std::ios::binary);
      std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
      ++replayed;
    }
  }
  EXPECT_GT(replayed, 0);
}

}  // namespace
