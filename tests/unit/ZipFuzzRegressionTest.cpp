// Replays the kept fuzz inputs of the archive component (minimised corpora
// and every input that ever crashed) through the same targets.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "tests/fuzz/zip/FuzzTargets.h"
#include "tests/unit/ZipTestUtil.h"

namespace {

std::vector<std::filesystem::path> Inputs(const std::string& folder, const std::string& prefix = "") {
  std::filesystem::path dir = QV_SOURCE_DIR "/tests/fuzz/zip/" + folder;
  std::vector<std::filesystem::path> found;
  if (!std::filesystem::exists(dir)) return found;
  for (const auto& entry : std::filesystem::directory_iterator(dir))
    if (entry.is_regular_file() && entry.path().filename().string().rfind(prefix, 0) == 0)
      found.push_back(entry.path());
  std::sort(found.begin(), found.end());
  return found;
}

void Replay(const std::vector<std::filesystem::path>& inputs,
            void (*target)(const std::uint8_t*, std::size_t)) {
  for (const auto& path : inputs) {
    SCOPED_TRACE(path.filename().string());
    std::string bytes = ziptest::ReadData(path.string());
    target(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
  }
}

TEST(ZipFuzzRegression, DirectoryReaderCorpusAndCrashers) {
  auto corpus = Inputs("corpus-dir");
  EXPECT_FALSE(corpus.empty());
  Replay(corpus, zipfuzz::ReadDirectoryOf);
  Replay(Inputs("crashers", "DirectoryFuzz-"), zipfuzz::ReadDirectoryOf);
}

TEST(ZipFuzzRegression, JoinerCorpusAndCrashers) {
  auto corpus = Inputs("corpus-join");
  EXPECT_FALSE(corpus.empty());
  Replay(corpus, zipfuzz::JoinPartsOf);
  Replay(Inputs("crashers", "JoinFuzz-"), zipfuzz::JoinPartsOf);
}

}  // namespace
