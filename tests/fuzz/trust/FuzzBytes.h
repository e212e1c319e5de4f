// What the fuzz targets of the elevated programs' inputs share: a reader that
// takes fields off the fuzzer's bytes, the check that ends a run on a broken
// promise, and the replay of kept inputs by the unit tests.
#pragma once
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

namespace trustfuzz {

// The kept input being replayed, named when a promise breaks.
inline std::string& ReplayedInput() {
  static std::string name;
  return name;
}

// Ends the run where a promise of the code under test is broken; the
// fuzzer keeps the input, a replaying test fails on it.
inline void Check(bool ok, const char* promise) {
  if (ok) return;
  std::fprintf(stderr, "broken: %s %s\n", promise, ReplayedInput().c_str());
  std::abort();
}

// Fields from the front of the input; past its end every field is zero or empty.
class Bytes {
 public:
  Bytes(const std::uint8_t* data, std::size_t size) : text_(reinterpret_cast<const char*>(data), size) {}
  std::uint8_t Byte() { return at_ < text_.size() ? static_cast<std::uint8_t>(text_[at_++]) : 0; }
  std::uint32_t U32() {
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= std::uint32_t{Byte()} << (8 * i);
    return v;
  }
  std::string Take(std::size_t n) {
    n = std::min(n, text_.size() - at_);
    std::string s = text_.substr(at_, n);
    at_ += n;
    return s;
  }
  // The text up to the next separator byte (which is dropped), or the rest.
  std::string Field(char separator) {
    const std::size_t end = text_.find(separator, at_);
    std::string s = text_.substr(at_, end == std::string::npos ? std::string::npos : end - at_);
    at_ = end == std::string::npos ? text_.size() : end + 1;
    return s;
  }
  std::string Rest() { return Take(text_.size() - at_); }
  bool Empty() const { return at_ >= text_.size(); }

 private:
  std::string text_;
  std::size_t at_ = 0;
};

// Every kept input of a target (the files of a folder below tests/fuzz/trust
// whose names begin with prefix), with its name, in the order of the names.
inline std::vector<std::pair<std::string, std::string>> KeptInputs(const std::string& folder,
                                                                   const std::string& prefix = "") {
  const std::filesystem::path dir = std::filesystem::path(QV_SOURCE_DIR) / "tests/fuzz/trust" / folder;
  std::vector<std::filesystem::path> paths;
  if (std::filesystem::exists(dir))
    for (const auto& entry : std::filesystem::directory_iterator(dir))
      if (entry.is_regular_file() && entry.path().filename().string().starts_with(prefix))
        paths.push_back(entry.path());
  std::sort(paths.begin(), paths.end());
  std::vector<std::pair<std::string, std::string>> inputs;
  for (const auto& path : paths) {
    std::ifstream in(path, std::ios::binary);
    inputs.emplace_back(path.filename().string(),
                        std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()));
  }
  return inputs;
}

using Target = void (*)(const std::uint8_t*, std::size_t);

// Runs the target over its kept corpus (corpus-<name>) and every input that
// ever broke it (crashers/<name>-*); the number of inputs run.
inline int ReplayKept(const std::string& name, Target target) {
  auto inputs = KeptInputs("corpus-" + name);
  for (auto& crasher : KeptInputs("crashers", name + "-")) inputs.push_back(std::move(crasher));
  for (const auto& [file, bytes] : inputs) {
    ReplayedInput() = name + "/" + file;
    target(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
  }
  ReplayedInput().clear();
  return static_cast<int>(inputs.size());
}

}  // namespace trustfuzz
