// The archive component's fuzz targets, shared by the libFuzzer programs and
// the unit test that replays their corpora: untrusted bytes as an archive,
// and as the three parts of a spanned set.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "os/fake/FakeControl.h"
#include "os/fake/FakeDiskControl.h"
#include "zip/ZipMaster.h"

namespace zipfuzz {

// The first byte picks the options, the rest is the archive.
inline void ReadDirectoryOf(const std::uint8_t* data, std::size_t size) {
  os::fake::Reset();
  os::fake::ResetDisk();
  std::uint8_t options = size ? data[0] : 0;
  std::string archive(reinterpret_cast<const char*>(data) + (size ? 1 : 0), size ? size - 1 : 0);
  os::fake::AddFile("C:\\F\\archive.zip", archive);
  zip::TZipMaster z;
  z.Unattended = true;
  z.UseDirOnlyEntries = options & 1;
  z.CodePage = static_cast<zip::CodePageOpts>((options >> 1) % 3);
  z.SetZipFileName("C:\\F\\archive.zip");
  // Whatever was read must be consistent with what the archive can hold.
  if (z.EntryCount() > 65535) __builtin_trap();
  for (const auto& e : z.Contents())
    if (e.FileName.size() != e.NameLength || (e.ExtraLength && e.ExtraData.size() != e.ExtraLength + 1u))
      __builtin_trap();
}

// Two little-endian 32-bit lengths, then the first part, the second, and
// the rest as the third part, which is joined.
inline void JoinPartsOf(const std::uint8_t* data, std::size_t size) {
  os::fake::Reset();
  os::fake::ResetDisk();
  os::fake::AddFolder("C:\\T");
  if (size < 8) return;
  auto len = [&](std::size_t at) {
    return std::size_t{data[at]} | (std::size_t{data[at + 1]} << 8) | (std::size_t{data[at + 2]} << 16) |
           (std::size_t{data[at + 3]} << 24);
  };
  std::size_t rest = size - 8;
  std::size_t a = len(0) % (rest + 1);
  std::size_t b = len(4) % (rest - a + 1);
  const char* p = reinterpret_cast<const char*>(data) + 8;
  os::fake::AddFile("C:\\F\\set001.zip", std::string(p, a));
  os::fake::AddFile("C:\\F\\set002.zip", std::string(p + a, b));
  os::fake::AddFile("C:\\F\\set003.zip", std::string(p + a + b, rest - a - b));
  zip::TZipMaster z;
  z.Unattended = true;
  z.SetZipFileName("C:\\F\\set003.zip");
  std::string target = "C:\\T\\";
  int result = z.JoinSpannedArchive("C:\\F\\set003.zip", target);
  if (result != 0 && result != -7 && result != -8 && result != -9) __builtin_trap();
  if (result == 0) {
    // The joined archive is read again. (Its end record may still be taken
    // for one hidden in its comment, which the format cannot tell apart.)
    zip::TZipMaster again;
    again.Unattended = true;
    again.SetZipFileName(target);
  } else if (!target.empty()) {
    __builtin_trap();
  }
}

}  // namespace zipfuzz
