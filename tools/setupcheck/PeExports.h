// The names a Windows library exports, read from its file: the dry run
// cannot run a publisher's library, but it can tell whether Windows would
// load it and find the function the installer calls.
#pragma once
#include <optional>
#include <string>
#include <vector>

// The export names of a 32-bit PE image; nullopt when the bytes are not one
// (Windows would refuse to load it). An image without an export table has none.
std::optional<std::vector<std::string>> PeExportNames(const std::string& image);
