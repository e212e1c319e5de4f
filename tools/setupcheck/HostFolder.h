// The publisher's setup folder on the machine the tool runs on, copied into
// the in-memory Windows, where the installer's own code reads it.
#pragma once
#include <string>

// Copies every file below hostFolder (sub-folders too) into the folder
// target of the in-memory Windows. False when hostFolder cannot be read.
bool MirrorHostFolder(const std::string& hostFolder, const std::string& target);

// The whole content of a file on the machine the tool runs on; false when it cannot be read.
bool ReadHostFile(const std::string& path, std::string& content);
