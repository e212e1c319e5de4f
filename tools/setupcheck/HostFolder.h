// The publisher's setup folder on the machine the tool runs on, copied into
// the in-memory Windows, where the installer's own code reads it.
#pragma once
#include <sys/stat.h>

#include <string>
#include <vector>

// How the host's file names become names of the in-memory Windows. On Linux
// a name is UTF-8 and is converted to the ANSI code page the lists are
// written in; a name with no form in that code page cannot be named by a
// list and is left out. The Windows build's names are ANSI already.
struct HostNames {
  int codePage = 1252;
  std::vector<std::string> unnamed;  // host paths below the folder that have no form in the code page
  // Host paths below the folder that are symbolic links (or anything else
  // that is neither a file nor a folder): never followed, so nothing outside
  // the folder is read and no loop can be entered; left out.
  std::vector<std::string> links;
};

// The finding's text for a path of HostNames::links.
constexpr char kLinkMessage[] =
    "is a symbolic link or not a plain file; setupcheck follows no link out of the folder: put the file "
    "itself there";

// Whether names can be converted to the ANSI code page codePage (1250-1258, 874, 932, 936, 949, 950...).
bool IsUsableCodePage(int codePage);

// The value of --codepage: a number naming a usable code page; false for anything else.
bool ParseCodePage(const std::string& text, int& codePage);

// A host file name in the code page; false when it has no form there.
bool AnsiName(const std::string& hostName, int codePage, std::string& ansi);

// Copies every file below hostFolder (sub-folders too) into the folder
// target of the in-memory Windows, each with its last-write time. False when
// hostFolder cannot be read.
bool MirrorHostFolder(const std::string& hostFolder, const std::string& target, HostNames& names);
// The same with code page 1252.
bool MirrorHostFolder(const std::string& hostFolder, const std::string& target);

// Text of the in-memory Windows (ANSI bytes of the code page) as the host
// shows text: UTF-8 on Linux, unchanged on Windows; unchanged too where a
// byte has no character in the code page.
std::string HostText(const std::string& ansi, int codePage);

// stat of the path itself: a symbolic link is not followed (on Linux; the
// Windows console build has no links of this kind to see).
int HostLstat(const std::string& path, struct stat& info);

// The whole content of a file on the machine the tool runs on; false when it cannot be read.
bool ReadHostFile(const std::string& path, std::string& content);
