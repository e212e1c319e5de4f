// The package stage's rules for the parts of an install package: which list
// entries are taken, what the joined package is called, and the join itself.
#pragma once
#include <string>
#include <vector>

// A list entry that stays inside the folder it is joined to: not absolute,
// no drive, no ".." part, and not the folder itself ("." or "..."). Other
// entries are passed over.
bool StaysInside(const std::string& name);

// The joined package in folder: named after the first part with the
// extension ".zip", or "<first part>-package.zip" when a part has that name
// (-package2.zip, -package3.zip... when a part has that one too).
// parts must not be empty.
std::string PackagePath(const std::string& folder, const std::vector<std::string>& parts);

// Joins folder\part for every part into package, the last-listed part first
// and the first-listed last. False when a part cannot be read or the package
// written whole; no package is left then.
bool JoinPackage(const std::string& folder, const std::vector<std::string>& parts,
                 const std::string& package);
