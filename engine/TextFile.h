// Whole files: the one reader of a file's bytes (lists, data files, the
// checker's images), and text files as lines: read through the line rules of
// the lists, written with CR LF after every line.
#pragma once
#include <string>
#include <vector>

// The file's bytes as they are, in place of what bytes held; false when it
// cannot be opened or read.
bool ReadWholeFile(const std::string& path, std::string& text);
// The file's lines; false when it cannot be opened or read.
bool ReadTextLines(const std::string& path, std::vector<std::string>& lines);
// Creates or overwrites the file; false when it cannot be written whole.
bool WriteTextLines(const std::string& path, const std::vector<std::string>& lines);
