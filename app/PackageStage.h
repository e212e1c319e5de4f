// The package stage's rules for the parts of an install package: which list
// entries are taken, what the joined package is called, and the join itself.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "os/OsTypes.h"

// A list entry that stays inside the folder it is joined to: not absolute,
// no drive, no ".." part, and not the folder itself ("." or "..."). Other
// entries are passed over.
bool StaysInside(const std::string& name);

// The joined package in folder: named after the first part with the
// extension ".zip", or "<first part>-package.zip" when a part has that name
// (-package2.zip, -package3.zip... when a part has that one too).
// parts must not be empty.
std::string PackagePath(const std::string& folder, const std::vector<std::string>& parts);

// What the end of a package declares, read from its last part (the first listed, which holds the
// end record): the joined package's size and, where the directory lies in that part too, the
// size of everything extracted.
struct PackageSizes {
  std::uint64_t package = 0;
  std::uint64_t extracted = 0;
  bool directoryRead = false;  // extracted is known
};
// nullopt when the part has no end record (a cut download, a lost last part).
std::optional<PackageSizes> SurveyPackage(const std::string& lastPart);

// Writes the part at source into the open package at the place where it ends at `end`: read
// straight from where it lies, never copied first. Moves `end` to where the part begins; false
// when it does not fit before `end` or could not be read or written whole.
bool PlacePart(os::Handle package, const std::string& source, std::uint64_t& end);

// Joins folder\part for every part into package, the last-listed part first
// and the first-listed last. False when a part cannot be read or the package
// written whole; no package is left then.
bool JoinPackage(const std::string& folder, const std::vector<std::string>& parts,
                 const std::string& package);
