// Shell links: a shortcut definition parsed into its fields, accessory
// programs found where this Windows keeps them, and the .lnk file written
// through the shell's link object.
#pragma once
#include <cstdint>
#include <string>

#include "os/OsShell.h"

// One parsed shortcut definition: Target, then up to four "*"-terminated
// fields, then the arguments.
struct tQVSShellLink {
  std::string Target;
  std::string WorkDir;
  std::string IconFile;
  std::string IconIndex;  // as text; "0" by default
  std::string Description;
  std::string Arguments;
  bool operator==(const tQVSShellLink&) const = default;
};

// The properties handed to the link writer.
struct TShellLink {
  std::string Arguments;
  std::int32_t ShowCmd = 0;
  std::string WorkingDirectory;
  os::ItemIdList ItemIdList = 0;  // memory of the shell allocator, or 0
  std::string Path;
  std::string Description;
  std::string IconLocation;
  std::int32_t IconIndex = 0;
  std::uint16_t Hotkey = 0;
};

tQVSShellLink ParseShortcut(const std::string& line);

// The accessory program a target names ("...\NOTEPAD.EXE") at its place on
// this Windows family; empty when the target names none of them.
std::string ResolveAccessory(const std::string& target);
// The same for the given family and folders (each with its trailing backslash).
std::string ResolveAccessory(const std::string& target, bool ntFamily, const std::string& windowsFolderBS,
                             const std::string& systemFolderBS);

// The file a link of that name is saved as: ".lnk" appended unless the name
// holds it in any case.
std::string LinkFileName(const std::string& linkPath);

// Writes the link file (".lnk" appended unless the name holds it in any
// case) when the target exists, after trying an accessory for a missing
// target. Reports nothing.
void CreateShortcut(const std::string& linkPath, const tQVSShellLink& definition);

// Saves the link through the shell's link object; the result code of the
// failing step or of the save. A name too long for a Windows path is not
// saved (the result says so).
os::HResult SaveShellLink(const TShellLink& link, const std::string& fileName);

// Frees the item-ID list when the shell allocator owns it; true when the
// list is now gone (it was none, or it was freed).
bool FreeItemIdList(os::ItemIdList& list);
