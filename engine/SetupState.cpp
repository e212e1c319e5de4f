// The process-wide setup and run state.
#include "engine/SetupState.h"

#include "os/OsSystem.h"
#include "sys/Folders.h"
#include "sys/TextBytes.h"

SetupState& Shared() {
  static SetupState state;
  return state;
}

std::string ProgramFolder() {
  std::string program = os::GetModuleFileNameA();
  auto slash = LastSeparator(program, "\\");
  return slash == std::string::npos ? std::string() : program.substr(0, slash);
}

std::string ProgramFile(const char* name) { return ProgramFolder() + "\\" + name; }

bool AutomaticMode() { return FileFound(ProgramFile(kAutomaticFile)); }
