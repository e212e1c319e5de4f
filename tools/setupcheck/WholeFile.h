// Reading a file of the Windows the checker works on, whole.
#pragma once
#include <string>

// Appends the whole content of path to bytes; false when it cannot be opened or read.
bool ReadWholeFile(const std::string& path, std::string& bytes);
