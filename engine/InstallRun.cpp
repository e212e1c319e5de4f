// The install run: the sections of the installation list in their fixed
// order, with progress, cancellation, logging and the uninstall data.
#include "engine/InstallRun.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <vector>

#include "engine/DelayedReplacement.h"
#include "engine/InstallLog.h"
#include "engine/SetupState.h"
#include "engine/SetupTexts.h"
#include "engine/TextFile.h"
#include "engine/RemovalRules.h"
#include "engine/UninstallData.h"
#include "engine/UninstallTraces.h"
#include "os/OsFiles.h"
#include "os/OsLibrary.h"
#include "os/OsUi.h"
#include "sys/Dialogs.h"
#include "sys/Digest.h"
#include "sys/Folders.h"
#include "sys/Launch.h"
#include "sys/MessagePump.h"
#include "sys/PathText.h"
#include "sys/SetupError.h"
#include "sys/SetupRegistry.h"
#include "sys/ShellLinks.h"
#include "sys/TextBytes.h"
#include "sys/WindowsVersion.h"

namespace {

// The backup an NT restart leaves of the old file: <name>.BAK beside a
// <name>.MCC, <name>.BA1 beside a <name>.MC1, and so on.
std::string BackupNameFor(const std::string& cached) {
  std::string extension = ExtractFileExt(cached);
  std::string number = extension.size() > 3 ? extension.substr(3) : "";
  return ChangeFileExt(cached, UpperText(extension) == ".MCC" ? ".BAK" : ".BA" + number);
}

// A crash in a library of the publisher's, as the log tells it.
std::string CrashText(std::uint32_t code) {
  static const char digits[] = "0123456789ABCDEF";
  std::string hex;
  for (int shift = 28; shift >= 0; shift -= 4) hex += digits[(code >> shift) & 0xF];
  return " (exception " + hex + ")";
}

// The volume a full path lies on: its drive ("C:") or its share ("\\\\SERVER\\SHARE"), upper
// case; "" for anything else.
std::string VolumeOf(const std::string& path) {
  if (path.size() >= 2 && path[1] == ':') return UpperText(path.substr(0, 2));
  if (path.rfind("\\\\", 0) != 0) return "";
  std::size_t end = NextSeparator(path, "\\", 2);
  if (end != std::string::npos) end = NextSeparator(path, "\\", end + 1);
  return UpperText(path.substr(0, end));
}

}  // namespace

bool MovesIntoPlace(const PlacementFacts& facts) {
  if (!facts.fromPrivateFolder || facts.usedLater || !facts.destinationNew || facts.sourcesKept) return false;
  if (VolumeOf(facts.source).empty() || VolumeOf(facts.source) != VolumeOf(facts.destination)) return false;
  // A file moved on the NT family keeps the private folder's security until it is given its new
  // folder's, which NT 4.0 cannot do: there it is copied.
  return !IsNtFamily(facts.version) || facts.version >= kWin2K;
}

namespace {

class InstallRun {
 public:
  InstallRun(const TSetupList& list, InstallHost& host) : list_(list), host_(host), s_(Shared()) {}
  void Run();

 private:
  bool Cancelled();
  void Advance();
  void NtPreparation();
  void SysBackup();
  void RemoveFiles();
  bool FileSection(const char* header, const std::string& folder, const std::string& cachingFailed);
  void CountSourceUses();
  bool Place(const std::string& source, const std::string& destination, bool failIfExists, bool mayMove,
             bool& moved);
  void RefreshPendingReplacement(const std::string& source, const std::string& destination);
  bool RegisterServers();
  bool Shortcuts();
  void RunAfterChoice();
  void RegistryItems();
  void SaveUninstallData();
  void ExtraSetup();
  void End();
  void OpenRunFile();
  bool InstalledHere(const std::string& folder, const std::string& name) const;

