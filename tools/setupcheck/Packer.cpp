// The packer: checks the folder, writes the archive and the disks (and the
// single file), then installs nothing but proves every byte: the disks'
// parts are joined as the package stage joins them, every entry is tested
// and extracted by our unzip engine and compared with the folder.
#include "tools/setupcheck/Packer.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <stdexcept>

#include "app/PackageStage.h"
#include "engine/InstallList.h"
#include "os/OsFiles.h"
#include "os/fake/FakeCodePageControl.h"
#include "os/fake/FakeControl.h"
#include "sfx/SfxTrailer.h"
#include "sys/Folders.h"
#include "sys/PathText.h"
#include "sys/TextBytes.h"
#include "sys/SetupError.h"
#include "tools/setupcheck/DiskLayout.h"
#include "tools/setupcheck/DryRun.h"
#include "tools/setupcheck/HostFolder.h"
#include "tools/setupcheck/OldWindowsCheck.h"
#include "tools/setupcheck/PackageCheck.h"
#include "tools/setupcheck/SeamEngine.h"
#include "tools/setupcheck/SetupCheck.h"
#include "tools/setupcheck/Toolkit.h"
#include "tools/setupcheck/ZipWriter.h"
#include "zip/ZipMaster.h"

#ifdef _WIN32
#include <direct.h>
#endif

namespace {

constexpr char kSource[] = "C:\\SETUP";    // the folder, as the checker reads it
constexpr char kGathered[] = "C:\\DISKS";  // every disk's files, as if all were in the drive at once
constexpr char kSfxProof[] = "C:\\SFXPROOF";
constexpr char kUsage[] =
    "usage: setupcheck --pack OUTDIR [--disk-size SIZE] [--single-file OUT.exe] [--stub SETUPSFX]\n"
    "                  [--method deflate|lzma] [--smallest] [--codepage N] FOLDER\n"
    "\n"
    "Checks FOLDER, then writes OUTDIR/DISK1, OUTDIR/DISK2, ... for disks of SIZE\n"
    "(360K, 720K, 1.2M, 1.44M, 2.88M, 650M for a CD, or a byte count; 1.44M when\n"
    "not given), joins and extracts them as setup.exe would and compares the result\n"
    "with FOLDER. --single-file also writes one program for a download, made from\n"
    "setupsfx.exe (found beside setupcheck unless --stub names it). --codepage N:\n"
    "the Windows ANSI code page the lists are written in (1252 when not given).\n"
    "--method lzma: LZMA entries (zip method 14) where smaller than deflate, with a\n"
    "dictionary the oldest Windows of the list's :OS range decodes (1 MB from the\n"
    "Windows 95 family, 4 MB otherwise); 7-Zip and libarchive read them, not\n"
    "Info-ZIP. --smallest: an exhaustive deflate search (the smaller of it and\n"
    "zlib's best), or LZMA's slowest settings; many times slower.\n";

// The files that must stay beside setup.exe: the program, its unzip engine
// and the marker files, which it looks for in its own folder.
constexpr const char* kAlwaysLoose[] = {"setup.exe",   "UNZDLL.DLL", "autoin.dat",
                                        "autorun.dat", "batch.dat",  "_presnt.ex_"};

int Usage(const std::string& problem) {
  if (!problem.empty()) std::fprintf(stderr, "setupcheck: %s\n", problem.c_str());
  std::fputs(kUsage, stderr);
  return 2;
}

int Fail(const std::string& problem) {
  std::fprintf(stderr, "setupcheck: %s\n", problem.c_str());
  return 1;
}

struct HostEntry {
  std::string name;  // as the host names it; see ansi
  std::string ansi;  // in the code page, once converted
  bool folder = false;
  std::time_t modified = 0;
};

// The entries of a folder on the machine the tool runs on, by name.
bool ListHost(const std::string& folder, std::vector<HostEntry>& entries) {
  std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(folder.c_str()), &closedir);
  if (!dir) return false;
  while (dirent* entry = readdir(dir.get())) {
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    struct stat info {};
    if (stat((folder + "/" + name).c_str(), &info) != 0) return false;
    entries.push_back(HostEntry{name, "", S_ISDIR(info.st_mode), info.st_mtime});
  }
  std::sort(entries.begin(), entries.end(),
            [](const HostEntry& a, const HostEntry& b) { return UpperText(a.name) < UpperText(b.name); });
  return true;
}

