// What a contract test needs from the machine it runs on: a fresh, empty
// scratch folder (real or in-memory) and the name of the running system.
#pragma once
#include <string>

namespace contract {

// Prepares the machine for one test and returns an empty folder that the
// test may fill; no trailing backslash.
std::string FreshScratch();
bool OnRealWindows();
// The next message box with the caption "Dialog" is answered by pressing the
// button with the given identifier (os::kIdOk, ...), as a user would.
void AnswerNextBox(int buttonId);
// A library every system has, by the name a program loads it with, and one
// of its exports.
std::string SystemLibrary(std::string& exportName);

}  // namespace contract
