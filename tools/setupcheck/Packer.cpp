// The packer: checks the folder, writes the archive and the disks (and the
// single file), then installs nothing but proves every byte: the disks'
// parts are joined as the package stage joins them, every entry is tested
// and extracted by our unzip engine and compared with the folder.
#include "tools/setupcheck/Packer.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <set>
#include <stdexcept>
#include <utility>

#include "app/PackageStage.h"
#include "engine/InstallList.h"
#include "engine/SetupState.h"
#include "os/OsFiles.h"
#include "os/fake/FakeCodePageControl.h"
#include "os/fake/FakeControl.h"
#include "os/fake/FakeFileBytes.h"
#include "sfx/SfxTrailer.h"
#include "sys/Folders.h"
#include "sys/PathText.h"
#include "sys/SetupError.h"
#include "sys/TextBytes.h"
#include "tools/setupcheck/DiskLayout.h"
#include "tools/setupcheck/DryRun.h"
#include "tools/setupcheck/HostFolder.h"
#include "tools/setupcheck/OldWindowsCheck.h"
#include "tools/setupcheck/PackageCheck.h"
#include "tools/setupcheck/SeamEngine.h"
#include "tools/setupcheck/SetupCheck.h"
#include "tools/setupcheck/Toolkit.h"
#include "tools/setupcheck/ZipWriter.h"
#include "zip/UNZDLL.h"
#include "zip/ZipMaster.h"

#ifdef _WIN32
#include <direct.h>
#include <process.h>
#define QV_GETPID _getpid
#else
#define QV_GETPID getpid
#endif

namespace {

constexpr char kSource[] = "C:\\SETUP";    // the folder, as the checker reads it
constexpr char kGathered[] = "C:\\DISKS";  // every disk's files, as if all were in the drive at once
constexpr char kSfxProof[] = "C:\\SFXPROOF";
constexpr char kUsage[] =
    "usage: setupcheck --pack OUTDIR [--disk-size SIZE] [--single-file OUT.exe] [--stub SETUPSFX]\n"
    "                  [--method deflate|lzma] [--smallest] [--codepage N] FOLDER\n"
    "\n"
    "Checks FOLDER, then makes OUTDIR (which must not exist yet) with DISK1, DISK2, ... for disks of SIZE\n"
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
    if (HostLstat(folder + "/" + name, info) != 0) return false;
    entries.push_back(HostEntry{name, "", S_ISDIR(info.st_mode), info.st_mtime});
  }
  std::sort(entries.begin(), entries.end(),
            [](const HostEntry& a, const HostEntry& b) { return UpperText(a.name) < UpperText(b.name); });
  return true;
}

// Makes a new folder; false when anything is at the path already.
bool MakeHostFolder(const std::string& path) {
#ifdef _WIN32
  return _mkdir(path.c_str()) == 0;
#else
  return mkdir(path.c_str(), 0777) == 0;
#endif
}

// A new file, created exclusively: nothing at the path is written through or replaced.
class NewHostFile {
 public:
  explicit NewHostFile(const std::string& path)
      : fd_(open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | kBinary, 0666)) {}
  NewHostFile(const NewHostFile&) = delete;
  NewHostFile& operator=(const NewHostFile&) = delete;
  ~NewHostFile() {
    if (fd_ >= 0) close(fd_);
  }
  explicit operator bool() const { return fd_ >= 0; }
  bool Write(const char* data, std::size_t length) {
    while (length > 0) {
      const auto n = write(fd_, data, static_cast<unsigned>(std::min<std::size_t>(length, 1u << 20)));
      if (n <= 0) return false;
      data += n;
      length -= static_cast<std::size_t>(n);
    }
    return true;
  }
  bool Close() { return close(std::exchange(fd_, -1)) == 0; }

 private:
#ifdef O_BINARY
  static constexpr int kBinary = O_BINARY;
#else
  static constexpr int kBinary = 0;
#endif
  int fd_;
};

bool WriteHostFile(const std::string& path, const std::string& content) {
  NewHostFile file(path);
  return file && file.Write(content.data(), content.size()) && file.Close();
}

bool SameName(const std::string& a, const std::string& b) { return UpperText(a) == UpperText(b); }

constexpr std::size_t kCopyBlock = 1u << 16;

