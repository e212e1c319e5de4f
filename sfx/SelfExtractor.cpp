// The stub's run: its own file checked, the engine and the archive written
// into a folder of its own, the archive extracted, setup.exe run and waited
// for, the folder removed.
#include "sfx/SelfExtractor.h"

#include <memory>
#include <vector>

#include "app/CopyWindow.h"
#include "engine/ExitCode.h"
#include "os/OsDisk.h"
#include "os/OsFiles.h"
#include "os/OsShell.h"
#include "sys/Dialogs.h"
#include "sys/Folders.h"
#include "sys/TextBytes.h"
#include "zip/ZipMaster.h"

namespace sfx {
namespace {

constexpr std::uint32_t kBlock = 64 * 1024;
constexpr int kMostFolders = 100000;

bool ReadExactly(os::Handle file, void* buffer, std::uint32_t length) {
  std::uint32_t read = 0;
  return os::ReadFile(file, buffer, length, read) && read == length;
}

// Copies length bytes from the file's current position into a new file.
bool CopyOut(os::Handle from, std::uint32_t length, const std::string& to) {
  os::UniqueFile out(os::CreateFileA(to, os::Access::Write, os::Disposition::CreateNew));
  if (!out) return false;
  std::vector<char> block(kBlock);
  while (length > 0) {
    const std::uint32_t n = length < kBlock ? length : kBlock;
    std::uint32_t written = 0;
    if (!ReadExactly(from, block.data(), n) || !os::WriteFile(out.get(), block.data(), n, written) ||
        written != n)
      return false;
    length -= n;
  }
  return true;
}

// Progress of a large extraction, by bytes, in the copy window.
class ExtractionDisplay {
 public:
  explicit ExtractionDisplay(zip::TZipMaster& archive) {
    window_ = std::make_unique<TfCopy>();
    os::SetWindowTextA(window_->actionLabel, "Unpacking file:");
    window_->SetCaption("Setup");
    // Nothing can be cancelled here: the archive is unpacked whole or not at all.
    os::ShowWindow(window_->cancelButton, false);
    window_->Show();
    window_->Present();
    archive.OnProgress = [this](zip::TZipMaster*, zip::ProgressType type, const std::string& name,
                                std::int64_t size) { Report(type, name, size); };
  }

 private:
  void Report(zip::ProgressType type, const std::string& name, std::int64_t size) {
    if (type == zip::ProgressType::TotalSize2Process) total_ = size;
    if (type == zip::ProgressType::ProgressUpdate) done_ += size;
    if (type == zip::ProgressType::NewFile) window_->ShowFile(name);
    if (total_ > 0 && done_ <= total_) window_->ShowPercent(static_cast<int>(done_ * 100 / total_));
    window_->Update();
  }

  std::unique_ptr<TfCopy> window_;
  std::int64_t total_ = 0, done_ = 0;
};

std::string Joined(const std::string& folder, const std::string& name) {
  return EndsWithBackslash(folder) ? folder + name : folder + "\\" + name;
}

// Runs the program, waits for its end and answers its exit code.
bool RunAndWaitFor(const std::string& program, const std::string& folder, std::uint32_t& exitCode) {
  os::ShellExecuteInfo info;
  info.mask = os::kSeeMaskNoCloseProcess | os::kSeeMaskFlagNoUi;
  info.file = program;
  info.directory = folder;
  info.show = os::kSwShowNormal;
  if (!os::ShellExecuteExA(info) || info.process == 0) return false;
  os::UniqueProcess process(info.process);
  return os::WaitForSingleObject(process.get(), os::kInfinite) == os::kWaitObject0 &&
         os::GetExitCodeProcess(process.get(), exitCode);
}

}  // namespace

SelfCheck CheckOwnFile(const std::string& path) {
  SelfCheck check;
  os::UniqueFile file(os::CreateFileA(path, os::Access::Read, os::Disposition::OpenExisting));
  std::uint64_t size = 0;
  if (!file || !os::GetFileSize(file.get(), size) || size < kTrailerSize) return check;
  std::string tail(kTrailerSize, '\0');
  if (!os::SetFilePointer(file.get(), size - kTrailerSize) ||
      !ReadExactly(file.get(), tail.data(), kTrailerSize))
    return check;
  check.status = ReadTrailer(size, tail, check.payload);
  if (check.status != TrailerStatus::Ok) return check;
  if (!os::SetFilePointer(file.get(), check.payload.engineOffset)) return check;
  std::uint32_t left = check.payload.engineSize + check.payload.archiveSize;
  std::uint32_t crc = 0;
  std::vector<char> block(kBlock);
  while (left > 0) {
    const std::uint32_t n = left < kBlock ? left : kBlock;
    if (!ReadExactly(file.get(), block.data(), n)) return check;
    crc = Crc32(crc, block.data(), n);
    left -= n;
  }
  check.crcMatches = crc == check.payload.crc;
  return check;
}

int RunSelfExtractor(const std::string& selfPath) {
  LoadSystemLeadBytes();
  const SelfCheck check = CheckOwnFile(selfPath);
  if (!check.Sound()) {
    WarningBox(
        "This setup program is damaged or incomplete, so nothing was installed. Please download it again.");
    return exitcode::kRefused;
  }
  const std::string temp = os::GetTempPathA();
  const std::string folder =
      temp.empty() ? "" : CreateNumberedOwnFolder(Joined(temp, kFolderPrefix), kMostFolders);
  if (folder.empty()) {
    WarningBox("Could not create a temporary folder for Setup in " + temp);
    return exitcode::kFailed;
  }
  const std::string setupFolder = folder + "\\SETUP";
  const std::string archivePath = folder + "\\setup.zip";
  bool unpacked = false;
  {
    os::UniqueFile self(os::CreateFileA(selfPath, os::Access::Read, os::Disposition::OpenExisting));
    unpacked = self && os::CreateDirectoryA(setupFolder) &&
               os::SetFilePointer(self.get(), check.payload.engineOffset) &&
               CopyOut(self.get(), check.payload.engineSize, folder + "\\UNZDLL.DLL") &&
               CopyOut(self.get(), check.payload.archiveSize, archivePath);
  }
  if (unpacked) {
    zip::TZipMaster archive;
    archive.Unattended = true;
    archive.SetDLLDirectory(folder);
    archive.ExtrOptions = zip::ExtrOpts{zip::ExtrOptsEnum::ExtrOverWrite};
    archive.ExtrBaseDir = setupFolder;
    archive.SetZipFileName(archivePath);
    std::unique_ptr<ExtractionDisplay> display;
    if (check.payload.archiveSize > kProgressThreshold)
      display = std::make_unique<ExtractionDisplay>(archive);
    archive.ExtractFiles();
    unpacked = archive.EntryCount() > 0 && archive.SuccessCount() == archive.EntryCount() &&
               FileFound(setupFolder + "\\setup.exe");
    // The window goes before setup starts: a window nobody serves would hold up setup's broadcasts.
  }
  os::DeleteFileA(archivePath);  // room on the disk for the installation; the folder goes at the end anyway
  int result = exitcode::kFailed;
  std::uint32_t exitCode = 0;
  if (!unpacked)
    WarningBox("Could not unpack Setup's files into " + folder +
               ". There may not be enough free disk space.");
  else if (!RunAndWaitFor(setupFolder + "\\setup.exe", setupFolder, exitCode))
    WarningBox("Could not start " + setupFolder + "\\setup.exe");
  else
    result = static_cast<int>(exitCode);
  RemoveTree(folder, "", kRemoveTreeConfirm);
  return result;
}

}  // namespace sfx
