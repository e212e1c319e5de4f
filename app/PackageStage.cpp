// The package stage: the parts of a zip install package are gathered from
// the setup disks into a temporary folder, joined, extracted there, and
// overlaid with loose extra files; that folder becomes SetupDir.
#include <cstdint>
#include <memory>
#include <vector>

#include "app/PackageStage.h"

#include "app/CopyWindow.h"
#include "app/SetupMessages.h"
#include "app/WizardForm.h"
#include "engine/SetupState.h"
#include "os/OsFiles.h"
#include "sys/Dialogs.h"
#include "sys/Folders.h"
#include "sys/PathText.h"
#include "sys/ResolvedPath.h"
#include "sys/TextBytes.h"

namespace {

constexpr int kMaxTempFolders = 9999;  // names tried before the stage gives up
constexpr char kDecompressError[] = "Error decompressing install package.";

// Appends the file to the open package block by block; false when a block
// could not be read or written whole. Blocks of 64 KB: a package of hundreds
// of megabytes in blocks of 2048 bytes costs a hundred thousand calls each way.
bool Append(os::Handle package, const std::string& part) {
  os::UniqueFile in(os::CreateFileA(part, os::Access::Read, os::Disposition::OpenExisting));
  if (!in) return false;
  std::vector<char> block(64 * 1024);
  for (;;) {
    std::uint32_t read = 0, written = 0;
    if (!os::ReadFile(in.get(), block.data(), static_cast<std::uint32_t>(block.size()), read)) return false;
    if (read == 0) return true;
    if (!os::WriteFile(package, block.data(), read, written) || written != read) return false;
  }
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

bool JoinPackage(const std::string& folder, const std::vector<std::string>& parts, const std::string& package) {
  os::UniqueFile out(os::CreateFileA(package, os::Access::Write, os::Disposition::CreateAlways));
  bool whole = static_cast<bool>(out);
  for (auto part = parts.rbegin(); whole && part != parts.rend(); ++part) whole = Append(out.get(), folder + "\\" + *part);
  out.reset();
  if (!whole) os::DeleteFileA(package);  // a half-joined package is never extracted
  return whole;
}

bool TfSetup::PackageStage() {
  SetupState& s = Shared();
  // From a floppy the user confirms first.
  if (!s.SetupDir.empty() && (s.SetupDir[0] == 'A' || s.SetupDir[0] == 'a')) {
    std::string credits = os::GetWindowTextA(mCopyRight);
    if (!OkCancelBox("This program will install " + credits.substr(0, credits.find_first_of("\r\n")))) {
      s.Outcome = RunOutcome::Cancelled;
      PostSetupMessage(application_, AbortSetup);
      return false;
    }
  }
  // A temporary folder of its own: the first QVINST<n> under the Windows TEMP folder that this
  // program creates itself. A name someone else took, even a moment ago, is passed over: the
  // programs run from this folder later run with the installing user's rights.
  const std::string base = WindowsFolder() + "\\TEMP\\QVINST";
  ForceFolders(WindowsFolder() + "\\TEMP");
  s.TempInstallDir = CreateNumberedOwnFolder(base, kMaxTempFolders);
  if (s.TempInstallDir.empty()) return Abort("Could not create temporary installation folder"), false;
  const std::string temp = s.TempInstallDir;
  // Loose extra files wait in EXTRA until the package is out. A name that
  // would reach outside the folders is passed over.
  lbSetup.Load(s.SetupDir + "\\setup.lst");
  std::vector<std::string> extras;
  if (lbSetup.Has(Header::kExtra)) {
    os::CreateDirectoryA(temp + "\\EXTRA");
    for (const std::string& extra : ReadSection(lbSetup, Header::kExtra)) {
      if (!StaysInside(extra)) continue;
      extras.push_back(extra);
      std::string kept = temp + "\\EXTRA\\" + extra;
      if (FileFound(kept)) os::SetFileAttributesA(kept, os::kAttrNormal);
      os::CopyFileA(s.SetupDir + "\\" + extra, kept, false);  // a failed copy is passed over
      os::SetFileAttributesA(kept, os::kAttrArchive);
    }
  }
  // Every part from its disk, the user asked for each disk in turn.
  if (!lbSetup.Has(Header::kPackage)) return Abort("No install package information."), false;
  std::vector<std::string> parts;
  for (const std::string& part : ReadSection(lbSetup, Header::kPackage))
    if (StaysInside(part)) parts.push_back(part);
  // Parts are gathered because the disks change under the installer; a
  // package of one part needs no other disk, and is read where it lies.
  const bool gather = parts.size() > 1;
  for (size_t i = 0; i < parts.size(); ++i) {
    while (!FileFound(s.SetupDir + "\\" + parts[i])) {
      if (!InfoOkCancelBox("Please insert setup disk number " + std::to_string(i + 1))) {
        s.Outcome = RunOutcome::Cancelled;
        PostSetupMessage(application_, AbortSetup);
        return false;
      }
    }
    if (!gather) continue;
    if (!os::CopyFileA(s.SetupDir + "\\" + parts[i], temp + "\\" + parts[i], false))
      return Abort("Could not create temporary install files"), false;
    os::SetFileAttributesA(temp + "\\" + parts[i], os::kAttrArchive);
  }
  // The first disk back in the drive before the join: the program and its unzip engine are on it.
  while (!parts.empty() && !FileFound(s.SetupDir + "\\" + parts[0])) {
    if (!InfoOkCancelBox("Please re-insert setup disk number 1")) {
      s.Outcome = RunOutcome::Cancelled;
      PostSetupMessage(application_, AbortSetup);
      return false;
    }
  }
  // The parts joined, the last disk's first; a package of one part is that part, where it lies.
  std::string package;
  if (gather) {
    package = PackagePath(temp, parts);
    JoinPackage(temp, parts, package);
  } else if (!parts.empty()) {
    package = s.SetupDir + "\\" + parts[0];
  }
  if (package.empty() || !FileFound(package)) return Abort(kDecompressError), false;
  // The package extracted into the temporary folder, in a copy window of its own.
  {
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
  }
  // A file the engine could not extract whole (a damaged part, a failed check sum) would leave
  // the install run to copy the rest and call that complete.
  if (archive.SuccessCount() < archive.EntryCount())
    return Abort(kDecompressError), false;
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