// A file's size on the in-memory Windows, without reading it.
std::uint64_t FakeFileSize(const std::string& path) {
  os::FindData found;
  os::UniqueFind find(os::FindFirstFileA(path, found));
  return find ? found.size : 0;
}

// Reads a host file by position, block by block.
class HostReader {
 public:
  explicit HostReader(const std::string& path) : file_(std::fopen(path.c_str(), "rb"), &std::fclose) {}
  explicit operator bool() const { return file_ != nullptr; }
  std::size_t ReadAt(std::uint64_t offset, void* buffer, std::size_t length) {
#ifdef _WIN32
    if (_fseeki64(file_.get(), static_cast<long long>(offset), SEEK_SET) != 0) return 0;
#else
    if (fseeko(file_.get(), static_cast<off_t>(offset), SEEK_SET) != 0) return 0;
#endif
    return std::fread(buffer, 1, length, file_.get());
  }

 private:
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file_;
};

std::uint64_t HostSize(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 ? static_cast<std::uint64_t>(info.st_size) : 0;
}

// Copies length bytes at offset of a host file into a new one, a block at a time.
bool CopyHostRange(HostReader& from, std::uint64_t offset, std::uint64_t length, NewHostFile& to) {
  std::vector<char> block(kCopyBlock);
  while (length > 0) {
    const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(length, block.size()));
    if (from.ReadAt(offset, block.data(), n) != n || !to.Write(block.data(), n)) return false;
    offset += n;
    length -= n;
  }
  return true;
}

// A private folder of the host for the archive being written and the
// in-memory Windows' large files, emptied and removed when the packer ends.
class HostWorkFolder {
 public:
  HostWorkFolder() {
    const char* temp = std::getenv("TMPDIR");
#ifdef _WIN32
    if (!temp) temp = std::getenv("TEMP");
#endif
    const std::string base = std::string(temp && *temp ? temp : "/tmp") + "/setupcheck-";
    for (int n = 0; n < 1000 && path_.empty(); ++n) {
      const std::string candidate = base + std::to_string(QV_GETPID()) + "-" + std::to_string(n);
      if (MakeHostFolder(candidate)) path_ = candidate;
    }
    if (!path_.empty()) os::fake::KeepLargeFilesOnHost(path_);
  }
  HostWorkFolder(const HostWorkFolder&) = delete;
  HostWorkFolder& operator=(const HostWorkFolder&) = delete;
  ~HostWorkFolder() {
    if (path_.empty()) return;
    // The in-memory Windows lets go of its files there first.
    os::fake::Reset();
    os::fake::KeepLargeFilesOnHost("");
    std::remove(Archive().c_str());
    rmdir(path_.c_str());
  }
  bool Made() const { return !path_.empty(); }
  std::string Archive() const { return path_ + "/archive.zip"; }

 private:
  std::string path_;
};

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
  int WriteDisks(const DiskLayout& layout, const std::string& archivePath);
  int ProveDisks(const DiskLayout& layout);
  int WriteSingleFile();
  std::string Bytes(const std::string& name) const {
    return os::fake::Content(std::string(kSource) + "\\" + name);
  }

  const HostEntry* Entry(const std::string& ansi) const {
    auto it = byAnsi_.find(ansi);
    return it == byAnsi_.end() ? nullptr : it->second;
  }

  PackRequest request_;
  std::string programPath_;
  DiskSize disk_;
  std::vector<PackedName> names_;    // the folder's files, setup.lst left out
  std::vector<std::string> extras_;  // :EXTRA of the folder's own setup.lst
  std::vector<HostEntry> entries_;   // by name in the code page
  std::map<std::string, const HostEntry*> byAnsi_;  // entries_ by their name in the code page
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
  if (!hostNames.links.empty()) return Fail(hostNames.links.front() + " " + kLinkMessage);
  // The archive, the disks and the proof name every file as the lists do: in
  // the code page. A file with no name there could not be installed.
  if (!hostNames.unnamed.empty())
    return Fail(hostNames.unnamed.front() + " has no name in code page " + std::to_string(request_.codePage) +
                "; rename it or give the lists' code page with --codepage");
  for (HostEntry& e : entries_)
    if (!AnsiName(e.name, request_.codePage, e.ansi)) return Fail("cannot read the folder " + request_.folder);
  std::sort(entries_.begin(), entries_.end(),
            [](const HostEntry& a, const HostEntry& b) { return UpperText(a.ansi) < UpperText(b.ansi); });
  for (const HostEntry& e : entries_) byAnsi_[e.ansi] = &e;
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
  // Asked of the folder itself: the in-memory Windows runs a setup.exe of its own in kSource.
  for (const char* needed : {kSetupProgramFile, kUnzDllFileName})
    if (std::none_of(entries_.begin(), entries_.end(), [&](const HostEntry& e) { return SameName(e.ansi, needed); }))
      return Fail(std::string(needed) + " is not in the folder; disk 1 needs it beside the package");
  return 0;
}

