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
// The lines as the file holds them: CR LF after every line.
std::string TextOfLines(const std::vector<std::string>& lines);
// Writes the text as a new file: whatever lies at the name goes first (a link
// itself, never what it points to), and the file is created only as a new
// one, so nothing planted at the name is written through. False when it
// cannot be written whole.
bool WriteNewTextFile(const std::string& path, const std::string& text);
