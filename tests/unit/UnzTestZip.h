// Helpers of the engine's tests: a small zip writer for crafted archives, a scratch folder, and a
// request runner that records every callback.
#pragma once

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

extern "C" {
#include "LzmaEnc.h"
}

#include "unzdll/Extractor.h"
#include "unzdll/MemoryBudget.h"
#include "unzdll/UnzFiles.h"
#include "zip/UNZDLL.h"

namespace unztest {

namespace fs = std::filesystem;

constexpr std::uint32_t Dos(int year, int month, int day, int hour, int minute, int second) {
  return static_cast<std::uint32_t>(((year - 1980) << 25) | (month << 21) | (day << 16) | (hour << 11) |
                                    (minute << 5) | (second / 2));
}

struct TestEntry {
  std::string name;
  std::string data;
  bool deflate = true;
  // LZMA (method 14) with this dictionary and, unless false, the end marker.
  bool lzma = false;
  std::uint32_t lzmaDictionary = 1u << 16;
  bool lzmaEndMarker = true;
  std::uint32_t dosDateTime = Dos(2001, 2, 3, 4, 5, 6);
  std::uint8_t host = 0;
  std::uint32_t externalAttributes = 0;
  // Corruptions: a CRC, stored sizes or a local offset other than the true ones.
  bool setCrc = false;
  std::uint32_t crc = 0;
  bool setSizes = false;
  std::uint32_t compressedSize = 0, size = 0;
  bool setOffset = false;
  std::uint32_t localOffset = 0;
  std::uint16_t method = 0xFFFF;  // other than 0xFFFF: stored as this method
  std::uint16_t flags = 0;
};

// An archive held in memory, for the directory reader.
class MemoryArchive : public unz::ArchiveFile {
 public:
  explicit MemoryArchive(std::string bytes) : bytes_(std::move(bytes)) {}
  std::uint64_t Size() const override { return bytes_.size(); }
  std::size_t ReadAt(std::uint64_t offset, void* buffer, std::size_t length) override {
    if (offset >= bytes_.size()) return 0;
    const std::size_t n = std::min<std::size_t>(length, bytes_.size() - offset);
    std::memcpy(buffer, bytes_.data() + offset, n);
    return n;
  }

