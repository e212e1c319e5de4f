// The package stage: the parts of a zip install package are joined from
// the setup disks, each straight from its disk into the one package file in
// a temporary folder, extracted there and overlaid with loose extra files;
// that folder becomes SetupDir.
#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "app/PackageStage.h"

#include "app/CopyWindow.h"
#include "app/SetupMessages.h"
#include "app/WizardForm.h"
#include "engine/SetupState.h"
#include "os/OsDisk.h"
#include "os/OsFiles.h"
#include "sys/Dialogs.h"
#include "sys/Folders.h"
#include "sys/PathText.h"
#include "sys/ResolvedPath.h"
#include "sys/TextBytes.h"

namespace {

constexpr int kMaxTempFolders = 9999;  // names tried before the stage gives up
constexpr char kDecompressError[] = "Error decompressing install package.";
constexpr std::uint64_t kMegabyte = 1 << 20;

// Copies `length` bytes of `in` to `out` at their current positions in blocks of 64 KB; false
// when a block could not be read or written whole. (A package of hundreds of megabytes in blocks
// of 2048 bytes costs a hundred thousand calls each way.)
bool CopyBlocks(os::Handle in, os::Handle out, std::uint64_t length) {
  std::vector<char> block(64 * 1024);
  while (length > 0) {
    const auto want = static_cast<std::uint32_t>(std::min<std::uint64_t>(length, block.size()));
    std::uint32_t read = 0, written = 0;
    if (!os::ReadFile(in, block.data(), want, read) || read != want) return false;
    if (!os::WriteFile(out, block.data(), read, written) || written != read) return false;
    length -= read;
  }
  return true;
}

}  // namespace

bool StaysInside(const std::string& name) {
  if (name.empty() || name[0] == '\\' || name[0] == '/' || name.find(':') != std::string::npos) return false;
  // A name of nothing but ".", "..." and blanks is the folder itself: Windows
  // drops the periods and blanks that end a name.
  bool namesFile = false;
  for (size_t start = 0;;) {
    const size_t end = NextSeparator(name, "\\/", start);
    const std::string part = name.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (part == "..") return false;
    namesFile = namesFile || part.find_first_not_of(". ") != std::string::npos;
    if (end == std::string::npos) return namesFile;
    start = end + 1;
  }
}

std::string PackagePath(const std::string& folder, const std::vector<std::string>& parts) {
  // A package named like one of the parts would overwrite it: it gets a name of its own then.
  // Named as Windows reads names: "a.zip." and "a.zip" are one file.
  auto isPart = [&](const std::string& path) {
    for (const std::string& part : parts)
      if (SameTextIgnoringCase(path, folder + "\\" + part) || SamePlace(path, folder + "\\" + part)) return true;
    return false;
  };
  std::string package = folder + "\\" + ChangeFileExt(parts[0], ".zip");
  for (int n = 1; isPart(package); ++n)
    package = folder + "\\" + ChangeFileExt(parts[0], "") + "-package" + (n > 1 ? std::to_string(n) : "") + ".zip";
  return package;
}

std::optional<PackageSizes> SurveyPackage(const std::string& lastPart) {
  zip::TZipMaster survey;
  survey.Unattended = true;  // a part without an end is the stage's to report
  survey.SetZipFileName(lastPart);
  PackageSizes sizes;
  sizes.package = survey.DeclaredArchiveSize();
  if (sizes.package == 0) return std::nullopt;
  sizes.directoryRead = survey.ErrorCode() == 0;
  for (const zip::ZipDirEntry& entry : survey.Contents()) sizes.extracted += entry.UncompressedSize;
  return sizes;
}

bool PlacePart(os::Handle package, const std::string& source, std::uint64_t& end) {
  os::UniqueFile in(os::CreateFileA(source, os::Access::Read, os::Disposition::OpenExisting));
  std::uint64_t size = 0;
  if (!in || !os::GetFileSize(in.get(), size) || size > end) return false;
  if (!os::SetFilePointer(package, end - size) || !CopyBlocks(in.get(), package, size)) return false;
  end -= size;
  return true;
}

