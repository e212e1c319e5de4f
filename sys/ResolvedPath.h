// A path as Windows reads it, so that rules over paths see what a file
// operation would reach: C:\PROGRA~1 is C:\Program Files, and so is
// C:\Program Files. and C:\Program Files\..\Program Files\.
#pragma once
#include <string>

// The full path "X:\name\name..." that the path names: "/" read as "\",
// empty and "." parts dropped, the periods and blanks that end a part
// dropped, ".." taking back a part (never the drive), and every existing
// part written with its long name as the folder lists it. The drive alone
// is "X:\". Empty for anything that is not a full path on a drive, or that
// holds wildcards or characters no name may hold.
std::string ResolvePath(const std::string& path);

// True when both paths name the same place (letter case aside); both are
// resolved first.
bool SamePlace(const std::string& a, const std::string& b);
