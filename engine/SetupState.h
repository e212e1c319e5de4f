// The process-wide setup and run state shared by start-up, the wizard,
// the install run and the program's end.
#pragma once
#include <string>

#include "engine/ExitCode.h"

struct SetupState {
  // Set at start-up and by the wizard. Folders have no trailing backslash.
  std::string SetupDir;        // where the setup's own files are read
  std::string TempInstallDir;  // the temporary installation folder, or empty
  std::string SourceDir;       // where the install run copies files from
  std::string InstallDir;      // destination folder
  std::string StartMenu;       // Start Menu folder name
  std::string Title;           // the program's title after the title rule
  std::string DefPath;         // sub-folder forced onto any destination, may be empty
  bool AcceptByCheckBox = true;

  // Set by the install run.
  bool RebootNeeded = false;
  bool CancelPressed = false;  // the copy window's Cancel button
  std::string RunFile;
  bool RebootFlag = false;
  std::string RestartProgram;

  // How the program ends, for its exit code.
  RunOutcome Outcome = RunOutcome::Open;
  bool RestartNeeded = false;  // the run ended with files waiting for a restart, or the list asks for one
};

// The one instance, alive for the whole process.
SetupState& Shared();

// The folder of the running program, without a trailing backslash.
std::string ProgramFolder();

// Files setup.exe reads from its own folder, not from the setup folder that
// the package stage makes of the temporary folder: read before the stage or
// looked for there only. A packed setup keeps them loose beside setup.exe.
constexpr char kSetupProgramFile[] = "setup.exe";
constexpr char kPackageListFile[] = "setup.lst";
constexpr char kCreditsFile[] = "copyQuill.txt";
constexpr char kAutomaticFile[] = "autoin.dat";
constexpr char kAutoRunFile[] = "autorun.dat";
constexpr char kBatchFile[] = "batch.dat";
constexpr char kNtPreparationFile[] = "_presnt.ex_";
constexpr char kPreInstallFile[] = "_IN242.exe";
constexpr const char* kProgramFolderFiles[] = {kSetupProgramFile,  kPackageListFile, kCreditsFile,
                                               kAutomaticFile,     kAutoRunFile,     kBatchFile,
                                               kNtPreparationFile, kPreInstallFile};
// The path of one of them.
std::string ProgramFile(const char* name);
// Automatic (unattended) mode: autoin.dat lies in the program's folder.
// Asked afresh every time.
bool AutomaticMode();
