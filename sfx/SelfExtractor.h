// The single-file download's stub: it checks the setup folder appended to
// its own file, extracts it with our unzip engine into a folder it creates
// for itself under the user's temporary folder, runs setup.exe there, waits
// for it, removes the folder and ends with setup's exit code.
#pragma once
#include <cstdint>
#include <string>

#include "sfx/SfxTrailer.h"

namespace sfx {

// Above this many bytes of archive the extraction shows its progress.
constexpr std::uint64_t kProgressThreshold = 4u << 20;
// The stub's folder under the temporary folder: the first QVSFX<n> it creates
// itself, private to Administrators, SYSTEM and the user on the NT family.
constexpr char kFolderPrefix[] = "QVSFX";

// Why the stub's own file cannot be used: the trailer's verdict, or
// TrailerStatus::Ok with crcMatches false for bytes that changed.
struct SelfCheck {
  TrailerStatus status = TrailerStatus::NoTrailer;
  bool crcMatches = false;
  Payload payload;
  bool Sound() const { return status == TrailerStatus::Ok && crcMatches; }
};
// Reads the trailer at the end of the file and the CRC of what it names.
SelfCheck CheckOwnFile(const std::string& path);

// The whole run for the program at selfPath; the exit code to end with.
int RunSelfExtractor(const std::string& selfPath);

}  // namespace sfx
