// Our unzip engine, in-process, as a library of the in-memory Windows.
#pragma once
#include <string>

// Makes the file at path (in the in-memory Windows) a library that exports
// the engine's two entry points, working on the in-memory files.
void InstallSeamEngine(const std::string& path);