bool JoinPackage(const std::string& folder, const std::vector<std::string>& parts, const std::string& package) {
  std::uint64_t total = 0;
  for (const std::string& part : parts) {
    os::UniqueFile in(os::CreateFileA(folder + "\\" + part, os::Access::Read, os::Disposition::OpenExisting));
    std::uint64_t size = 0;
    if (!in || !os::GetFileSize(in.get(), size)) return false;
    total += size;
  }
  os::UniqueFile out(os::CreateFileA(package, os::Access::Write, os::Disposition::CreateNew));
  bool placed = static_cast<bool>(out);
  std::uint64_t end = total;
  for (auto part = parts.begin(); placed && part != parts.end(); ++part) placed = PlacePart(out.get(), folder + "\\" + *part, end);
  const bool whole = placed && end == 0;
  out.reset();
  if (!whole) os::DeleteFileA(package);  // a half-joined package is never extracted
  return whole;
}

void TfSetup::CancelStartUp() {
  Shared().Outcome = RunOutcome::Cancelled;
  PostSetupMessage(application_, AbortSetup);
}

// From a floppy the user confirms first.
bool TfSetup::ConfirmFloppyInstall() {
  const std::string& from = Shared().SetupDir;
  if (from.empty() || (from[0] != 'A' && from[0] != 'a')) return true;
  std::string credits = os::GetWindowTextA(mCopyRight);
  if (OkCancelBox("This program will install " + credits.substr(0, credits.find_first_of("\r\n")))) return true;
  CancelStartUp();
  return false;
}

// Asks with `prompt` until the part is there; false when the user cancels.
bool TfSetup::AwaitPart(const std::string& path, const std::string& prompt) {
  while (!FileFound(path)) {
    if (!InfoOkCancelBox(prompt)) {
      CancelStartUp();
      return false;
    }
  }
  return true;
}

// Nothing is written before the package's declared sizes are known to fit: a shortage found
// half-way would end the setup late, with the disks changed for nothing.
bool TfSetup::EnoughTemporarySpace(const std::string& folder, std::uint64_t bytes) {
  std::uint64_t freeBytes = 0, totalBytes = 0;
  if (folder.size() < 3 || folder[1] != ':') return true;  // a network folder does not say
  if (!os::GetDiskFreeSpaceExA(folder.substr(0, 3), freeBytes, totalBytes) || freeBytes >= bytes) return true;
  const std::uint64_t megabytes = (bytes + kMegabyte - 1) / kMegabyte;
  Abort("There is not enough free disk space to unpack the install package: Setup needs " +
        std::to_string(megabytes) + " MB free in " + folder + ".");
  Shared().Outcome = RunOutcome::Failed;
  return false;
}

// Loose extra files wait in EXTRA until the package is out. A name that would reach outside the
// folders is passed over.
std::vector<std::string> TfSetup::KeepExtraFiles(const std::string& temp) {
  std::vector<std::string> extras;
  if (!lbSetup.Has(Header::kExtra)) return extras;
  os::CreateDirectoryA(temp + "\\EXTRA");
  for (const std::string& extra : ReadSection(lbSetup, Header::kExtra)) {
    if (!StaysInside(extra)) continue;
    extras.push_back(extra);
    std::string kept = temp + "\\EXTRA\\" + extra;
    if (FileFound(kept)) os::SetFileAttributesA(kept, os::kAttrNormal);
    os::CopyFileA(Shared().SetupDir + "\\" + extra, kept, false);  // a failed copy is passed over
    os::SetFileAttributesA(kept, os::kAttrArchive);
  }
  return extras;
}

// Every part from its disk, the user asked for each disk in turn, written straight into its place
// in the package: the first-listed part is the package's end, the last-listed its beginning.
bool TfSetup::GatherPackage(const std::vector<std::string>& parts, std::uint64_t packageBytes,
                            const std::string& package) {
  const std::string& from = Shared().SetupDir;
  os::UniqueFile out(os::CreateFileA(package, os::Access::Write, os::Disposition::CreateNew));
  if (!out) return Abort("Could not create temporary install files"), false;
  bool placed = true;
  std::uint64_t end = packageBytes;
  for (size_t i = 0; i < parts.size() && placed; ++i) {
    if (!AwaitPart(from + "\\" + parts[i], "Please insert setup disk number " + std::to_string(i + 1))) return false;
    placed = PlacePart(out.get(), from + "\\" + parts[i], end);
  }
  out.reset();
  // Parts that do not add up to the declared size are not the package's.
  if (!placed || end != 0) {
    os::DeleteFileA(package);
    return Abort(kDecompressError), false;
  }
  // The first disk back in the drive: the program and its unzip engine are on it.
  return AwaitPart(from + "\\" + parts[0], "Please re-insert setup disk number 1");
}

