// setupcheck --pack: makes the disks of a setup folder (and, on request, a
// single file for a download) and proves them by installing's own join and
// our unzip engine before it says they are good.
#pragma once
#include <string>
#include <vector>

struct PackRequest {
  std::string folder;  // the loose setup folder
  std::string outDir;  // gets DISK1, DISK2, ...; new or empty
  std::string diskSize = "1.44M";
  std::string singleFile;  // OUT.exe, or empty
  std::string stub;        // setupsfx.exe; found beside the program when empty
};

// True when the arguments ask for packing.
bool IsPackCommand(const std::vector<std::string>& args);

// Runs setupcheck --pack with the program's arguments (after its name); the
// exit code: 0 done, 1 the folder has errors or cannot be packed, 2 usage.
int PackMain(const std::vector<std::string>& args, const std::string& programPath);

// The files that travel beside the package on disk 1 rather than in it.
bool StaysLoose(const std::string& name, const std::vector<std::string>& extras);
