// Path helpers of the archive component: drive roots, file tests, part names.
#pragma once
#include <string>

namespace zip {

// The drive part of the fully expanded path, with a backslash: "C:\" or "\\server\share\".
std::string DriveRootOf(const std::string& path);
// An existing file (a folder does not count).
bool FileExists(const std::string& path);
bool FolderExists(const std::string& path);
// The program's title: its file name without the extension (caption of the component's boxes).
std::string ApplicationTitle();
// The path of part n (from 0) of a set stored as numbered files: the last
// three characters of the name before its extension become n + 1 in three digits.
std::string NumberedPartPath(const std::string& path, int part);
// The number in the three characters before the extension, or -1 when they are not digits.
int PartNumberOfPath(const std::string& path);

}  // namespace zip