  const TSetupList& list_;
  InstallHost& host_;
  SetupState& s_;
  int version_ = 0;
  TUninstallData uninstall_;            // written to the uninstall data file at the end
  TFolderIndex known_{false};           // files of the destination folders: which are new, stale cached files
  TFolderIndex sources_{false};         // files of the source folders, for their attributes
  int stepTotal_ = 0, stepCount_ = 0;
  std::string programKey_, dataFile_, uninstallKey_;
  PendingReplacements pending_;  // what waits for the next start of Windows
  std::vector<std::string> copied_;  // destinations this run copied, upper case: the only files it may start
  std::map<std::string, int> usesLeft_;  // upper-cased source name: entries of the file sections not yet run
  bool keepSources_ = false;             // no source leaves its folder (CountSourceUses says why)
  MessagePump pump_{true};   // Cancel before the next step, repaints between the steps
  bool runAfter_ = false, forceRun_ = false, dink_ = false;
};

void InstallRun::Run() {
  // The log starts; the uninstall data begins with the title and the install folder; the Start
  // Menu folder becomes a path under the Programs folder.
  version_ = GetWinVersion();
  uninstall_ = TUninstallData{};
  uninstall_.title = s_.Title;
  uninstall_.installDir = s_.InstallDir;
  StartLog(s_.Title, s_.InstallDir);
  s_.StartMenu = StripBackslash(StripBackslash(ProgramsFolder()) + "\\" + s_.StartMenu);
  // The NT preparation program, then the copy window, its bar measured in the lines of the three
  // file sections plus three steps for the system backup.
  NtPreparation();
  stepTotal_ = 3;
  for (const char* header : {Header::kInstall, Header::kWin, Header::kSystem})
    stepTotal_ += SectionLineCount(list_, header);
  host_.ShowCopyWindow(!AutomaticMode());
  // The system backup, or its three steps off the count.
  if (list_.Has(Header::kSysBackup)) SysBackup(); else stepTotal_ -= 3;
  // The install folder, before anything names it: one the uninstaller would refuse to remove
  // from is refused here too, and a run that cannot create it would install nothing and call
  // that complete.
  if (const std::string problem = InstallFolderProblem(s_.InstallDir, MachineFolders()); !problem.empty())
    throw SetupError("Setup may not install to " + StripBackslash(s_.InstallDir) + ", which " + problem + ".");
  if (list_.Has(Header::kInstall)) {
    ForceFolders(s_.InstallDir);
    if (!FolderExists(s_.InstallDir))
      throw SetupError("Could not create the installation folder " + StripBackslash(s_.InstallDir) + ".");
  }
  // The uninstall entry, when the list has one.
  if (auto section = ReadUninstall(list_)) {
    // The command names the file the data will be saved in, or the program could never be
    // removed with it (a name without ".ini" is saved as unin.ini in the install folder).
    dataFile_ = UninstallDataWrittenTo(UninstallDataFile(section->dataFileLine, s_.InstallDir, WindowsFolder()),
                                       s_.InstallDir);
    RegisterUninstall(*section, dataFile_);
    uninstallKey_ = section->keyName;
  }
  // The program's key is read now; its values are written after the shortcuts.
  if (list_.Has(Header::kReg)) {
    LogLine("Adding Registry items");
    programKey_ = ReadProgramKey(list_);
  }
  // Files the list removes, then the three file sections and the servers; a section that is
  // cancelled or fails ends the run.
  if (list_.Has(Header::kRemoveFiles)) RemoveFiles();
  pending_ = PendingReplacements::Read();
  CountSourceUses();
  if (list_.Has(Header::kInstall)) {
    LogLine("Installing Program Files");
    if (!FileSection(Header::kInstall, StripBackslash(s_.InstallDir), std::string(kCachingFailed) + ": ")) return;
  }
  if (list_.Has(Header::kWin)) {
    LogLine("Installing Windows Files");
    if (!FileSection(Header::kWin, WindowsFolder(), "Caching Failed: ")) return;
  }
  if (list_.Has(Header::kSystem) && !FileSection(Header::kSystem, SystemFolder(), "Caching Failed: ")) return;
  if (list_.Has(Header::kRegSvr) && !RegisterServers()) return;
  // The shortcuts once the copy window is gone, then whether a program runs afterwards.
  host_.CloseCopyWindow();
  if (!Shortcuts()) return;
  RunAfterChoice();
  // Registry values, the uninstall data file, the publisher's extra setup, and the end.
  if (list_.Has(Header::kReg)) RegistryItems();
  SaveUninstallData();
  ExtraSetup();
  End();
}

bool InstallRun::Cancelled() {
  pump_.Pump();
  if (!s_.CancelPressed) return false;
  host_.PresentProgress();  // the question stands beside the step it interrupts
  if (QuestionBox(host_.WizardWindow(), "Cancel Setup?")) {
    s_.Outcome = RunOutcome::Cancelled;
    InfoBox("Setup did not complete.");
    host_.CloseWizard();
    return true;
  }
  s_.CancelPressed = false;
  return false;
}

void InstallRun::Advance() {
  ++stepCount_;
  if (stepTotal_ > 0) host_.ShowProgress(static_cast<int>(static_cast<double>(stepCount_) / stepTotal_ * 100));
}

void InstallRun::NtPreparation() {
  std::string shipped = ProgramFile(kNtPreparationFile);
  if (!FileFound(shipped) || !IsNtFamily(version_)) return;
  std::string program = WindowsFolder() + "\\_presnt.exe";
  os::CopyFileA(shipped, program, false);
  if (!FileFound(program)) return;
  RunProgramAndWait(program, "");
  os::DeleteFileA(program);
  os::SetForegroundWindow(host_.ApplicationWindow());
}

void InstallRun::SysBackup() {
  LogLine("Backing up system files");
  std::string extension = SysBackupExtension(list_);
  host_.ShowStep("Backing up system");
  for (const char* name : {"MSDOS", "CONFIG", "AUTOEXEC"}) {
    std::string file = std::string(name) + (std::string(name) == "AUTOEXEC" ? ".BAT" : ".SYS");
    Advance();
    os::SetFileAttributesA("C:\\" + file, os::kAttrArchive);
    os::CopyFileA("C:\\" + file, WindowsFolder() + "\\" + name + "." + extension, false);
    LogLine(file);  // written whether or not the copy went through
  }
  ++stepCount_;
}

void InstallRun::RemoveFiles() {
  LogLine("Removing Files");
  TSectionReader reader(list_, Header::kRemoveFiles);
  std::string entry;
  while (reader.Next(entry)) {
    std::string path = ExpandRemoveFilesEntry(entry, WindowsFolder(), s_.InstallDir);
    if (!FileFound(path) || !NoLinkOnTheWay(s_.InstallDir, path)) continue;
    LogLine("Removing: " + path);
    os::DeleteFileA(path);
  }
}

bool InstallRun::FileSection(const char* header, const std::string& folder, const std::string& cachingFailed) {
  TSectionReader reader(list_, header);
  for (;;) {
    if (Cancelled()) return false;
    TFileEntry entry;
    if (!reader.NextFileEntry(entry)) {
      host_.PresentProgress();
      return true;
    }
    host_.ShowStep(entry.name);
    Advance();
    std::string source = s_.SourceDir + "\\" + entry.name;
    std::string destination = folder + "\\" + InstalledFileName(entry.name);
    // A folder swapped for a link (the install folder may be one users can write) would take the
    // copy, or the cached copy beside it, somewhere else: nothing is written there.
    if (!NoLinkOnTheWay(folder, destination)) {
      LogLine("Not copied, a link is on the way: " + destination);
      uninstall_.paths.push_back(destination);
      continue;
    }
    // Most destinations are new, and the folder's listing says which: a copy
    // that may not replace anything creates those without first looking for a
    // file to replace. A file to be replaced that the listing shows read-only,
    // hidden or system is made normal first: not every copy refuses such a
    // file, and one that does not would leave it so. A destination that is
    // there after all (or otherwise refuses) is made normal and tried again.
    const bool isNew = !known_.FileFound(destination);
    const std::uint32_t listed = known_.Attributes(destination);
    if (!isNew && !entry.keepExisting && listed != os::kInvalidFileAttributes &&
        (listed & (os::kAttrReadonly | os::kAttrHidden | os::kAttrSystem)))
      os::SetFileAttributesA(destination, os::kAttrNormal);
    const bool usedLater = --usesLeft_[UpperText(entry.name)] > 0;
    const bool fromPrivateFolder =
        !s_.TempInstallDir.empty() &&
        SameTextIgnoringCase(StripBackslash(s_.SourceDir), StripBackslash(s_.TempInstallDir));
    const bool mayMove = MovesIntoPlace(
        PlacementFacts{source, destination, version_, fromPrivateFolder, usedLater, isNew, keepSources_});
    const bool onlyArchive = sources_.Attributes(source) == os::kAttrArchive;
    bool moved = false;
    bool copied = Place(source, destination, entry.keepExisting || isNew, mayMove, moved);
    if (!copied && !entry.keepExisting && FileFound(destination)) {
      os::SetFileAttributesA(destination, os::kAttrNormal);
      copied = os::CopyFileA(source, destination, false);
    }
    if (copied) {
      known_.Added(destination);
      copied_.push_back(UpperText(destination));
    }
    if (copied || entry.keepExisting) {
      LogLine("Copy: " + destination);
      // A moved file's content is at its destination now.
      RefreshPendingReplacement(moved ? destination : source, destination);
      // A copy (or a move) carries its source's attributes: after one whose
      // source has only the archive bit, the destination has exactly that already.
      if (!copied || !onlyArchive) os::SetFileAttributesA(destination, os::kAttrArchive);
    } else {
      // The destination is in use: the new file waits beside it for the next start of Windows.
      LogLine("Caching: " + destination);
      std::string cached = pending_.CachedNameFor(destination);
      if (FileFound(cached)) os::SetFileAttributesA(cached, os::kAttrNormal);
      if (os::CopyFileA(source, cached, false)) {
        known_.Added(cached);
        s_.RebootNeeded = true;
        ScheduleReplace(BackupNameFor(cached), cached, destination);
        pending_.Add(cached, destination);
      } else {
        LogLine(cachingFailed + destination);
      }
    }
    uninstall_.paths.push_back(destination);
  }
}

// How often each source file is named by the three file sections, and whether every source must
// stay where it is: an extra setup program will be handed the source folder (it may read any file
// there), or a section has no end (the run stops there, as it always did, and moves nothing).
void InstallRun::CountSourceUses() {
  usesLeft_.clear();
  keepSources_ = FileFound(s_.InstallDir + "\\_setup.exe");
  try {
    for (const char* header : {Header::kInstall, Header::kWin, Header::kSystem}) {
      if (!list_.Has(header)) continue;
      TSectionReader reader(list_, header);
      TFileEntry entry;
      while (reader.NextFileEntry(entry)) {
        ++usesLeft_[UpperText(entry.name)];
        if (header == Header::kInstall && SameTextIgnoringCase(InstalledFileName(entry.name), "_setup.exe"))
          keepSources_ = true;
      }
    }
  } catch (const ListError&) {
    keepSources_ = true;
  }
}

// The file put at its destination: moved there when that may be done, copied otherwise (and when
// the move fails). A moved file is given the security of a file created in its new folder; where
// that fails it goes back and is copied.
bool InstallRun::Place(const std::string& source, const std::string& destination, bool failIfExists,
                       bool mayMove, bool& moved) {
  moved = false;
  if (mayMove && os::MoveFileA(source, destination)) {
    if (!IsNtFamily(version_) || os::SetInheritedSecurityA(destination)) return moved = true;
    // Back for a copy; a file that cannot go back stays, with no wider access than it had.
    if (!os::MoveFileA(destination, source)) return moved = true;
  }
  return os::CopyFileA(source, destination, failIfExists);
}

void InstallRun::RefreshPendingReplacement(const std::string& source, const std::string& destination) {
  std::string pending = pending_.CachedFileFor(destination);
  if (pending.empty()) {
    // A cached file left by an earlier install that no longer waits for a restart.
    std::string stale = ChangeFileExt(destination, ".MCC");
    if (known_.FileFound(stale)) {
      os::SetFileAttributesA(stale, os::kAttrNormal);
      os::DeleteFileA(stale);
      known_.Removed(stale);
    }
    return;
  }
  // An earlier install's replacement still waits: Windows will put its
  // cached file in place of the one just copied, so that file gets the new
  // content too. Without it the destination must not stay scheduled at all.
  if (FileFound(pending)) os::SetFileAttributesA(pending, os::kAttrNormal);
  LogLine("Updating: " + pending);
  if (os::CopyFileA(source, pending, false))
    known_.Added(pending);
  else if (CancelReplace(destination))
    LogLine("Replacement cancelled: " + destination);
}

bool InstallRun::RegisterServers() {
  TSectionReader reader(list_, Header::kRegSvr);
  int registered = 0;
  for (;;) {
    if (Cancelled()) return false;
    std::string entry;
    if (!reader.Next(entry)) return true;
    std::string path = WindowsFolderBS() + entry;
    if (!FileFound(path)) continue;
    LogLine("Register Server: " + entry);
    ServerCallResult call = RegisterServer(path, true);  // the server's own answer is not looked at
    if (call.outcome == ServerCall::Crashed) LogLine("Register Server failed: " + entry + CrashText(call.exceptionCode));
    WriteMachineString(programKey_, "regsvr" + std::to_string(++registered), entry);
  }
}

bool InstallRun::Shortcuts() {
  s_.RunFile.clear();
  if (!list_.Has(Header::kShortcuts)) return true;
  ForceFolders(s_.StartMenu);
  LogLine("Creating Shortcuts");
  TSectionReader reader(list_, Header::kShortcuts);
  for (;;) {
    if (Cancelled()) return false;
    TShortcutPair pair;
    if (!NextShortcutPair(reader, pair)) break;
    if (SkipForNt4Mark(pair.name, version_)) continue;
    std::string link = s_.StartMenu + "\\" + pair.name;
    std::string target = StripBackslash(s_.InstallDir) + "\\" + pair.target;
    CreateShortcut(link, ParseShortcut(target));
    LogLine("Shortcut: " + link + ", " + target);
    if (s_.RunFile.empty()) s_.RunFile = ExtractFileName(target);
    uninstall_.paths.push_back(link + ".lnk");
  }
  uninstall_.startMenu = s_.StartMenu;
  return true;
}

void InstallRun::RunAfterChoice() {
  dink_ = list_.Has(Header::kDink);
  forceRun_ = list_.Has(Header::kForceRun);
  runAfter_ = false;
  if (auto runFile = ReadLineAfter(list_, Header::kRunFile)) {
    s_.RunFile = *runFile;
    runAfter_ = true;
    LogLine("Running after install: " + s_.RunFile);
  }
}

void InstallRun::RegistryItems() {
  LogLine("Adding Registry items");
  uninstall_.hasReg = true;
  WriteMachineString(programKey_, "smpath", s_.StartMenu);
  TRegMacroContext context{WindowsFolder(), SystemFolder(), s_.InstallDir, s_.RunFile};
  TSectionReader reader(list_, Header::kReg);
  bool first = true;
  for (;;) {
    pump_.Pump();
    TRegGroup group;
    if (!NextRegGroup(reader, group)) break;
    std::string data = ExpandRegData(group.data, context);
    if (first && dink_) DeleteRegKey(group.root, group.key);
    first = false;
    std::string key = group.key;
    std::string lookup, remainder;
    if (SplitIndirectKey(key, lookup, remainder)) key = ResolvedIndirectKey(key, ReadRegString(group.root, lookup, ""));
    if (SkipForNt4Mark(key, version_)) continue;
    WriteRegValue(group.root, key, group.name, data);
    LogLine("Reg Add: " + group.root + ", " + key + ", " + group.name + ", " + data);
    uninstall_.regItems.push_back({group.root, key, group.name, data});
  }
}

void InstallRun::SaveUninstallData() {
  if (dataFile_.empty()) return;
  const std::string path = UninstallDataWrittenTo(dataFile_, s_.InstallDir);
  const std::string text = TextOfLines(UninstallDataLines(uninstall_));
  if (!NoLinkOnTheWay(s_.InstallDir, path) || !WriteNewTextFile(path, text))
    throw SetupError("Could not write the uninstall data file " + path);
  // The uninstaller trusts the data file only as far as the administrators' uninstall entry vouches
  // for it: the file may lie in a folder users can write.
  WriteUninstallSeal(uninstallKey_, s_.InstallDir, Sha256Hex(text));
}

// Whether this run copied the file into the folder. A program or library that
// was there before (an install folder may have existed, writable by users)
// is never loaded or started with the installer's rights.
bool InstallRun::InstalledHere(const std::string& folder, const std::string& name) const {
  return std::find(copied_.begin(), copied_.end(), UpperText(StripBackslash(folder) + "\\" + name)) != copied_.end();
}

void InstallRun::ExtraSetup() {
  std::string library = s_.InstallDir + "\\_setup.dll";
  const bool libraryFound = FileFound(library);
  if (libraryFound && InstalledHere(s_.InstallDir, "_setup.dll")) {
    LogLine("loading _setup.dll");
    os::UniqueLibrary module(os::LoadLibraryA(library));
    if (module.get() < 32) {
      LogLine(kLoadingSetupDllFailed);
      return;
    }
    os::Proc entry = os::GetProcAddress(module.get(), "DoSetup");
    if (!entry) {
      LogLine(kLoadingDoSetupFailed);
      return;
    }
    LogLine("loading DoSetup");
    // DoSetup takes the application window in EAX and answers in EAX.
    os::ExportCall call =
        os::CallRegisterExport(entry, static_cast<std::uint32_t>(host_.ApplicationWindow()));
    if (call.faulted) {
      LogLine("DoSetup failed" + CrashText(call.exceptionCode));
      return;
    }
    LogLine("DoSetup returned: " + std::to_string(call.result));
    return;
  }
  LogLine(libraryFound ? "_setup.dll not installed by this run" : "no _setup.dll");
  std::string program = s_.InstallDir + "\\_setup.exe";
  if (!FileFound(program)) {
    LogLine("no _setup.exe");
    return;
  }
  if (!InstalledHere(s_.InstallDir, "_setup.exe")) {
    LogLine("_setup.exe not installed by this run");
    return;
  }
  LogLine("Running extra setup items");
  RunProgramAndWait(program, "\"" + s_.SourceDir + "\"");
  os::DeleteFileA(program);
  os::SetForegroundWindow(host_.ApplicationWindow());
}

void InstallRun::OpenRunFile() {
  if (!InstalledHere(s_.InstallDir, s_.RunFile)) {
    LogLine(s_.RunFile + " not installed by this run");
    return;
  }
  OpenDocument(s_.InstallDir + "\\" + s_.RunFile, "");
}

void InstallRun::End() {
  bool reboot = list_.Has(Header::kReboot) || s_.RebootNeeded;
  s_.Outcome = RunOutcome::Installed;
  s_.RestartNeeded = reboot;
  if (FileFound(ProgramFile(kBatchFile))) {
    if (reboot) WriteMachineString("\\SOFTWARE\\Marrowfield\\BatchInstall", "reboot", "1");
    return host_.CloseWizard();
  }
  bool nt4Quiet = list_.Has(Header::kNoRebootNt) && version_ == kWinNT4;
  if (!list_.Has(Header::kNoReboot) && reboot && !nt4Quiet &&
      QuestionOkCancelBox("Installation must reboot your computer.")) {
    RemoveTempInstallDir(s_.TempInstallDir);
    s_.RebootFlag = true;
    // The publisher's restart program only when this run put it there; else Windows restarts directly.
    if (InstalledHere(host_.DestinationText(), "winexit.exe"))
      s_.RestartProgram = StripBackslash(host_.DestinationText()) + "\\winexit.exe";
    LogLine("Rebooting");
    LogLine("Install Complete");
    return host_.CloseWizard();
  }
  if (nt4Quiet) {
    LogLine("Install Complete");
    return host_.CloseWizard();
  }
  bool autoRun = FileFound(ProgramFile(kAutoRunFile));
  if (runAfter_ && autoRun) return OpenRunFile();
  if (runAfter_ && !forceRun_) {
    if (QuestionBox(0, "Installation is complete, would you like to run " + s_.Title + " now?")) OpenRunFile();
    return;
  }
  if (runAfter_) {
    InfoBox("Installation is complete, " + s_.Title + " will start now.");
    if (!CtrlKeyDown()) OpenRunFile();
    return;
  }
  LogLine("Install Complete");
  InfoBox("Installation is complete");
}

}  // namespace

void RunInstallation(const TSetupList& list, InstallHost& host) { InstallRun(list, host).Run(); }
