// The journal of an install run: each step that changes the machine is
// written down in the run's private folder before it is taken, with what it
// changes kept aside, so that a cancel, a failure or a run cut short by a
// crash can put the machine back as it was.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "os/Handle.h"
#include "os/OsFiles.h"

class RunJournal {
 public:
  RunJournal() = default;
  RunJournal(const RunJournal&) = delete;
  RunJournal& operator=(const RunJournal&) = delete;

  // Starts the journal in the private folder (no trailing backslash), its first lines saying whose
  // run it is, and records where it lies where only administrators write.
  // Without a folder, or when the file cannot be made, the run keeps its
  // notes in memory only: a cancel or a failure still undoes them, replaced
  // files excepted, but a crash leaves nothing to restore from.
  void Open(const std::string& folder, const std::string& title, const std::string& destination);

  // Each of these comes right before the step it names, and costs at most
  // one small write (and, for an existing file, its copy aside).
  // A file about to be written over, created or deleted; `exists` and
  // `attributes` say how it is now, as far as the caller knows.
  void FileChanging(const std::string& path, bool exists, std::uint32_t attributes);
  void FileChanging(const std::string& path);  // looks for itself
  // The last FileChanging of the path did not happen as announced: the file
  // was there after all, or stayed as it was.
  void NotTaken(const std::string& path);
  // The same for a file whose content the step left as it was: only its
  // attributes (as given) are put back.
  void ContentKept(const std::string& path, std::uint32_t attributes);
  void AttributesChanging(const std::string& path, std::uint32_t attributes);
  // The folder and its missing parents about to be created.
  void FoldersCreating(const std::string& folder);
  // A registry value about to be written under a root named "HKEY_...":
  // the keys missing on its path and its old data and type.
  void RegValueWriting(const std::string& root, const std::string& keyPath, const std::string& name);
  void ServerRegistering(const std::string& path);
  // A replacement at the next start of Windows about to be scheduled for the
  // destination; one that was pending already is not this run's to withdraw.
  void ReplacementScheduling(const std::string& destination);

  // The run reached its end: the journal and the record of it go, and the
  // kept files with the private folder.
  void Finished();
  // Undoes the steps, servers first and then the rest in reverse order, each
  // named in the install log; true when something could not be undone now
  // and waits for the next start of Windows.
  bool RollBack();

 private:
  void Note(const std::string& lines);
  void Close();
  static std::string AttributesLine(const std::string& path, std::uint32_t attributes);
  std::string folder_, path_;  // folder_: where the kept files go, empty when nowhere
  os::UniqueFile file_;
  std::string text_;  // the lines written since the head
  int backups_ = 0;
};

// Journals of earlier runs that never ended (the machine lost its power, the
// program was ended): for each, a Yes/No box naming the title and the
// destination (in automatic mode no box: the answer is Yes); Yes restores the
// machine from it. A journal that a running setup holds open is passed over.
// Only an administrator may call it (on the NT family). True when something
// waits for the next start of Windows.
bool RecoverUnfinishedRuns();

// The journal's file name in the private folder.
constexpr char kJournalName[] = "QVJOURNL.TXT";