bool MakeHostFolder(const std::string& path) {
#ifdef _WIN32
  _mkdir(path.c_str());
#else
  mkdir(path.c_str(), 0777);
#endif
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool WriteHostFile(const std::string& path, const std::string& content) {
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "wb"), &std::fclose);
  if (!file) return false;
  if (std::fwrite(content.data(), 1, content.size(), file.get()) != content.size()) return false;
  return std::fclose(file.release()) == 0;
}

bool SameName(const std::string& a, const std::string& b) { return UpperText(a) == UpperText(b); }

// The package list: the loose extra files and the parts, disk 1's first.
std::string PackageListText(const std::vector<std::string>& extras, int parts) {
  std::string text;
  if (!extras.empty()) {
    text += ":EXTRA\r\n";
    for (const std::string& extra : extras) text += extra + "\r\n";
    text += ":\r\n";
  }
  text += ":PACKAGE\r\n";
  for (int n = 1; n <= parts; ++n) text += PartName(n) + "\r\n";
  return text + ":\r\n";
}

std::string FindStub(const PackRequest& request, const std::string& programPath) {
  if (!request.stub.empty()) return request.stub;
  const std::string found = FindProduct("setupsfx.exe", programPath);
  return found.empty() ? "setupsfx.exe" : found;
}

