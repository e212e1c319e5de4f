// Replacing files in use at the next start of Windows: WININIT.INI on the
// Windows 95 family, delayed moves on the NT family, and the test whether a
// replacement is already waiting.
#pragma once
#include <string>
#include <vector>

// Schedules: the destination becomes `backup` (NT family) or is deleted
// (95 family), and `cached` takes its place. False only when WININIT.INI
// could not be read or written.
bool ScheduleReplace(const std::string& backup, const std::string& cached, const std::string& destination);

// Has Windows delete the file (or, on the NT family, the empty folder) at its
// next start: a "NUL=" line in WININIT.INI on the 95 family, a delayed
// delete on the NT family. False when that could not be recorded.
bool ScheduleDelete(const std::string& path);

// True when Windows already holds a replacement (or a deletion) for the
// destination, compared in the form Windows stores it: short names in
// WININIT.INI on the 95 family, whole paths in any letter case on NT.
bool IsRenamePending(const std::string& destination);

// The replacements Windows will carry out at its next start, read once by
// the install run and kept up to date with what the run schedules.
class PendingReplacements {
 public:
  static PendingReplacements Read();
  // The cached file that a pending replacement moves onto the destination;
  // empty when none waits.
  std::string CachedFileFor(const std::string& destination) const;
  // Where a new file for the destination in use waits: the cached file of a
  // replacement already pending for it; else <name>.MCC when no pending
  // replacement uses that name, else the first of <name>.MC1, .MC2, ... that
  // none uses. Two destinations of one base name so never share a cached file.
  std::string CachedNameFor(const std::string& destination) const;
  void Add(const std::string& cached, const std::string& destination);

 private:
  struct Move {
    std::string cached;                       // as Windows holds it
    std::string cachedForm, destinationForm;  // compared: Form() of each
  };
  std::string Form(const std::string& path) const;
  bool ninetyFive_ = false;
  std::vector<Move> moves_;
};

// Takes the destination's replacement back: its lines out of WININIT.INI's
// rename section (the 95 family), its two delayed moves out of the pending
// list (NT). Used when the cached file of a pending replacement cannot be
// refreshed after a newer file was copied straight onto the destination,
// which Windows would otherwise delete (on NT: move to its backup) at its
// next start. False when the file or the list could not be rewritten.
bool CancelReplace(const std::string& destination);
// The same edit as pure line logic; true when lines were taken out.
bool RemoveRenameLines(std::vector<std::string>& lines, const std::string& shortDestination);
// True when the pending rename list names the (upper-cased) destination as
// the source or the target of a rename, in any letter case.
bool IsRenamePendingNT(const std::string& upperDestination);
// The entries of the pending rename list, joined with CR LF; empty when none.
std::string ReadPendingRenames();
// The 8.3 form of an existing path, whole however long; else the path itself.
std::string ShortPath(const std::string& path);

// The WININIT.INI edit as pure line logic: adds "[RENAME]", deleteLine
// ("NUL=<dest>") and moveLine ("<dest>=<cached>"; none when empty) where
// they are missing.
// True when the lines changed.
bool AddRenameLines(std::vector<std::string>& lines, const std::string& deleteLine,
                    const std::string& moveLine);
