// Fuzz targets of the inputs the elevated programs read from files anyone
// may have written, on the in-memory Windows: the single-file stub's trailer,
// the uninstall data file with the removal rules and the removal it drives,
// WININIT.INI and the pending rename list, and the part and extra names of
// setup.lst. Shared by the libFuzzer program and the unit test that replays
// the kept inputs.
#pragma once
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "app/PackageStage.h"
#include "engine/DelayedReplacement.h"
#include "engine/InstallList.h"
#include "engine/RemovalRules.h"
#include "engine/TextFile.h"
#include "engine/UninstallData.h"
#include "engine/UninstallRun.h"
#include "os/OsRegistry.h"
#include "os/fake/FakeCodePageControl.h"
#include "os/fake/FakeControl.h"
#include "os/fake/FakeRegistryControl.h"
#include "sfx/SelfExtractor.h"
#include "sys/PathText.h"
#include "sys/ResolvedPath.h"
#include "sys/SetupError.h"
#include "sys/TextBytes.h"
#include "tests/fuzz/trust/FuzzBytes.h"
#include "tests/unit/ProgramTestUtil.h"

namespace trustfuzz {

// The name without the periods and blanks Windows drops from its end.
inline std::string Trimmed(std::string name) {
  while (!name.empty() && (name.back() == '.' || name.back() == ' ')) name.pop_back();
  return name;
}

// A fresh machine of the 95 family (Windows 98) or the NT family (XP), with
// the user's Programs folder.
inline void FreshMachine(bool ninetyFive) {
  programtest::FreshInstall();
  if (ninetyFive) os::fake::SetVersion(os::OsVersionInfo{4, 10, 2222, 1, " A "});
}

// The stub's own file: any bytes, or bytes closed by a trailer whose own
// check sum is right (the first byte chooses), read as the stub reads itself.
inline void StubFileOf(const std::uint8_t* data, std::size_t size) {
  Bytes in(data, size);
  const std::uint8_t mode = in.Byte();
  std::string file;
  bool made = false;  // a trailer as the packer makes it, over parts that are all there
  if (mode & 1) {
    std::uint32_t stub = in.U32(), engine = in.U32(), archive = in.U32(), crc = in.U32();
    file = in.Rest();
    if (mode & 2) {  // parts that tile the bytes, with their CRC (or one off by a bit)
      stub %= file.size() + 1;
      engine %= file.size() - stub + 1;
      archive = static_cast<std::uint32_t>(file.size() - stub - engine);
      crc = sfx::Crc32(0, file.data() + stub, engine + archive) ^ ((mode >> 2) & 1);
      made = !(mode & 4) && stub > 0 && engine > 0 && archive > 0;
    }
    file += sfx::MakeTrailer(stub, engine, archive, crc);
  } else {
    file = in.Rest();
  }
  // The stub reads its trailer where the program's own bytes end, which only a 32-bit program
  // without a foreign certificate table names: the packer's stub is one.
  const std::optional<std::uint64_t> ownEnd =
      sfx::OwnDataEnd(file.size(), [&file](std::uint64_t at, void* buffer, std::size_t n) -> std::size_t {
        if (at >= file.size()) return 0;
        const std::size_t got = std::min<std::size_t>(n, file.size() - at);
        std::memcpy(buffer, file.data() + at, got);
        return got;
      });
  made = made && ownEnd == std::uint64_t{file.size()};
  os::fake::Reset();
  os::fake::AddFile("C:\\DL\\setup.exe", file);
  os::UniqueFile self(os::CreateFileA("C:\\DL\\setup.exe", os::Access::Read, os::Disposition::OpenExisting));
  const sfx::SelfCheck check = sfx::CheckOwnFile(self.get());
  Check(!made || check.Sound(), "a trailer the packer makes is read back sound");
  const sfx::Payload& p = check.payload;
  if (check.status != sfx::TrailerStatus::Ok) {
    Check(!check.Sound(), "a file without a sound trailer is not sound");
    return;
  }
  Check(p.engineOffset > 0 && p.engineSize > 0 && p.archiveSize > 0 &&
            std::uint64_t{p.engineOffset} + p.engineSize == p.archiveOffset &&
            std::uint64_t{p.archiveOffset} + p.archiveSize + sfx::kTrailerSize == file.size(),
        "the parts of a sound trailer tile the file");
  const uLong crc = crc32(0, reinterpret_cast<const Bytef*>(file.data()) + p.engineOffset,
                          static_cast<uInt>(p.engineSize + p.archiveSize));
  Check(check.crcMatches == (crc == p.crc), "the CRC check agrees with zlib's CRC of the parts");
  // The same trailer at the end of a file 4 GiB longer names too little of it.
  sfx::Payload longer;
  Check(sfx::ReadTrailer(file.size() + 0x100000000ull, file.substr(file.size() - sfx::kTrailerSize),
                         longer) != sfx::TrailerStatus::Ok,
        "a trailer fits one file size");
}

// The uninstall data file: read, its install folder and paths judged by the
// removal rules, and (when the first byte asks) the silent removal run over
// a machine whose system folders hold files that no data file may remove.
inline void UninstallDataOf(const std::uint8_t* data, std::size_t size) {
  Bytes in(data, size);
  const std::uint8_t mode = in.Byte();
  const std::string text = in.Rest();
  FreshMachine(mode & 1);
  TUninstallData d;
  const UninstallDataResult read = ParseUninstallData(text, d);
  const std::size_t lines = SplitLines(text).size();
  Check(read.line >= 0 && static_cast<std::size_t>(read.line) <= lines + 1, "the line found wrong is a line");
  if (read.status != UninstallDataStatus::Ok) return;
  Check(!d.title.empty() && d.paths.size() + 4 * d.regItems.size() + 3 <= lines, "what was read was there");

  const TRemovalFolders folders = MachineFolders();
  const std::string problem = InstallFolderProblem(d.installDir, folders);
  const std::string dir = RuledPath(d.installDir);
  std::vector<std::string> removable;
  if (problem.empty()) {
    Check(dir.size() > 3, "an accepted install folder is a full path below a drive's root");
    for (const std::string* system : {&folders.windows, &folders.system, &folders.programFiles})
      Check(!SameFolder(dir, *system) && !IsInsideFolder(*system, dir),
            "an accepted install folder is not and does not hold a system folder");
    for (const std::string& recorded : d.paths) {
      const PathVerdict verdict = JudgePath(recorded, dir, folders);
      const std::string path = RuledPath(recorded);
      Check((verdict == PathVerdict::Unsafe) == path.empty(), "only a path that does not resolve is unsafe");
      if (verdict != PathVerdict::Remove) continue;
      Check(IsInsideFolder(path, dir) ||
                (UpperText(ExtractFileExt(path)) == ".LNK" && IsInsideFolder(path, folders.programs)),
            "a path to remove lies inside the install folder, or is a shortcut among the Programs");
      for (const std::string* system : {&folders.windows, &folders.system, &folders.programFiles})
        Check(!SameFolder(path, *system) && !IsInsideFolder(*system, path),
              "no path to remove holds a system folder");
      removable.push_back(path);
    }
    for (const std::string& parent : EmptiedParents(dir, folders.programFiles))
      Check(IsInsideFolder(parent, folders.programFiles) && IsInsideFolder(dir, parent),
            "an emptied parent lies between the install folder and Program Files");
  }
  if (!(mode & 2)) return;

  const std::string dataFile = "C:\\Program Files\\Demo\\unin.ini";
  os::fake::AddFile(dataFile, text);
  const std::vector<std::string> kept = {
      "C:\\WINDOWS\\win.ini",
      "C:\\WINDOWS\\SYSTEM32\\kernel32.dll",
      "C:\\Program Files\\Common Files\\shared.dll",
      "C:\\Other\\keep.txt",
      std::string(programtest::kProgramsFolder) + "\\Other\\Other.lnk",
  };
  for (const std::string& file : kept) os::fake::AddFile(file, "kept");
  os::fake::AddFile("C:\\Program Files\\Demo\\demo.exe", "MZ");
  struct : UninstallHost {
    void ShowProgressWindow() override {}
    void ShowStep(const std::string&) override {}
    void ShowProgress(int) override {}
    void CloseProgressWindow() override {}
  } host;
  RunUninstall("\"" + dataFile + "\" /S", host);
  for (const std::string& file : kept) {
    if (os::fake::Exists(file)) continue;
    bool named = false;
    // A shortcut recorded with ".lnk" twice is removed under its single ".lnk".
    for (const std::string& path : removable)
      named = named || SameFolder(path, file) || SameFolder(ChangeFileExt(path, ""), file);
    Check(named, "a file goes only when the data file names it and the rules let it go");
  }
  for (const std::string& folder : {folders.windows, folders.system, folders.programFiles, folders.programs})
    Check(os::fake::Exists(folder), "the system folders stay");
}

// The pairs of a pending rename list that Windows carries out: source and
// target, each with its NUL, up to the first empty source.
inline std::string PendingPairs(const std::string& list) {
  std::size_t at = 0;
  while (at < list.size() && list[at] != '\0') {
    const std::size_t source = list.find('\0', at);
    if (source == std::string::npos) return list.substr(0, at);
    const std::size_t target = list.find('\0', source + 1);
    if (target == std::string::npos) return list.substr(0, at);
    at = target + 1;
  }
  return list.substr(0, at);
}

// WININIT.INI (95 family) or the pending rename list (NT family) as found,
// then a replacement scheduled, found pending, and cancelled again. The
// fields: the options byte, then WININIT.INI, the list's bytes and the
// destination's name, separated by 0xFE.
inline void PendingRenamesOf(const std::uint8_t* data, std::size_t size) {
  Bytes in(data, size);
  const std::uint8_t mode = in.Byte();
  const bool ninetyFive = mode & 1;
  FreshMachine(ninetyFive);
  const std::string wininit = in.Field('\xFE'), list = in.Field('\xFE');
  std::string name;
  for (char c : in.Field('\xFE'))
    if (static_cast<unsigned char>(c) >= 0x20 && std::string("\\/:*?\"<>|=[]").find(c) == std::string::npos)
      name += c;
  if (Trimmed(name).empty()) name = "demo.dll";
  const std::string destination = "C:\\WINDOWS\\SYSTEM\\" + Trimmed(name);
  const std::string wininitPath = "C:\\WINDOWS\\WININIT.INI";
  const char* sessionManager = "SYSTEM\\CurrentControlSet\\Control\\Session Manager";
  if (mode & 2) os::fake::AddFile(wininitPath, wininit);
  if (mode & 4) {
    const std::uint32_t types[] = {os::kRegMultiSz, os::kRegSz, os::kRegBinary};
    os::fake::SetRegValue(os::kHkeyLocalMachine, sessionManager, "PendingFileRenameOperations",
                          {types[(mode >> 3) % 3], list});
  }
  os::fake::AddFile(destination, "old");
  if (mode & 0x20) os::fake::SetInUse(destination, true);

  Check(ReadPendingRenames().find('\0') == std::string::npos, "the list's entries hold no NUL");
  const PendingReplacements pending = PendingReplacements::Read();
  const std::string cached = pending.CachedNameFor(destination);
  Check(!cached.empty() && !SameTextIgnoringCase(cached, destination), "the cached file is another file");
  if (!os::fake::Exists(cached)) os::fake::AddFile(cached, "new");

  std::vector<std::string> before;
  ReadTextLines(wininitPath, before);
  auto pendingValue = [&] {
    auto value = os::fake::RegValueAt(os::kHkeyLocalMachine, sessionManager, "PendingFileRenameOperations");
    return value && value->type == os::kRegMultiSz ? value->data : std::string();
  };
  const std::string listBefore = PendingPairs(pendingValue());
  Check(ScheduleReplace(ChangeFileExt(destination, ".BAK"), cached, destination),
        "the replacement is scheduled");
  Check(IsRenamePending(destination), "a scheduled replacement is pending");
  if (ninetyFive) {
    std::vector<std::string> after;
    ReadTextLines(wininitPath, after);
    for (const std::string& line : before) {
      auto found = std::find(after.begin(), after.end(), line);
      Check(found != after.end(), "scheduling keeps every line WININIT.INI had");
      after.erase(found);
    }
  } else {
    Check(pendingValue().starts_with(listBefore), "scheduling keeps the pending renames there were");
  }
  Check(CancelReplace(destination), "the replacement is taken back");
  if (ninetyFive) Check(!IsRenamePending(destination), "a replacement taken back is no longer pending");
  Check(ScheduleDelete(destination) && IsRenamePending(destination), "a deletion is scheduled and pending");
}

// setup.lst's extra and part names as the package stage takes them: a name
// it keeps stays inside the folder it is joined to, the joined package is
// no part, and the join holds every part, the last listed first.
inline void ListNamesOf(const std::uint8_t* data, std::size_t size) {
  Bytes in(data, size);
  const std::uint8_t mode = in.Byte();
  os::fake::Reset();
  os::fake::SetAnsiCodePage(mode & 1 ? 932 : 1252);
  LoadSystemLeadBytes();
  const TSetupList list(in.Rest());
  const std::string folder = "C:\\T";
  std::vector<std::string> parts;
  for (const char* header : {Header::kExtra, Header::kPackage}) {
    std::vector<std::string> names;
    try {
      names = ReadSection(list, header);
    } catch (const SetupError&) {
      continue;  // no terminator: the stage stops there
    }
    for (const std::string& name : names) {
      if (!StaysInside(name)) continue;
      const std::string resolved = ResolvePath(folder + "\\" + name);
      Check(resolved.empty() || IsInsideFolder(resolved, folder), "a name kept stays inside the folder");
      if (std::string_view(header) == Header::kPackage && parts.size() < 16) parts.push_back(name);
    }
  }
  if (parts.empty()) return;
  const std::string package = PackagePath(folder, parts);
  for (const std::string& part : parts)
    Check(!SamePlace(package, folder + "\\" + part), "the joined package is none of its parts");
  std::string whole;
  for (auto part = parts.rbegin(); part != parts.rend(); ++part) {
    const std::string path = folder + "\\" + *part;
    if (ResolvePath(path).empty() || EndsWithBackslash(path)) return;  // no file can have that name
    if (!os::fake::Exists(path)) os::fake::AddFile(path, *part + ";");
    whole += os::fake::Content(path);
  }
  if (JoinPackage(folder, parts, package))
    Check(os::fake::Content(package) == whole, "the package is the parts, the last listed first");
}

}  // namespace trustfuzz
