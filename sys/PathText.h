// Text helpers for paths and case-insensitive tests: trailing backslashes and ASCII case, on whole
// characters of the system code page (sys/TextBytes.h).
#pragma once
#include <string>

// Appends "\" unless the text is empty or already ends with one.
std::string AddBackslash(const std::string& text);
// Removes one trailing "\" (only one), if there is one.
std::string StripBackslash(const std::string& text);
// A copy with the single-byte letters a-z made upper case; every other byte unchanged.
std::string UpperText(const std::string& text);
// The last part of a path: the text after its last backslash or colon.
std::string ExtractFileName(const std::string& path);
// The folder part of a path: the text up to and including its last backslash
// or colon; empty when it has neither.
std::string ExtractFilePath(const std::string& path);
// The extension of the last part, with its dot; empty when it has none.
std::string ExtractFileExt(const std::string& path);
// The path with the extension of its last part replaced (or appended when
// it has none); an empty extension removes it.
std::string ChangeFileExt(const std::string& path, const std::string& extension);
// A copy with the single-byte letters A-Z made lower case; every other byte unchanged.
std::string LowerText(const std::string& text);

// A command line that names its program in double quotes, as Windows writes
// its own commands: unquoted, a path with blanks would start whatever program
// its first word names. The arguments follow after one blank, when there are any.
std::string QuotedCommand(const std::string& program, const std::string& arguments);
