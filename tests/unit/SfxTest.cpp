// The single-file stub's own checks: the trailer it finds at the end of its
// file and the CRC of what the trailer names.
#include <gtest/gtest.h>
#include <zlib.h>

#include <random>

#include "os/OsFiles.h"
#include "os/fake/FakeControl.h"
#include "sfx/SelfExtractor.h"
#include "sfx/SfxTrailer.h"
#include "zip/ZipRecords.h"

namespace {

using sfx::TrailerStatus;

std::string Noise(std::size_t size, unsigned seed) {
  std::mt19937 gen(seed);
  std::string s(size, '\0');
  for (char& c : s) c = static_cast<char>(gen() & 0xFF);
  return s;
}

// A download: stub, engine and archive as the packer appends them.
std::string Download(const std::string& stub, const std::string& engine, const std::string& archive) {
  const std::string payload = engine + archive;
  return stub + payload +
         sfx::MakeTrailer(static_cast<std::uint32_t>(stub.size()), static_cast<std::uint32_t>(engine.size()),
                          static_cast<std::uint32_t>(archive.size()),
                          sfx::Crc32(0, payload.data(), payload.size()));
}

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

TEST(SfxOwnFile, CheckedByItsCrc) {
  os::fake::Reset();
  const std::string file = Download(Noise(4000, 4), Noise(200, 5), Noise(300000, 6));
  os::fake::AddFile("C:\\DL\\whole.exe", file);
  std::string changed = file;
  changed[4000 + 200 + 150000] ^= 0x20;  // inside the archive: the trailer itself is intact
  os::fake::AddFile("C:\\DL\\changed.exe", changed);
  os::fake::AddFile("C:\\DL\\cut.exe", file.substr(0, file.size() / 2));

  EXPECT_TRUE(sfx::CheckOwnFile("C:\\DL\\whole.exe").Sound());
  const sfx::SelfCheck c = sfx::CheckOwnFile("C:\\DL\\changed.exe");
  EXPECT_EQ(c.status, TrailerStatus::Ok);
  EXPECT_FALSE(c.crcMatches);
  EXPECT_FALSE(sfx::CheckOwnFile("C:\\DL\\cut.exe").Sound());
  EXPECT_FALSE(sfx::CheckOwnFile("C:\\DL\\missing.exe").Sound());
}

}  // namespace
