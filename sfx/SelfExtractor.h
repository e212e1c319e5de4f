// The single-file download's stub: it checks the setup folder appended to
// its own file, has our unzip engine extract it straight out of that file
// into a folder it creates for itself under the user's temporary folder,
// runs setup.exe there, waits for it, removes the folder and ends with
// setup's exit code. Its own file stays open, so that nobody can write,
// rename or delete it, from the check to the end of the extraction.
#pragma once
#include <cstdint>
#include <string>

#include "os/OsTypes.h"
#include "sfx/SfxTrailer.h"

namespace sfx {

// Above this many bytes of archive the extraction shows its progress.
constexpr std::uint64_t kProgressThreshold = 4u << 20;
// The stub's folder under the temporary folder: the first QVSFX<n> it creates
// itself, private to Administrators, SYSTEM and the user on the NT family.
constexpr char kFolderPrefix[] = "QVSFX";

// Reads the trailer at the end of the download's own bytes (before the
// certificate table of a signed one) and the CRC of what it names, through
// the open file.
SelfCheck CheckOwnFile(os::Handle file);

// The whole run for the program at selfPath; the exit code to end with.
int RunSelfExtractor(const std::string& selfPath);

}  // namespace sfx
