// Downloads for the single-file stub's tests: a stub that is a program as far
// as its headers go, the parts appended as the packer appends them, and the
// certificate table that signing appends.
#pragma once
#include <cstdint>
#include <string>

#include "sfx/SfxTrailer.h"
#include "zip/ZipRecords.h"

namespace sfxtest {

constexpr std::uint32_t kPeHeader = 0x80;
constexpr std::uint32_t kSecurityDirectory = kPeHeader + 4 + 20 + 128;

// The headers of a 32-bit program with an empty security directory, padded to size bytes.
inline std::string StubProgram(std::size_t size = 4096) {
  std::string s(size, '\0');
  auto* p = reinterpret_cast<std::uint8_t*>(s.data());
  p[0] = 'M';
  p[1] = 'Z';
  zip::rec::Put32(p + 0x3C, kPeHeader);
  std::copy_n("PE\0\0", 4, s.data() + kPeHeader);
  zip::rec::Put16(p + kPeHeader + 4 + 16, 224);  // size of the optional header
  zip::rec::Put16(p + kPeHeader + 24, 0x10B);    // PE32
  zip::rec::Put32(p + kPeHeader + 24 + 92, 16);  // data directories
  return s;
}

inline std::string Download(const std::string& stub, const std::string& engine, const std::string& archive) {
  const std::string payload = engine + archive;
  return stub + payload +
         sfx::MakeTrailer(static_cast<std::uint32_t>(stub.size()), static_cast<std::uint32_t>(engine.size()),
                          static_cast<std::uint32_t>(archive.size()),
                          sfx::Crc32(0, payload.data(), payload.size()));
}

// The file as signing leaves it: zeros to an 8-byte boundary, the table, and
// the security directory naming it (or naming what tableAt and tableSize say).
inline std::string Signed(std::string file, std::size_t certificateSize = 1500) {
  file.append((8 - file.size() % 8) % 8, '\0');
  const auto at = static_cast<std::uint32_t>(file.size());
  file.append(certificateSize, '\x30');
  auto* p = reinterpret_cast<std::uint8_t*>(file.data());
  zip::rec::Put32(p + kSecurityDirectory, at);
  zip::rec::Put32(p + kSecurityDirectory + 4, static_cast<std::uint32_t>(certificateSize));
  return file;
}

}  // namespace sfxtest