std::string Thousands(std::uint64_t n) {
  std::string digits = std::to_string(n), out;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i && (digits.size() - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  return out;
}

class Packer {
 public:
  Packer(PackRequest request, std::string programPath)
      : request_(std::move(request)), programPath_(std::move(programPath)) {}
  int Run();

 private:
  int Check();
  int WriteDisks(const DiskLayout& layout, const std::string& archive);
  int ProveDisks(const DiskLayout& layout);
  int WriteSingleFile();
  std::string Bytes(const std::string& name) const {
    return os::fake::Content(std::string(kSource) + "\\" + name);
  }

  const HostEntry* Entry(const std::string& ansi) const {
    for (const HostEntry& e : entries_)
      if (e.ansi == ansi) return &e;
    return nullptr;
  }

  PackRequest request_;
  std::string programPath_;
  DiskSize disk_;
  std::vector<PackedName> names_;    // the folder's files, setup.lst left out
  std::vector<std::string> extras_;  // :EXTRA of the folder's own setup.lst
  std::vector<HostEntry> entries_;   // by name in the code page
};

int Packer::Check() {
  PrepareWindows("WIN_XP");
  // The in-memory Windows plays the lists' code page, so that the engine and
  // the join keep double-byte names whole as Setup does on such a system.
  os::fake::SetAnsiCodePage(static_cast<std::uint32_t>(request_.codePage));
  LoadSystemLeadBytes();
  HostNames hostNames;
  hostNames.codePage = request_.codePage;
  if (!ListHost(request_.folder, entries_) || !MirrorHostFolder(request_.folder, kSource, hostNames))
    return Fail("cannot read the folder " + request_.folder);
  // The archive, the disks and the proof name every file as the lists do: in
  // the code page. A file with no name there could not be installed.
  if (!hostNames.unnamed.empty())
    return Fail(hostNames.unnamed.front() + " has no name in code page " + std::to_string(request_.codePage) +
                "; rename it or give the lists' code page with --codepage");
  for (HostEntry& e : entries_)
    if (!AnsiName(e.name, request_.codePage, e.ansi)) return Fail("cannot read the folder " + request_.folder);
  std::sort(entries_.begin(), entries_.end(),
            [](const HostEntry& a, const HostEntry& b) { return UpperText(a.ansi) < UpperText(b.ansi); });
  for (const HostEntry& e : entries_)
    if (e.folder)
      return Fail("the folder holds the sub-folder " + e.name +
                  "; the package stage extracts every file into one folder, so a setup folder has none");
  // A setup.lst beside the files names the ones that stay loose; it must not
  // be a package list already.
  const std::string list = std::string(kSource) + "\\setup.lst";
  if (FileFound(list)) {
    TSetupList packageList;
    packageList.Load(list);
    if (packageList.Has(Header::kPackage))
      return Fail("setup.lst has a :PACKAGE section: " + request_.folder +
                  " is packed already; pack the folder of loose files");
    if (packageList.Has(Header::kExtra)) {
      try {
        extras_ = ReadSection(packageList, Header::kExtra);
      } catch (const SetupError&) {
        return Fail("setup.lst: the section :EXTRA has no terminator line");
      }
    }
    os::DeleteFileA(list);
  }
  for (const HostEntry& e : entries_)
    if (!SameName(e.ansi, "setup.lst")) names_.push_back(PackedName{e.name, e.ansi});
  const std::vector<Finding> findings = CheckSetupFolder(kSource);
  for (const Finding& f : findings) std::printf("%s\n", FormatFinding(f).c_str());
  if (HasErrors(findings)) return 1;
  for (const std::string& extra : extras_)
    if (!StaysInside(extra) || NextSeparator(extra, "\\/") != std::string::npos ||
        !FileFound(std::string(kSource) + "\\" + extra))
      return Fail("setup.lst: the extra file " + extra + " is not in the folder");
  if (request_.zip.method == ZipMethod::kLzma) {
    TSetupList setupList;
    setupList.Load(std::string(kSource) + "\\setup.ini");
    request_.zip.lzmaDictionary = LzmaDictionaryFor(setupList);
  }
  for (const char* needed : {"setup.exe", "UNZDLL.DLL"})
    if (!FileFound(std::string(kSource) + "\\" + needed))
      return Fail(std::string(needed) + " is not in the folder; disk 1 needs it beside the package");
  return 0;
}

int Packer::WriteDisks(const DiskLayout& layout, const std::string& archive) {
  if (!MakeHostFolder(request_.outDir)) return Fail("cannot create the folder " + request_.outDir);
  std::vector<HostEntry> present;
  if (!ListHost(request_.outDir, present) || !present.empty())
    return Fail(request_.outDir + " is not empty; the disks are written into a new or empty folder");
  for (const DiskPlan& plan : layout.disks) {
    const std::string folder = request_.outDir + "/DISK" + std::to_string(plan.number);
    if (!MakeHostFolder(folder)) return Fail("cannot create the folder " + folder);
    for (const std::string& name : plan.files) {
      std::string content;
      if (name == plan.part)
        content = archive.substr(plan.partOffset, plan.partSize);
      else if (name == "setup.lst")
        content = PackageListText(extras_, static_cast<int>(layout.disks.size()));
      else
        content = Bytes(name);
      // On the disk the file has the host's name, which reads back as the code page's.
      const HostEntry* entry = Entry(name);
      const std::string hostName = entry ? entry->name : name;
      if (!WriteHostFile(folder + "/" + hostName, content))
        return Fail("cannot write " + folder + "/" + hostName);
    }
  }
  return 0;
}

int Packer::ProveDisks(const DiskLayout& layout) {
  // Every disk's files read back side by side, as the package check wants them.
  for (const DiskPlan& plan : layout.disks) {
    HostNames hostNames;
    hostNames.codePage = request_.codePage;
    if (!MirrorHostFolder(request_.outDir + "/DISK" + std::to_string(plan.number), kGathered, hostNames) ||
        !hostNames.unnamed.empty())
      return Fail("cannot read back " + request_.outDir);
  }
  TSetupList packageList;
  packageList.Load(std::string(kGathered) + "\\setup.lst");
  std::vector<Finding> findings;
  const std::string extracted = CheckPackage(packageList, kGathered, findings);
  std::vector<std::string> problems;
  for (const Finding& f : findings) problems.push_back(FormatFinding(f));
  if (!extracted.empty())
    for (const std::string& p : CompareWithFolder(names_, request_.folder, extracted, kGathered))
      problems.push_back(p);
  if (!problems.empty()) {
    for (const std::string& p : problems) std::fprintf(stderr, "setupcheck: proof failed: %s\n", p.c_str());
    return Fail("the disks in " + request_.outDir + " do not install what " + request_.folder +
                " holds; do not ship them");
  }
  return 0;
}

int Packer::WriteSingleFile() {
  const std::string stubPath = FindStub(request_, programPath_);
  std::string stub;
  if (!ReadHostFile(stubPath, stub) || stub.size() < 2 || stub.compare(0, 2, "MZ") != 0)
    return Fail("cannot read the stub program " + stubPath + " (setupsfx.exe)");
  std::vector<ZipSource> files;
  for (const HostEntry& e : entries_)
    if (!SameName(e.ansi, "setup.lst"))
      files.push_back(ZipSource{e.ansi, Bytes(e.ansi), DosDateTimeOf(e.modified)});
  const std::string engine = Bytes("UNZDLL.DLL");
  const std::string archive = WriteZip(files, request_.zip);
  const std::uint64_t total = std::uint64_t{stub.size()} + engine.size() + archive.size() + sfx::kTrailerSize;
  if (total >= 0x80000000ull) return Fail("the single file would be larger than 2 GB");
  std::uint32_t crc = sfx::Crc32(0, engine.data(), engine.size());
  crc = sfx::Crc32(crc, archive.data(), archive.size());
  const std::string out =
      stub + engine + archive +
      sfx::MakeTrailer(static_cast<std::uint32_t>(stub.size()), static_cast<std::uint32_t>(engine.size()),
                       static_cast<std::uint32_t>(archive.size()), crc);
  if (!WriteHostFile(request_.singleFile, out)) return Fail("cannot write " + request_.singleFile);

  // Read back as the stub reads itself, and extracted by our engine.
  std::string written;
  sfx::Payload payload;
  if (!ReadHostFile(request_.singleFile, written) ||
      sfx::ReadTrailer(written.size(), written.substr(written.size() - sfx::kTrailerSize), payload) !=
          sfx::TrailerStatus::Ok ||
      sfx::Crc32(0, written.data() + payload.engineOffset, payload.engineSize + payload.archiveSize) !=
          payload.crc)
    return Fail("proof failed: " + request_.singleFile + " does not read back whole");
  const std::string work = std::string(kSfxProof) + "\\SETUP";
  ForceFolders(work);
  ForceFolders(std::string(kSfxProof) + "\\ENGINE");
  InstallSeamEngine(std::string(kSfxProof) + "\\ENGINE\\UNZDLL.DLL");
  os::fake::AddFile(std::string(kSfxProof) + "\\setup.zip",
                    written.substr(payload.archiveOffset, payload.archiveSize));
  zip::TZipMaster zip;
  zip.Unattended = true;
  zip.SetDLLDirectory(std::string(kSfxProof) + "\\ENGINE");
  zip.SetZipFileName(std::string(kSfxProof) + "\\setup.zip");
  zip.ExtrBaseDir = work;
  zip.ExtrOptions = zip::ExtrOpts{zip::ExtrOptsEnum::ExtrOverWrite};
  zip.ExtractFiles();
  std::vector<std::string> problems;
  if (zip.SuccessCount() != static_cast<int>(files.size()))
    problems.push_back("the engine extracted " + std::to_string(zip.SuccessCount()) + " of " +
                       std::to_string(files.size()) + " files");
  for (const std::string& p : CompareWithFolder(names_, request_.folder, work, "")) problems.push_back(p);
  if (!problems.empty()) {
    for (const std::string& p : problems) std::fprintf(stderr, "setupcheck: proof failed: %s\n", p.c_str());
    return Fail(request_.singleFile + " does not hold what " + request_.folder + " holds");
  }
  std::printf(
      "single file %s: %s bytes (stub %s, engine %s, archive %s); extracted by the engine, %zu files "
      "identical\n",
      request_.singleFile.c_str(), Thousands(out.size()).c_str(), Thousands(stub.size()).c_str(),
      Thousands(engine.size()).c_str(), Thousands(archive.size()).c_str(), names_.size());
  return 0;
}

int Packer::Run() {
  disk_ = *ParseDiskSize(request_.diskSize);
  if (int failed = Check()) return failed;
  try {
    // The archive: setup.ini first, then the other files by name.
    std::vector<ZipSource> files;
    std::vector<LooseFile> loose;
    for (const HostEntry& e : entries_) {
      if (SameName(e.ansi, "setup.lst")) continue;
      if (StaysLoose(e.ansi, extras_))
        loose.push_back(LooseFile{e.ansi, Bytes(e.ansi).size()});
      else
        files.push_back(ZipSource{e.ansi, Bytes(e.ansi), DosDateTimeOf(e.modified)});
    }
    std::stable_partition(files.begin(), files.end(),
                          [](const ZipSource& f) { return SameName(f.name, "setup.ini"); });
    std::string archive = WriteZip(files, request_.zip);
    const std::uint64_t archiveSize = archive.size();
    const DiskLayout layout = LayOutDisks(disk_, loose, archiveSize, [&](int parts) {
      return static_cast<std::uint64_t>(PackageListText(extras_, parts).size());
    });
    if (layout.disks.empty())
      return Fail("cannot pack for disks of " + request_.diskSize + ": " + layout.error);
    if (int failed = WriteDisks(layout, archive)) return failed;
    std::string().swap(archive);  // the proof reads the disks back: a CD's worth need not be held twice
    if (int failed = ProveDisks(layout)) return failed;
    std::printf("%s packed into %s: %zu files, archive %s bytes, %zu disk%s of %s bytes\n",
                request_.folder.c_str(), request_.outDir.c_str(), names_.size(),
                Thousands(archiveSize).c_str(), layout.disks.size(), layout.disks.size() == 1 ? "" : "s",
                Thousands(disk_.capacity).c_str());
    std::printf(
        "proved: the parts joined as setup.exe joins them, %zu entries tested and extracted by the unzip "
        "engine, every file identical to the folder's\n\n",
        files.size());
    std::printf("disk  files          bytes           free\n");
    for (const DiskPlan& plan : layout.disks)
      std::printf("%4d  %5zu  %13s  %13s\n", plan.number, plan.files.size(), Thousands(plan.used).c_str(),
                  Thousands(plan.free).c_str());
    if (!request_.singleFile.empty()) {
      std::printf("\n");
      return WriteSingleFile();
    }
    return 0;
  } catch (const std::exception& e) {
    return Fail(e.what());
  }
}

}  // namespace

