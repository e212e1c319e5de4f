// Turns a stored entry name into a safe relative path under the extraction folder.
#pragma once

#include <string>

#include "sys/TextBytes.h"

namespace unz {

struct MendedName {
  std::string path;      // relative path with "\" between parts; empty when nothing is left to write
  bool changed = false;  // something unsafe or unwritable was removed or replaced
};

// Drops drives, roots, "." and ".." parts, replaces characters no file name may hold, and
// renames reserved device names; without folder names only the last part is kept. The second byte of
// a double-byte character (a lead byte in `lead` and the byte after it) is part of the name even
// where it reads as "\\" or "|".
MendedName MendEntryName(const std::string& stored, bool keepFolders, const LeadBytes& lead = {});

}  // namespace unz
