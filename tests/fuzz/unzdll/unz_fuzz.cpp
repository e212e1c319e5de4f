// Fuzz target of the unzip engine: any bytes as an archive, extracted with and without folder
// names into an in-memory file layer that checks every path the engine writes stays inside.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>

#include "tests/fuzz/unzdll/MemoryArchive.h"
#include "unzdll/Extractor.h"
#include "unzdll/UnzFiles.h"

namespace {

constexpr const char* kBase = "X:\\base";

void Require(bool condition) {
  if (!condition) __builtin_trap();
}

// A written path must be the base folder, a separator and parts that neither climb nor hold a drive.
void CheckInside(const std::string& path) {
  const std::string prefix = std::string(kBase) + "\\";
  Require(path.rfind(prefix, 0) == 0);
  const std::string rest = path.substr(prefix.size());
  Require(!rest.empty() && rest[0] != '\\' && rest.back() != '\\');
  Require(rest.find(':') == std::string::npos && rest.find('/') == std::string::npos);
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = rest.find('\\', start);
    const std::string part = rest.substr(start, end == std::string::npos ? std::string::npos : end - start);
    Require(!part.empty() && part != "." && part != "..");
    if (end == std::string::npos) break;
    start = end + 1;
  }
}

class MemoryOutput : public unz::OutputFile {
 public:
  MemoryOutput(std::set<std::string>& files, std::string path) : files_(files), path_(std::move(path)) {}
  bool Write(const void*, std::size_t length) override {
    written_ += length;
    return true;
  }
  bool Commit() override {
    files_.insert(path_);
    return true;
  }

 private:
  std::set<std::string>& files_;
  std::string path_;
  std::uint64_t written_ = 0;
};

class MemoryLayer : public unz::FileLayer {
 public:
  MemoryLayer(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  std::string LocalName(const std::string& stored, unz::NameEncoding) override { return stored; }
  std::unique_ptr<unz::ArchiveFile> OpenArchive(const std::string&) override {
    return std::make_unique<MemoryArchive>(data_, size_);
  }
  unz::PathState Probe(const std::string& path) override {
    unz::PathState state;
    if (files_.count(path)) state.kind = unz::PathState::kFile;
    if (folders_.count(path)) state.kind = unz::PathState::kFolder;
    return state;
  }
  bool MakeFolder(const std::string& path) override {
    CheckInside(path);
    if (files_.count(path)) return false;
    folders_.insert(path);
    return true;
  }
  std::unique_ptr<unz::OutputFile> CreateOutput(const std::string& path, const unz::FileStamp&,
                                                bool newOnly) override {
    CheckInside(path);
    if (newOnly && (files_.count(path) || folders_.count(path))) return nullptr;
    return std::make_unique<MemoryOutput>(files_, path);
  }
  std::string CurrentFolder() override { return kBase; }
  std::string LastErrorText() override { return "memory"; }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::set<std::string> files_, folders_;
};

std::int32_t Callback(CallbackRecord* record) {
  Require(record->Text[kCallbackTextSize - 1] == '\0');
  // Answer the questions the way a user might, so those paths run too.
  if (record->ActionCode == kCbOverwrite) record->Size = 1;
  if (record->ActionCode == kCbCrcError) record->ErrorCode = kCrcExtractAnyway;
  return 0;
}

void RunOnce(const std::uint8_t* data, std::size_t size, bool folders, bool test, bool worker) {
  MemoryLayer files(data, size);
  ExtractRequest request{};
  request.Version = kUnzInterfaceVersion;
  request.ZCallbackFunc = Callback;
  request.ZipFileName = "fuzz.zip";
  request.Directories = folders ? kUnzTrue : 0;
  request.Test = test ? kUnzTrue : 0;
  request.Seven = 7;
  unz::RunOptions options;
  options.useWorker = worker;
  const std::int32_t done = unz::RunExtraction(request, files, options);
  Require(done >= 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  RunOnce(data, size, false, false, false);
  RunOnce(data, size, true, false, size % 8 == 0);
  RunOnce(data, size, false, true, false);
  return 0;
}
