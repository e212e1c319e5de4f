// setupcheck --pack: makes the disks of a setup folder (and, on request, a
// single file for a download) and proves them by installing's own join and
// our unzip engine before it says they are good.
#pragma once
#include <string>
#include <vector>

#include "tools/setupcheck/ZipWriter.h"

struct PackRequest {
  std::string folder;  // the loose setup folder
  std::string outDir;  // gets DISK1, DISK2, ...; new or empty
  std::string diskSize = "1.44M";
  std::string singleFile;  // OUT.exe, or empty
  std::string stub;        // setupsfx.exe; found beside the program when empty
  int codePage = 1252;     // the ANSI code page the lists are written in
  ZipOptions zip;          // the method; the LZMA dictionary is set from the list's :OS range
};

// A file of the folder: its name on the machine the tool runs on and in the
// code page, as the lists, the archive and the installer name it.
struct PackedName {
  std::string host;
  std::string ansi;
};

// Every file of the folder against what came out of the disks: extracted (the
// in-memory Windows' folder the package was extracted into) or, for the loose
// files when loose is not empty, loose. Compared with the bytes of the host
// file itself, so that a file lost on the way in cannot compare equal. One
// line for each difference.
std::vector<std::string> CompareWithFolder(const std::vector<PackedName>& names, const std::string& hostFolder,
                                           const std::string& extracted, const std::string& loose);

// True when the arguments ask for packing.
bool IsPackCommand(const std::vector<std::string>& args);

// Runs setupcheck --pack with the program's arguments (after its name); the
// exit code: 0 done, 1 the folder has errors or cannot be packed, 2 usage.
int PackMain(const std::vector<std::string>& args, const std::string& programPath);

// The files that travel beside the package on disk 1 rather than in it: the
// ones setup.exe reads from its own folder, its unzip engine and the extra files.
bool StaysLoose(const std::string& name, const std::vector<std::string>& extras);
