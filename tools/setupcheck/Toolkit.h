// The toolkit around the checker: its version, where the Windows products
// lie (installed beside it, or dist/ of a build tree), and setupcheck --new,
// which starts a setup folder from them.
#pragma once
#include <string>
#include <vector>

// "setupcheck VERSION", as --version prints it.
std::string VersionText();

// The folders searched for a Windows product, in order: beside the program
// (the Windows build), share/qvsetup/win32 of the prefix the program is
// installed in, and dist/ of the source tree it was built from.
std::vector<std::string> ProductFolders(const std::string& programPath);

// The first of ProductFolders that holds file, with the file's name; empty
// when none does.
std::string FindProduct(const std::string& file, const std::string& programPath);

// The products --new copies into a setup folder.
extern const char* const kStarterProducts[3];

// The setup.ini that --new writes: the guide's example for a program of
// one file, with remarks on every section.
extern const char kStarterList[];
// The readme it installs, which the publisher replaces with theirs.
extern const char kStarterReadme[];

// Runs setupcheck --new FOLDER: FOLDER must not exist yet or be empty. The
// exit code: 0 done, 1 a product is missing or a file cannot be written.
int NewFolderMain(const std::string& folder, const std::string& programPath);