// The package extracted into the temporary folder, in a copy window of its own. False when a file
// could not be extracted whole (a damaged part, a failed check sum): the install run would copy
// the rest and call that complete.
bool TfSetup::ExtractPackage(const std::string& package, const std::string& temp) {
  auto display = std::make_unique<TfCopy>();
  os::SetWindowTextA(display->actionLabel, "Extracting file:");
  display->SetCaption("Extracting Setup Files");
  display->Show();
  extraction_ = display.get();
  archive.OnProgress = [this](zip::TZipMaster* sender, zip::ProgressType type, const std::string& name,
                              std::int64_t size) { ExtractionProgress(sender, type, name, size); };
  archive.SetZipFileName(package);
  archive.ExtrBaseDir = temp;
  archive.ExtractFiles();
  extraction_ = nullptr;
  display->Present();
  display->Hide();
  return archive.SuccessCount() >= archive.EntryCount();
}

bool TfSetup::PackageStage() {
  SetupState& s = Shared();
  if (!ConfirmFloppyInstall()) return false;
  lbSetup.Load(s.SetupDir + "\\" + kPackageListFile);
  if (!lbSetup.Has(Header::kPackage)) return Abort("No install package information."), false;
  std::vector<std::string> parts;
  for (const std::string& part : ReadSection(lbSetup, Header::kPackage))
    if (StaysInside(part)) parts.push_back(part);
  if (parts.empty()) return Abort(kDecompressError), false;
  // The first part holds the package's end: what it declares is known before anything is written.
  // A package of one part needs no other disk, and is read where it lies.
  if (!AwaitPart(s.SetupDir + "\\" + parts[0], "Please insert setup disk number 1")) return false;
  const std::optional<PackageSizes> sizes = SurveyPackage(s.SetupDir + "\\" + parts[0]);
  if (!sizes) return Abort(kDecompressError), false;
  const bool gather = parts.size() > 1;
  ForceFolders(WindowsFolder() + "\\TEMP");
  if (!EnoughTemporarySpace(WindowsFolder() + "\\TEMP", (gather ? sizes->package : 0) + sizes->extracted))
    return false;
  // A temporary folder of its own: the first QVINST<n> under the Windows TEMP folder that this
  // program creates itself. A name someone else took, even a moment ago, is passed over: the
  // programs run from this folder later run with the installing user's rights.
  s.TempInstallDir = CreateNumberedOwnFolder(WindowsFolder() + "\\TEMP\\QVINST", kMaxTempFolders);
  if (s.TempInstallDir.empty()) return Abort("Could not create temporary installation folder"), false;
  const std::string temp = s.TempInstallDir;
  const std::vector<std::string> extras = KeepExtraFiles(temp);
  const std::string package = gather ? PackagePath(temp, parts) : s.SetupDir + "\\" + parts[0];
  if (gather && !GatherPackage(parts, sizes->package, package)) return false;
  // A directory that lay beyond the first part is read now, and its sizes checked before extracting.
  if (!sizes->directoryRead) {
    const std::optional<PackageSizes> joined = SurveyPackage(package);
    if (!EnoughTemporarySpace(temp, joined ? joined->extracted : 0)) {
      if (gather) os::DeleteFileA(package);
      return false;
    }
  }
  const bool extracted = ExtractPackage(package, temp);
  // The joined package goes as soon as it is used: its files are out, or the setup ends.
  if (gather) os::DeleteFileA(package);
  if (!extracted) return Abort(kDecompressError), false;
  // The extra files take their places, and the temporary folder becomes the setup folder.
  for (const std::string& extra : extras) os::CopyFileA(temp + "\\EXTRA\\" + extra, temp + "\\" + extra, false);
  s.SetupDir = temp;
  return true;
}

void TfSetup::ExtractionProgress(zip::TZipMaster*, zip::ProgressType type, const std::string& name,
                                 std::int64_t size) {
  if (!extraction_) return;
  if (type == zip::ProgressType::NewFile) {
    ++extraction_->filesBegun;
    extraction_->ShowFile(name);
  }
  int entries = archive.EntryCount();
  if (entries > 0) {  // otherwise nothing to measure against: the bar stays
    int percent = static_cast<int>(static_cast<double>(extraction_->filesBegun) / entries * 100);
    if (percent >= 0 && percent <= 100) extraction_->ShowPercent(percent);
  }
  // A large file takes a while: its name shows before it, not after.
  constexpr std::int64_t kLargeFile = 1 << 20;
  if (type == zip::ProgressType::NewFile && size >= kLargeFile)
    extraction_->Present();
  else
    extraction_->Update();
}