int Packer::WriteDisks(const DiskLayout& layout, const std::string& archivePath) {
  HostReader archive(archivePath);
  if (!archive) return Fail("cannot read back the archive " + archivePath);
  if (!MakeHostFolder(request_.outDir))
    return Fail("cannot create the folder " + request_.outDir +
                "; the disks are written into a new folder, which the packer makes itself (is one there already?)");
  for (const DiskPlan& plan : layout.disks) {
    const std::string folder = request_.outDir + "/DISK" + std::to_string(plan.number);
    if (!MakeHostFolder(folder)) return Fail("cannot create the folder " + folder);
    for (const std::string& name : plan.files) {
      // On the disk the file has the host's name, which reads back as the code page's.
      const HostEntry* entry = Entry(name);
      const std::string path = folder + "/" + (entry ? entry->name : name);
      bool written = false;
      if (name == plan.part) {
        NewHostFile part(path);
        written = part && CopyHostRange(archive, plan.partOffset, plan.partSize, part) && part.Close();
      } else {
        written = WriteHostFile(path, name == kPackageListFile
                                          ? PackageListText(extras_, static_cast<int>(layout.disks.size()))
                                          : Bytes(name));
      }
      if (!written) return Fail("cannot write " + path);
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
  const std::string engine = Bytes(kUnzDllFileName);
  NewHostFile out(request_.singleFile);
  if (!out)
    return Fail("cannot write " + request_.singleFile + " (the packer writes only a new file: is one there already?)");
  // The stub, the engine and the archive of every file, written as they are made.
  bool writing = out.Write(stub.data(), stub.size()) && out.Write(engine.data(), engine.size());
  std::uint32_t crc = sfx::Crc32(0, engine.data(), engine.size());
  ZipStreamWriter archive(
      [&](const std::string& bytes) {
        writing = writing && out.Write(bytes.data(), bytes.size());
        crc = sfx::Crc32(crc, bytes.data(), bytes.size());
      },
      request_.zip);
  std::size_t files = 0;
  for (const HostEntry& e : entries_) {
    if (SameName(e.ansi, kPackageListFile)) continue;
    archive.Add(ZipSource{e.ansi, Bytes(e.ansi), DosDateTimeOf(e.modified)});
    ++files;
  }
  archive.Finish();
  const std::uint64_t total = std::uint64_t{stub.size()} + engine.size() + archive.Written() + sfx::kTrailerSize;
  if (total >= 0x80000000ull) return Fail("the single file would be larger than 2 GB");
  const std::string trailer =
      sfx::MakeTrailer(static_cast<std::uint32_t>(stub.size()), static_cast<std::uint32_t>(engine.size()),
                       static_cast<std::uint32_t>(archive.Written()), crc);
  if (!writing || !out.Write(trailer.data(), trailer.size()) || !out.Close())
    return Fail("cannot write " + request_.singleFile);

  // Read back as the stub reads itself, and extracted by our engine from the download itself.
  HostReader written(request_.singleFile);
  const std::uint64_t size = HostSize(request_.singleFile);
  if (!written || !sfx::CheckDownload(size, [&written](std::uint64_t at, void* buffer, std::size_t n) {
                     return written.ReadAt(at, buffer, n);
                   }).Sound())
    return Fail("proof failed: " + request_.singleFile + " does not read back whole");
  const std::string work = std::string(kSfxProof) + "\\SETUP";
  ForceFolders(work);
  ForceFolders(std::string(kSfxProof) + "\\ENGINE");
  InstallSeamEngine(std::string(kSfxProof) + "\\ENGINE\\UNZDLL.DLL");
  os::fake::AddHostFile(std::string(kSfxProof) + "\\download.exe", request_.singleFile, size);
  zip::TZipMaster zip;
  zip.Unattended = true;
  zip.SetDLLDirectory(std::string(kSfxProof) + "\\ENGINE");
  zip.SetZipFileName(std::string(kSfxProof) + "\\download.exe");
  zip.ExtrBaseDir = work;
  zip.ExtrOptions = zip::ExtrOpts{zip::ExtrOptsEnum::ExtrOverWrite};
  zip.ExtractFiles();
  std::vector<std::string> problems;
  if (zip.SuccessCount() != static_cast<int>(files))
    problems.push_back("the engine extracted " + std::to_string(zip.SuccessCount()) + " of " +
                       std::to_string(files) + " files");
  for (const std::string& p : CompareWithFolder(names_, request_.folder, work, "")) problems.push_back(p);
  if (!problems.empty()) {
    for (const std::string& p : problems) std::fprintf(stderr, "setupcheck: proof failed: %s\n", p.c_str());
    return Fail(request_.singleFile + " does not hold what " + request_.folder + " holds");
  }
  std::printf(
      "single file %s: %s bytes (stub %s, engine %s, archive %s); extracted by the engine, %zu files "
      "identical\n",
      request_.singleFile.c_str(), Thousands(size).c_str(), Thousands(stub.size()).c_str(),
      Thousands(engine.size()).c_str(), Thousands(archive.Written()).c_str(), names_.size());
  return 0;
}

int Packer::Run() {
  disk_ = *ParseDiskSize(request_.diskSize);
  // Large files stay on the host's disk and pass through memory one at a time.
  const HostWorkFolder workFolder;
  if (!workFolder.Made()) return Fail("cannot make a folder for the packer's work in the temporary folder");
  if (int failed = Check()) return failed;
  try {
    // The archive: setup.ini first, then the other files by name.
    std::vector<const HostEntry*> packed;
    std::vector<LooseFile> loose;
    for (const HostEntry& e : entries_) {
      if (SameName(e.ansi, kPackageListFile)) continue;
      if (StaysLoose(e.ansi, extras_))
        loose.push_back(LooseFile{e.ansi, FakeFileSize(std::string(kSource) + "\\" + e.ansi)});
      else
        packed.push_back(&e);
    }
    std::stable_partition(packed.begin(), packed.end(),
                          [](const HostEntry* e) { return SameName(e->ansi, "setup.ini"); });
    NewHostFile archiveFile(workFolder.Archive());
    bool writing = static_cast<bool>(archiveFile);
    ZipStreamWriter archive(
        [&](const std::string& bytes) { writing = writing && archiveFile.Write(bytes.data(), bytes.size()); },
        request_.zip);
    for (const HostEntry* e : packed) archive.Add(ZipSource{e->ansi, Bytes(e->ansi), DosDateTimeOf(e->modified)});
    archive.Finish();
    if (!writing || !archiveFile.Close()) return Fail("cannot write the archive " + workFolder.Archive());
    const std::uint64_t archiveSize = archive.Written();
    const DiskLayout layout = LayOutDisks(disk_, loose, archiveSize, [&](int parts) {
      return static_cast<std::uint64_t>(PackageListText(extras_, parts).size());
    });
    if (layout.disks.empty())
      return Fail("cannot pack for disks of " + request_.diskSize + ": " + layout.error);
    if (int failed = WriteDisks(layout, workFolder.Archive())) return failed;
    std::remove(workFolder.Archive().c_str());  // the proof reads the disks back
    if (int failed = ProveDisks(layout)) return failed;
    std::printf("%s packed into %s: %zu files, archive %s bytes, %zu disk%s of %s bytes\n",
                request_.folder.c_str(), request_.outDir.c_str(), names_.size(),
                Thousands(archiveSize).c_str(), layout.disks.size(), layout.disks.size() == 1 ? "" : "s",
                Thousands(disk_.capacity).c_str());
    std::printf(
        "proved: the parts joined as setup.exe joins them, %zu entries tested and extracted by the unzip "
        "engine, every file identical to the folder's\n\n",
        packed.size());
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
  if (SameName(name, kUnzDllFileName)) return true;
  for (const char* loose : kProgramFolderFiles)
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
  std::set<std::string> known;
  for (const PackedName& name : names) known.insert(UpperText(name.ansi));
  for (const std::string& name : os::fake::List(extracted))
    if (!known.count(UpperText(name))) problems.push_back(name + " came out but is not in the folder");
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
