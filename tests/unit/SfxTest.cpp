// The single-file stub's own checks: where its own bytes end (before a
// signature's certificate table), the trailer it finds there and the CRC of
// what the trailer names.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <optional>
#include <random>

#include "os/OsFiles.h"
#include "os/fake/FakeControl.h"
#include "sfx/SelfExtractor.h"
#include "sfx/SfxTrailer.h"
#include "tests/unit/SfxTestUtil.h"
#include "zip/ZipRecords.h"

namespace {

using sfx::TrailerStatus;

std::string Noise(std::size_t size, unsigned seed) {
  std::mt19937 gen(seed);
  std::string s(size, '\0');
  for (char& c : s) c = static_cast<char>(gen() & 0xFF);
  return s;
}

using sfxtest::Download;
using sfxtest::Signed;
using sfxtest::StubProgram;

// Rewrites one trailer field and the trailer's own CRC, so only the field's value is wrong.
std::string WithField(std::string file, unsigned field, std::uint32_t value) {
  auto* t = reinterpret_cast<std::uint8_t*>(file.data() + file.size() - sfx::kTrailerSize);
  zip::rec::Put32(t + field, value);
  zip::rec::Put32(t + sfx::kTrFieldsCrc, sfx::Crc32(0, t, sfx::kTrFieldsCrc));
  return file;
}

TrailerStatus Read(const std::string& file, sfx::Payload& payload) {
  const std::size_t tail = std::min<std::size_t>(file.size(), sfx::kTrailerSize);
  return sfx::ReadTrailer(file.size(), file.substr(file.size() - tail), payload);
}

TEST(SfxCrc, MatchesZlibAtEverySize) {
  for (std::size_t size : {0u, 1u, 3u, 255u, 4096u, 1000003u}) {
    const std::string data = Noise(size, static_cast<unsigned>(size));
    const auto* bytes = reinterpret_cast<const Bytef*>(data.data());
    EXPECT_EQ(sfx::Crc32(0, data.data(), size), crc32(0, bytes, static_cast<uInt>(size))) << size;
    // Continued over two pieces, as the stub reads its file in blocks.
    EXPECT_EQ(sfx::Crc32(sfx::Crc32(0, data.data(), size / 3), data.data() + size / 3, size - size / 3),
              crc32(0, bytes, static_cast<uInt>(size)))
        << size;
  }
}

TEST(SfxTrailer, ReadsWhatWasWritten) {
  const std::string file = Download(Noise(5000, 1), Noise(300, 2), Noise(7000, 3));
  sfx::Payload p;
  ASSERT_EQ(Read(file, p), TrailerStatus::Ok);
  EXPECT_EQ(p.engineOffset, 5000u);
  EXPECT_EQ(p.engineSize, 300u);
  EXPECT_EQ(p.archiveOffset, 5300u);
  EXPECT_EQ(p.archiveSize, 7000u);
  EXPECT_EQ(p.crc, sfx::Crc32(0, file.data() + 5000, 7300));
}

TEST(SfxTrailer, RefusesEveryDamage) {
  const std::string file = Download(Noise(5000, 1), Noise(300, 2), Noise(7000, 3));
  const std::size_t t = file.size() - sfx::kTrailerSize;
  std::string flipped = file;
  flipped[t + sfx::kTrArchiveSize] ^= 1;
  std::string grown = file;
  grown.insert(t, "x");
  struct Row {
    const char* what;
    std::string file;
    TrailerStatus expected;
  } rows[] = {
      {"cut anywhere", file.substr(0, file.size() - 1), TrailerStatus::NoTrailer},
      {"cut to a few bytes", file.substr(0, 10), TrailerStatus::NoTrailer},
      {"the stub alone", Noise(5000, 1), TrailerStatus::NoTrailer},
      {"a field changed", flipped, TrailerStatus::BadFields},
      {"a byte more before the trailer", grown, TrailerStatus::OutOfBounds},
      {"no engine", WithField(file, sfx::kTrEngineSize, 0), TrailerStatus::OutOfBounds},
      {"a gap after the engine", WithField(file, sfx::kTrArchiveOffset, 5301), TrailerStatus::OutOfBounds},
      {"no stub", WithField(file, sfx::kTrEngineOffset, 0), TrailerStatus::OutOfBounds},
      // Offset and size that add up to the archive's offset only in 32 bits.
      {"sizes that wrap around",
       WithField(WithField(file, sfx::kTrEngineOffset, 5000 + 0x80000000u), sfx::kTrEngineSize,
                 300 + 0x80000000u),
       TrailerStatus::OutOfBounds},
  };
  for (const Row& row : rows) {
    sfx::Payload p;
    p.engineOffset = 0xDEADBEEF;
    EXPECT_EQ(Read(row.file, p), row.expected) << row.what;
    EXPECT_EQ(p.engineOffset, 0xDEADBEEFu) << row.what << ": payload filled in for a refused trailer";
  }
}

std::optional<std::uint64_t> DataEnd(const std::string& file) {
  return sfx::OwnDataEnd(
      file.size(), [&file](std::uint64_t at, void* buffer, std::size_t length) -> std::size_t {
        if (at >= file.size()) return 0;
        const std::size_t n = std::min<std::size_t>(length, file.size() - static_cast<std::size_t>(at));
        std::memcpy(buffer, file.data() + at, n);
        return n;
      });
}

TEST(SfxOwnData, EndsBeforeTheCertificateTableOnly) {
  const std::string file = Download(StubProgram(), Noise(300, 2), Noise(7001, 3));
  const std::size_t trailerEnd = file.size();
  const std::string signedFile = Signed(file);
  std::string appended = signedFile + "more";
  std::string tableInside = signedFile;
  zip::rec::Put32(reinterpret_cast<std::uint8_t*>(tableInside.data()) + sfxtest::kSecurityDirectory + 4,
                  1000);
  std::string wrapping = signedFile;  // offset and size that reach the end only in 32 bits
  zip::rec::Put32(reinterpret_cast<std::uint8_t*>(wrapping.data()) + sfxtest::kSecurityDirectory + 4,
                  static_cast<std::uint32_t>(0x100000000ull - 8));
  struct Row {
    const char* what;
    std::string file;
    std::optional<std::uint64_t> end;
  } rows[] = {
      {"not signed", file, trailerEnd},
      {"signed, with zeros to align the table", signedFile, trailerEnd},
      {"signed, the table aligned already", Signed(file + std::string(8 - trailerEnd % 8, 'x')),
       trailerEnd + 8 - trailerEnd % 8},
      {"bytes appended after signing", appended, std::nullopt},
      {"a table that does not reach the end", tableInside, std::nullopt},
      {"a table size that wraps around", wrapping, std::nullopt},
      {"not a program", Noise(5000, 1), std::nullopt},
      {"headers cut short", file.substr(0, sfxtest::kPeHeader + 20), std::nullopt},
  };
  for (const Row& row : rows) EXPECT_EQ(DataEnd(row.file), row.end) << row.what;
}

TEST(SfxOwnFile, CheckedByItsCrc) {
  os::fake::Reset();
  const std::string file = Download(StubProgram(4000), Noise(200, 5), Noise(300000, 6));
  std::string changed = file;
  changed[4000 + 200 + 150000] ^= 0x20;  // inside the archive: the trailer itself is intact
  struct Row {
    const char* what;
    std::string file;
    bool sound;
  } rows[] = {
      {"whole", file, true},
      {"signed", Signed(file), true},
      {"a byte changed", changed, false},
      {"signed, a byte changed", Signed(changed), false},
      {"signed, then something appended", Signed(file) + "x", false},
      {"cut", file.substr(0, file.size() / 2), false},
  };
  for (const Row& row : rows) {
    os::fake::AddFile("C:\\DL\\setup.exe", row.file);
    os::UniqueFile self(
        os::CreateFileA("C:\\DL\\setup.exe", os::Access::Read, os::Disposition::OpenExisting));
    ASSERT_TRUE(self);
    const sfx::SelfCheck c = sfx::CheckOwnFile(self.get());
    EXPECT_EQ(c.Sound(), row.sound) << row.what;
  }
}

}  // namespace
