// The dry run: the real start-up and install run in automatic mode against
// the in-memory Windows of one version, and what the installation leaves.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// A fresh in-memory Windows of the version a :OS keyword names, laid out as
// that Windows is after its own installation: its folders, system files,
// Start Menu, and the registry values the installer reads. False for a
// keyword that names no version.
bool PrepareWindows(const std::string& keyword);

// An answer to the boxes whose text contains `text`: the button ("OK",
// "Cancel", "Yes" or "No").
struct BoxAnswer {
  std::string text;
  std::string button;
};
// Parses "TEXT=BUTTON" (split at the last "="); nullopt when the button is none of the four.
std::optional<BoxAnswer> ParseBoxAnswer(const std::string& argument);

struct DryRun {
  struct File {
    std::string path;
    std::uint64_t size = 0;
    bool replaced = false;  // it was there before and changed
  };
  struct Value {
    std::string key;  // root name and path
    std::string name;
    std::string type;  // "REG_SZ", "REG_DWORD", ...
    std::string data;  // text; a number in decimal; other types in hex
  };
  struct Shortcut {
    std::string file;
    std::string target, arguments, workingFolder, iconFile, description;
    int iconIndex = 0;
    int showCommand = 0;
  };
  struct Box {
    std::string text, caption, buttons, answer;
    std::string icon;  // "error", "question", "exclamation", "information"; empty when none
  };
  std::string version;  // the keyword
  std::vector<File> files;
  std::vector<std::string> removedFiles;
  std::vector<Value> values;
  std::vector<std::string> removedValues;
  std::vector<Shortcut> shortcuts;
  std::string uninstallDataFile, uninstallData;
  std::vector<std::string> pending;  // replacements waiting for the next start of Windows
  std::string logFile, log;
  std::vector<Box> boxes;
  std::vector<std::string> started;  // programs and documents opened, each with its parameters
  std::vector<std::string> notes;    // what the dry run could only tell, not do
  std::string loop;                  // a box that came back unchanged until the dry run ended it
  bool wizardWaited = false;         // automatic mode stopped on a page; the dry run closed the wizard
  bool restart = false;              // the program ended by restarting Windows
  int exitCode = 0;
};

// Runs setup.exe's start-up and install run on the in-memory Windows that
// PrepareWindows made, with the setup folder at C:\SETUP (its files already
// there), in automatic mode, and reports what changed.
DryRun RunDry(const std::string& keyword, const std::vector<BoxAnswer>& answers);

// The dry run as text for a person, and as JSON for a machine.
std::string DryRunText(const DryRun& run);
std::string DryRunJson(const DryRun& run);
