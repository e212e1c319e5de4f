// The checks for the oldest Windows a list admits: the logo's bitmap header,
// and the LZMA dictionary the packer may ask of the oldest machine.
#include "tools/setupcheck/OldWindowsCheck.h"

#include <cstdint>
#include <optional>

#include "os/OsFiles.h"
#include "sys/Folders.h"
#include "sys/SetupError.h"
#include "sys/WindowsVersion.h"

namespace {

// The :OS range, or every Windows when the list has none; nullopt when the
// section is too short (reported with the list's structure).
std::optional<TOsRange> Admitted(const TSetupList& list) {
  try {
    if (auto range = ReadOsRange(list)) return range;
    return TOsRange{kWin95A, kWinNT52, ""};
  } catch (const ListError&) {
    return std::nullopt;
  }
}

std::string ReadStart(const std::string& path, std::uint32_t length) {
  os::UniqueFile file(os::CreateFileA(path, os::Access::Read, os::Disposition::OpenExisting));
  if (!file) return "";
  std::string bytes(length, '\0');
  std::uint32_t read = 0;
  if (!os::ReadFile(file.get(), bytes.data(), length, read)) return "";
  bytes.resize(read);
  return bytes;
}

std::uint32_t Dword(const std::string& bytes, std::size_t at) {
  std::uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
  return value;
}

// What in the picture Windows 95 and NT 4.0 cannot show, and how to save
// it so that they can; empty when they show it. Their bitmap loader reads
// the 12-byte (OS/2) and 40-byte headers only, and no picture compressed in
// the later JPEG and PNG kinds.
struct LogoProblem {
  std::string what, remedy;
};
std::optional<LogoProblem> ProblemOf(const std::string& bytes) {
  if (bytes.size() < 18 || bytes.compare(0, 2, "BM") != 0)
    return LogoProblem{"is not a Windows bitmap", "save it as a BMP file"};
  const std::uint32_t header = Dword(bytes, 14);
  if (header > 40) {
    const char* kind = header == 108 ? " (version 4)" : header == 124 ? " (version 5)" : "";
    return LogoProblem{"has a " + std::to_string(header) + "-byte bitmap header" + kind,
                       "save it with the 40-byte header"};
  }
  if (header == 40 && bytes.size() >= 34 && (Dword(bytes, 30) == 4 || Dword(bytes, 30) == 5))
    return LogoProblem{std::string("holds a ") + (Dword(bytes, 30) == 4 ? "JPEG" : "PNG") + " picture",
                       "save it uncompressed"};
  return std::nullopt;
}

}  // namespace

void CheckOldWindows(const TSetupList& list, const std::string& sourceFolder, std::vector<Finding>& findings) {
  const std::optional<TOsRange> range = Admitted(list);
  if (!range) return;

  const bool oldest = range->Allows(kWin95A) || range->Allows(kWin95B) || range->Allows(kWin95C) ||
                      range->Allows(kWinNT4);
  // The wizard loads the logo from its setup folder, which after the package
  // stage is the folder the package was extracted into: a packed setup shows
  // the package's logo.bmp, and one left loose on disk 1 is never shown.
  const std::string logo = sourceFolder + "\\logo.bmp";
  if (oldest && FileFound(logo))
    if (auto problem = ProblemOf(ReadStart(logo, 54)))
      findings.push_back(Finding{"logo.bmp", 1, Severity::Warning,
                                 "the picture " + problem->what +
                                     ", which Windows 95 and NT 4.0 cannot show: the wizard's picture stays "
                                     "blank there; " + problem->remedy});
}

std::uint32_t LzmaDictionaryFor(const TSetupList& list) {
  const std::optional<TOsRange> range = Admitted(list);
  const bool family95 = !range || range->Allows(kWin95A) || range->Allows(kWin95B) || range->Allows(kWin95C);
  return family95 ? 1u << 20 : 4u << 20;
}
