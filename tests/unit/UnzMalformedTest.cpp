// Damaged, truncated and lying archives end in a message or a skipped file, never in a crash, a
// hang, a huge allocation or a bad file; every input the fuzzer ever kept is replayed.
#include <gtest/gtest.h>

#include "tests/unit/UnzTestZip.h"
#include "unzdll/UnzErrors.h"
#include "zip/ZipCallbacks.h"

namespace {

using namespace unztest;
using unz::UnzError;

std::int32_t Code(UnzError e) { return static_cast<std::int32_t>(e); }

// Overwrites four bytes of the end record (found from the end, no comment).
std::string PatchEnd32(std::string zip, std::size_t fieldOffset, std::uint32_t value) {
  std::string v;
  Put32(v, value);
  zip.replace(zip.size() - 22 + fieldOffset, 4, v);
  return zip;
}
std::string PatchEnd16(std::string zip, std::size_t fieldOffset, std::uint16_t value) {
  std::string v;
  Put16(v, value);
  zip.replace(zip.size() - 22 + fieldOffset, 2, v);
  return zip;
}

class UnzMalformed : public ::testing::Test {
 protected:
  std::int32_t RunBytes(const std::string& bytes, bool folders = true) {
    const fs::path archive = scratch_.root() / "bad.zip";
    WriteFile(archive, bytes);
    fs::remove_all(Out());
    fs::create_directories(Out());
    runner_.request().Directories = folders ? kUnzTrue : 0;
    return runner_.Run(archive, Out());
  }
  fs::path Out() const { return scratch_.root() / "out"; }
  // Every value the run reported in messages and skips.
  std::vector<std::int32_t> Errors() const {
    std::vector<std::int32_t> out;
    for (const Call& c : runner_.calls)
      if ((c.code == kCbMessage || c.code == kCbSkipped) && c.value != 0) out.push_back(c.value);
    return out;
  }
  bool Reported(UnzError e) const {
    const auto errors = Errors();
    return std::find(errors.begin(), errors.end(), Code(e)) != errors.end();
  }
  Scratch scratch_;
  Runner runner_;
};

TEST_F(UnzMalformed, EachDamageGivesItsErrorAndNoFile) {
  const std::string text(5000, 'q');
  const TestEntry good{.name = "good.txt", .data = "fine"};
  struct Row {
    const char* what;
    std::string bytes;
    std::int32_t extracted;
    UnzError error;
  };
  const std::string valid = BuildZip({good, {.name = "b.txt", .data = text}});
  const Row rows[] = {
      {"empty file", "", 0, UnzError::kNoEndRecord},
      {"not a zip", std::string(3000, '\x55'), 0, UnzError::kNoEndRecord},
      {"directory larger than the file", PatchEnd32(valid, 12, 0x7FFFFFFF), 0, UnzError::kBadDirectory},
      {"directory offset past its start", PatchEnd32(valid, 16, 0x7FFFFFF0), 0, UnzError::kBadDirectory},
      {"directory size cuts a header", PatchEnd32(valid, 12, 50), 0, UnzError::kBadDirectory},
      {"part of a multi-part set", PatchEnd16(valid, 4, 1), 0, UnzError::kMultiPart},
      {"deflated data longer than stated",
       BuildZip({good, {.name = "b.txt", .data = text, .setSizes = true, .compressedSize = 0, .size = 100}}), 1,
       UnzError::kBadData},
      {"size larger than the data gives",
       BuildZip({good, {.name = "b.txt", .data = text, .setCrc = true, .crc = Crc(text + "x"), .setSizes = true,
                        .compressedSize = static_cast<std::uint32_t>(RawDeflate(text).size()), .size = 5001}}),
       1, UnzError::kBadData},
      {"compressed size reaching past the entries",
       BuildZip({good, {.name = "b.txt", .data = text, .setSizes = true, .compressedSize = 0x10000000,
                        .size = 5000}}),
       1, UnzError::kBadEntry},
      {"stored sizes that differ",
       BuildZip({good, {.name = "b.txt", .data = text, .deflate = false, .setSizes = true,
                        .compressedSize = 5000, .size = 4000}}),
       1, UnzError::kBadEntry},
      {"local header offset past the entries",
       BuildZip({good, {.name = "b.txt", .data = text, .setOffset = true, .localOffset = 0x00FFFFFF}}), 1,
       UnzError::kBadEntry},
      {"local header offset on no header",
       BuildZip({good, {.name = "b.txt", .data = text, .setOffset = true, .localOffset = 40}}), 1,
       UnzError::kBadLocalHeader},
      {"two entries sharing their data",
       BuildZip({good, {.name = "copy.txt", .data = "fine", .setOffset = true, .localOffset = 0}}), 1,
       UnzError::kOverlap},
      {"deflated data that is not deflate",
       BuildZip({good, {.name = "b.txt", .data = std::string(64, '\xFF'), .deflate = false, .method = 8}}), 1,
       UnzError::kBadData},
      {"LZMA stream cut short",
       BuildZip({good, {.name = "b.txt", .data = text, .lzma = true, .setSizes = true, .compressedSize = 20,
                        .size = 5000}}),
       1, UnzError::kBadData},
      {"LZMA size larger than the stream gives",
       BuildZip({good, {.name = "b.txt", .data = text, .lzma = true, .setCrc = true, .crc = Crc(text + "x"),
                        .setSizes = true,
                        .compressedSize = static_cast<std::uint32_t>(LzmaEntryData(text, 1 << 16, true).size()),
                        .size = 5001}}),
       1, UnzError::kBadData},
      {"LZMA stream longer than the size",
       BuildZip({good, {.name = "b.txt", .data = text, .lzma = true, .lzmaEndMarker = false, .setSizes = true,
                        .compressedSize = static_cast<std::uint32_t>(LzmaEntryData(text, 1 << 16, false).size()),
                        .size = 4000}}),
       1, UnzError::kBadData},
      {"LZMA properties of another size",
       BuildZip({good, {.name = "b.txt", .data = std::string("\x09\x16\x04\x00\x5D\x00\x00\x01\x00", 9) +
                                                 std::string(40, '\0'),
                        .deflate = false, .method = 14}}),
       1, UnzError::kBadData},
      {"LZMA data that is not LZMA",
       BuildZip({good, {.name = "b.txt", .data = std::string("\x09\x16\x05\x00\x5D\x00\x00\x01\x00", 9) +
                                                 std::string(40, '\xFF'),
                        .deflate = false, .method = 14}}),
       1, UnzError::kBadData},
      {"LZMA shorter than its header", BuildZip({good, {.name = "b.txt", .data = "\x09\x16\x05", .deflate = false,
                                                        .method = 14}}),
       1, UnzError::kBadData},
      {"unknown compression method", BuildZip({good, {.name = "b.txt", .data = text, .method = 12}}), 1,
       UnzError::kUnknownMethod},
      {"encrypted entry", BuildZip({good, {.name = "b.txt", .data = text, .flags = 1}}), 1,
       UnzError::kEncrypted},
      {"64-bit sizes without their extra field",
       BuildZip({good, {.name = "b.txt", .data = text, .setSizes = true, .compressedSize = 0xFFFFFFFF,
                        .size = 0xFFFFFFFF}}),
       1, UnzError::kZip64},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    EXPECT_EQ(RunBytes(row.bytes), row.extracted);
    EXPECT_TRUE(Reported(row.error)) << "expected error " << Code(row.error);
    const auto tree = Tree(Out());
    EXPECT_EQ(tree.size(), static_cast<std::size_t>(row.extracted)) << "only the sound entry is written";
    if (row.extracted == 1) {
      EXPECT_EQ(ReadFile(Out() / "good.txt"), "fine");
      EXPECT_EQ(runner_.Of(kCbSkipped).size(), 1u);
      EXPECT_EQ(runner_.Of(kCbNewFile).size(), 2u);
    }
  }
}

TEST_F(UnzMalformed, EveryTruncationEndsCleanly) {
  const std::string zip = BuildZip({{.name = "a/one.txt", .data = std::string(3000, 'a')},
                                    {.name = "two.bin", .data = "0123456789", .deflate = false}},
                                   "comment");
  for (std::size_t cut = 0; cut < zip.size(); ++cut) {
    SCOPED_TRACE(cut);
    const std::int32_t done = RunBytes(zip.substr(0, cut));
    EXPECT_EQ(done, 0);
    EXPECT_FALSE(Errors().empty()) << "a cut archive is always reported";
    EXPECT_TRUE(Tree(Out()).empty());
  }
  EXPECT_EQ(RunBytes(zip), 2);
}

TEST_F(UnzMalformed, DirectoryCutShortStillGivesTheEntriesBeforeTheDamage) {
  std::string zip = BuildZip({{.name = "a.txt", .data = "first"}, {.name = "b.txt", .data = "second"}});
  // Spoil the second central header's signature.
  const std::size_t second = zip.rfind("PK\x01\x02");
  zip[second + 3] = 'X';
  EXPECT_EQ(RunBytes(zip), 1);
  EXPECT_TRUE(Reported(UnzError::kBadDirectory));
  EXPECT_EQ(ReadFile(Out() / "a.txt"), "first");
}

TEST_F(UnzMalformed, KeptFuzzInputsRunCleanly) {
  const fs::path dir = fs::path(QV_SOURCE_DIR) / "tests" / "fuzz" / "unzdll";
  std::size_t replayed = 0;
  for (const std::string sub : {"corpus", "crashers", "corpus-lzma", "crashers-lzma"}) {
    if (!fs::exists(dir / sub)) continue;
    for (const auto& item : fs::directory_iterator(dir / sub)) {
      if (!item.is_regular_file() || item.path().filename().string()[0] == '.') continue;
      SCOPED_TRACE(item.path().string());
      std::string bytes = ReadFile(item.path());
      // The LZMA target's inputs are one entry's data after its claimed size (four bytes).
      if (sub.ends_with("-lzma") && bytes.size() >= 4) {
        const auto size = static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[0]) |
                                                     static_cast<unsigned char>(bytes[1]) << 8 |
                                                     static_cast<unsigned char>(bytes[2]) << 16) & 0x3FFFFF;
        bytes = BuildZip({{.name = "l.bin", .data = bytes.substr(4), .deflate = false, .setSizes = true,
                           .compressedSize = static_cast<std::uint32_t>(bytes.size() - 4), .size = size,
                           .method = 14}});
      }
      for (bool folders : {false, true}) {
        EXPECT_GE(RunBytes(bytes, folders), 0);
        for (const auto& file : fs::recursive_directory_iterator(scratch_.root()))
          EXPECT_TRUE(file.path() == scratch_.root() / "bad.zip" ||
                      file.path().string().rfind(Out().string(), 0) == 0)
              << file.path();
      }
      ++replayed;
    }
  }
  EXPECT_GT(replayed, 5u);
}

}  // namespace