bool StaysLoose(const std::string& name, const std::vector<std::string>& extras) {
  for (const char* loose : kAlwaysLoose)
    if (SameName(name, loose)) return true;
  return std::any_of(extras.begin(), extras.end(), [&](const std::string& e) { return SameName(e, name); });
}

std::vector<std::string> CompareWithFolder(const std::vector<PackedName>& names, const std::string& hostFolder,
                                           const std::string& extracted, const std::string& loose) {
  std::vector<std::string> problems;
  for (const PackedName& name : names) {
    const bool fromDisk1 = !loose.empty() && StaysLoose(name.ansi, {});
    const std::string copy = (fromDisk1 ? loose : extracted) + "\\" + name.ansi;
    std::string original;
    if (!ReadHostFile(hostFolder + "/" + name.host, original))
      problems.push_back(name.host + " cannot be read again");
    else if (!os::fake::Exists(copy))
      problems.push_back(name.host + " did not come out");
    else if (os::fake::Content(copy) != original)
      problems.push_back(name.host + " came out different");
  }
  for (const std::string& name : os::fake::List(extracted)) {
    const bool known = std::any_of(names.begin(), names.end(),
                                   [&](const PackedName& n) { return SameName(n.ansi, name); });
    if (!known) problems.push_back(name + " came out but is not in the folder");
  }
  return problems;
}

