// Whole text files as lines: read through the line rules of the lists,
// written with CR LF after every line.
#pragma once
#include <string>
#include <vector>

// The file's bytes as they are; false when it cannot be opened or read.
bool ReadTextFile(const std::string& path, std::string& text);
// The file's lines; false when it cannot be opened or read.
bool ReadTextLines(const std::string& path, std::vector<std::string>& lines);
// Creates or overwrites the file; false when it cannot be written whole.
bool WriteTextLines(const std::string& path, const std::vector<std::string>& lines);