 private:
  std::string bytes_;
};

inline void Put16(std::string& s, std::uint32_t v) {
  s.push_back(static_cast<char>(v & 0xFF));
  s.push_back(static_cast<char>((v >> 8) & 0xFF));
}
inline void Put32(std::string& s, std::uint32_t v) {
  Put16(s, v & 0xFFFF);
  Put16(s, v >> 16);
}

inline std::string RawDeflate(const std::string& data, int level = 6) {
  z_stream zs{};
  EXPECT_EQ(deflateInit2(&zs, level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY), Z_OK);
  std::string out(deflateBound(&zs, data.size()) + 16, '\0');
  zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  zs.avail_in = static_cast<uInt>(data.size());
  zs.next_out = reinterpret_cast<Bytef*>(out.data());
  zs.avail_out = static_cast<uInt>(out.size());
  EXPECT_EQ(deflate(&zs, Z_FINISH), Z_STREAM_END);
  out.resize(zs.total_out);
  deflateEnd(&zs);
  return out;
}

// An LZMA entry's data: the zip header, the properties and the stream.
inline std::string LzmaEntryData(const std::string& data, std::uint32_t dictionary, bool endMarker) {
  CLzmaEncProps props;
  LzmaEncProps_Init(&props);
  props.dictSize = dictionary;
  props.numThreads = 1;
  std::string out(9 + data.size() + data.size() / 2 + 64, '\0');
  SizeT streamSize = out.size() - 9, propsSize = 5;
  ISzAlloc heap = {[](void*, size_t n) { return std::malloc(n); }, [](void*, void* a) { std::free(a); }};
  EXPECT_EQ(LzmaEncode(reinterpret_cast<Byte*>(out.data() + 9), &streamSize,
                       reinterpret_cast<const Byte*>(data.data()), data.size(), &props,
                       reinterpret_cast<Byte*>(out.data() + 4), &propsSize, endMarker ? 1 : 0, nullptr, &heap, &heap),
            SZ_OK);
  out.replace(0, 4, std::string("\x09\x16\x05\x00", 4));
  out.resize(9 + streamSize);
  return out;
}

inline std::uint32_t Crc(const std::string& data) {
  return static_cast<std::uint32_t>(
      crc32(crc32(0, nullptr, 0), reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
}

// Writes local headers and data, then the central directory and the end record.
inline std::string BuildZip(const std::vector<TestEntry>& entries, const std::string& comment = "") {
  std::string zip, central;
  for (const TestEntry& e : entries) {
    const std::string payload =
        e.lzma ? LzmaEntryData(e.data, e.lzmaDictionary, e.lzmaEndMarker) : e.deflate ? RawDeflate(e.data) : e.data;
    const std::uint16_t method = e.method != 0xFFFF ? e.method : e.lzma ? 14 : (e.deflate ? 8 : 0);
    const std::uint32_t crc = e.setCrc ? e.crc : Crc(e.data);
    const std::uint32_t csize = e.setSizes ? e.compressedSize : static_cast<std::uint32_t>(payload.size());
    const std::uint32_t usize = e.setSizes ? e.size : static_cast<std::uint32_t>(e.data.size());
    const std::uint16_t flags = e.flags | (e.lzma && e.lzmaEndMarker ? 2 : 0);
    const std::uint32_t offset = e.setOffset ? e.localOffset : static_cast<std::uint32_t>(zip.size());
    Put32(zip, 0x04034B50);
    Put16(zip, 20);
    Put16(zip, flags);
    Put16(zip, method);
    Put32(zip, e.dosDateTime);
    Put32(zip, crc);
    Put32(zip, csize);
    Put32(zip, usize);
    Put16(zip, static_cast<std::uint32_t>(e.name.size()));
    Put16(zip, 0);
    zip += e.name;
    zip += payload;

    Put32(central, 0x02014B50);
    Put16(central, static_cast<std::uint32_t>(e.host) << 8 | 20);
    Put16(central, 20);
    Put16(central, flags);
    Put16(central, method);
    Put32(central, e.dosDateTime);
    Put32(central, crc);
    Put32(central, csize);
    Put32(central, usize);
    Put16(central, static_cast<std::uint32_t>(e.name.size()));
    Put16(central, 0);
    Put16(central, 0);
    Put16(central, 0);
    Put16(central, 0);
    Put32(central, e.externalAttributes);
    Put32(central, offset);
    central += e.name;
  }
  const std::uint32_t cdOffset = static_cast<std::uint32_t>(zip.size());
  zip += central;
  Put32(zip, 0x06054B50);
  Put16(zip, 0);
  Put16(zip, 0);
  Put16(zip, static_cast<std::uint32_t>(entries.size()));
  Put16(zip, static_cast<std::uint32_t>(entries.size()));
  Put32(zip, static_cast<std::uint32_t>(central.size()));
  Put32(zip, cdOffset);
  Put16(zip, static_cast<std::uint32_t>(comment.size()));
  zip += comment;
  return zip;
}

inline void WriteFile(const fs::path& path, const std::string& data) {
  fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary);
  out << data;
}

inline std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// A fresh folder under the system's temporary folder, removed afterwards.
class Scratch {
 public:
  Scratch() {
    std::string pattern = (fs::temp_directory_path() / "unztest-XXXXXX").string();
    const char* made = mkdtemp(pattern.data());
    EXPECT_NE(made, nullptr);
    root_ = pattern;
  }
  ~Scratch() {
    std::error_code ignored;
    fs::permissions(root_, fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(root_, ignored);
  }
  const fs::path& root() const { return root_; }

 private:
  fs::path root_;
};

// Every file below `folder`, as relative path -> content.
inline std::vector<std::pair<std::string, std::string>> Tree(const fs::path& folder) {
  std::vector<std::pair<std::string, std::string>> files;
  if (!fs::exists(folder)) return files;
  for (const auto& item : fs::recursive_directory_iterator(folder)) {
    if (item.is_regular_file()) files.emplace_back(fs::relative(item.path(), folder).string(), ReadFile(item.path()));
  }
  std::sort(files.begin(), files.end());
  return files;
}

struct Call {
  std::int32_t code;
  std::string text;
  std::int32_t value;
  std::uint32_t size;
};

// Runs one extraction request and records the callbacks; `answer` may change a record before the
// engine sees it again and returns the callback's result.
class Runner {
 public:
  Runner() {
    request_.Version = kUnzInterfaceVersion;
    request_.Reserved40 = -1;
    request_.Seven = 7;
    request_.ZCallbackFunc = &Runner::Callback;
    request_.Caller = this;
  }

  ExtractRequest& request() { return request_; }
  std::function<std::int32_t(CallbackRecord&)> answer;
  std::vector<Call> calls;
  bool wrongCaller = false;

  std::int32_t Run(const fs::path& archive, const fs::path& folder, const std::vector<std::string>& specs = {},
                   bool useWorker = true) {
    archivePath_ = archive.string();
    folder_.assign(kUnzExtractDirSize, '\0');
    folder.string().copy(folder_.data(), kUnzExtractDirSize - 1);
    specs_ = specs;
    specRecords_.clear();
    for (const std::string& s : specs_) specRecords_.push_back(UnzFileSpec{s.c_str(), {}});
    request_.ZipFileName = archivePath_.c_str();
    request_.ExtractDir = folder_.data();
    request_.ArgCount = static_cast<std::int32_t>(specRecords_.size());
    request_.FileSpecs = specRecords_.empty() ? nullptr : specRecords_.data();
    calls.clear();
    std::unique_ptr<unz::FileLayer> files = unz::MakePlatformFileLayer();
    // Without the worker the run has the small machine's buffers, so both sizes are tried.
    unz::RunOptions options;
    options.useWorker = useWorker;
    if (!useWorker) options.chunkSize = unz::BudgetFor({1, 8u << 20}).chunkSize;
    return unz::RunExtraction(request_, *files, options);
  }

  std::vector<Call> Of(std::int32_t code) const {
    std::vector<Call> out;
    for (const Call& c : calls)
      if (c.code == code) out.push_back(c);
    return out;
  }
  std::vector<std::int32_t> Codes() const {
    std::vector<std::int32_t> out;
    for (const Call& c : calls) out.push_back(c.code);
    return out;
  }

 private:
  static std::int32_t Callback(CallbackRecord* record) {
    Runner* self = static_cast<Runner*>(record->Caller);
    self->calls.push_back({record->ActionCode, record->Text, record->ErrorCode, record->Size});
    if (self->answer) return self->answer(*record);
    return 0;
  }

  ExtractRequest request_{};
  std::string archivePath_;
  std::string folder_;
  std::vector<std::string> specs_;
  std::vector<UnzFileSpec> specRecords_;
};

}  // namespace unztest