bool IsPackCommand(const std::vector<std::string>& args) {
  return std::find(args.begin(), args.end(), "--pack") != args.end();
}

int PackMain(const std::vector<std::string>& args, const std::string& programPath) {
  PackRequest request;
  for (const std::string& a : args)
    if (a == "--help" || a == "-h") return Usage(""), 0;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--pack" || a == "--disk-size" || a == "--single-file" || a == "--stub" || a == "--codepage") {
      if (i + 1 >= args.size()) return Usage(a + " needs a value");
      const std::string& value = args[++i];
      if (a == "--pack") request.outDir = value;
      if (a == "--disk-size") request.diskSize = value;
      if (a == "--single-file") request.singleFile = value;
      if (a == "--stub") request.stub = value;
      if (a == "--codepage" && !ParseCodePage(value, request.codePage))
        return Usage("unknown code page \"" + value + "\"");
    } else if (a == "--method") {
      const std::string value = i + 1 < args.size() ? args[++i] : "";
      if (value != "deflate" && value != "lzma") return Usage("--method wants deflate or lzma");
      request.zip.method = value == "lzma" ? ZipMethod::kLzma : ZipMethod::kDeflate;
    } else if (a == "--smallest") {
      request.zip.smallest = true;
    } else if (request.folder.empty() && !a.empty() && a[0] != '-') {
      request.folder = a;
    } else {
      return Usage("unexpected argument \"" + a + "\"");
    }
  }
  if (request.folder.empty()) return Usage("no setup folder given");
  if (request.outDir.empty()) return Usage("--pack needs the folder for the disks");
  if (!ParseDiskSize(request.diskSize)) return Usage("unknown disk size \"" + request.diskSize + "\"");
  return Packer(request, programPath).Run();
}
