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
#include "os/OsSystem.h"
#include "sys/Dialogs.h"
#include "sys/Folders.h"
#include "sys/TextBytes.h"
#include "zip/ZipMaster.h"
#include "zip/ZipMsg.h"

namespace sfx {
namespace {

constexpr std::uint32_t kBlock = 64 * 1024;
constexpr int kMostFolders = 100000;

bool ReadExactly(os::Handle file, void* buffer, std::uint32_t length) {
  std::uint32_t read = 0;
  return os::ReadFile(file, buffer, length, read) && read == length;
}

std::size_t ReadAtOffset(os::Handle file, std::uint64_t offset, void* buffer, std::size_t length) {
  std::uint32_t read = 0;
  if (!os::SetFilePointer(file, offset) ||
      !os::ReadFile(file, buffer, static_cast<std::uint32_t>(length), read))
    return 0;
  return read;
}

// The stub's own file, opened so that nobody can write, rename or delete it
// while it is held. A virus scanner or an indexer may have a new download
// open for a moment: a sharing violation is tried again for a few seconds.
os::UniqueFile OpenOwnFile(const std::string& path) {
  constexpr int kTries = 30;
  constexpr std::uint32_t kPause = 100;
  for (int attempt = 1;; ++attempt) {
    os::UniqueFile file(os::CreateFileA(path, os::Access::Read, os::Disposition::OpenExisting));
    if (file || attempt == kTries || os::GetLastError() != os::kErrorSharingViolation) return file;
    os::Sleep(kPause);
  }
}

// Why a file could not be written, in words for the box.
std::string WriteFailure(std::uint32_t error) {
  if (error == os::kErrorDiskFull || error == os::kErrorHandleDiskFull) return "the disk is full";
  return "Windows error " + std::to_string(error);
}

// Copies length bytes from the file's current position into a new file;
// empty when done, else why not.
std::string CopyOut(os::Handle from, std::uint32_t length, const std::string& to) {
  os::UniqueFile out(os::CreateFileA(to, os::Access::Write, os::Disposition::CreateNew));
  if (!out) return "could not create " + to + " (" + WriteFailure(os::GetLastError()) + ")";
  std::vector<char> block(kBlock);
  while (length > 0) {
    const std::uint32_t n = length < kBlock ? length : kBlock;
    std::uint32_t written = 0;
    if (!ReadExactly(from, block.data(), n)) return "could not read this setup program again";
    if (!os::WriteFile(out.get(), block.data(), n, written) || written != n)
      return "could not write " + to + " (" + WriteFailure(os::GetLastError()) + ")";
    length -= n;
  }
  return {};
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

SelfCheck CheckOwnFile(os::Handle file) {
  std::uint64_t size = 0;
  if (!os::GetFileSize(file, size)) return SelfCheck{};
  return CheckDownload(size, [file](std::uint64_t at, void* buffer, std::size_t n) {
    return ReadAtOffset(file, at, buffer, n);
  });
}

int RunSelfExtractor(const std::string& selfPath) {
  LoadSystemLeadBytes();
  // Held to the end of the extraction: what was checked is what the engine reads.
  os::UniqueFile self = OpenOwnFile(selfPath);
  const SelfCheck check = self ? CheckOwnFile(self.get()) : SelfCheck{};
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
  // The engine must be a file of its own to be loaded; the archive it reads where it lies.
  std::string failure;
  if (!os::CreateDirectoryA(setupFolder))
    failure = "could not create " + setupFolder + " (" + WriteFailure(os::GetLastError()) + ")";
  else if (!os::SetFilePointer(self.get(), check.payload.engineOffset))
    failure = "could not read this setup program again";
  else
    failure = CopyOut(self.get(), check.payload.engineSize, folder + "\\UNZDLL.DLL");
  if (failure.empty()) {
    zip::TZipMaster archive;
    archive.Unattended = true;
    archive.SetDLLDirectory(folder);
    archive.ExtrOptions = zip::ExtrOpts{zip::ExtrOptsEnum::ExtrOverWrite};
    archive.ExtrBaseDir = setupFolder;
    // The engine's first complaint is the one that tells why.
    std::string engineSaid;
    archive.OnMessage = [&engineSaid](zip::TZipMaster*, int code, const std::string& text) {
      if (code != 0 && engineSaid.empty()) engineSaid = text;
    };
    archive.SetZipFileName(selfPath);
    std::unique_ptr<ExtractionDisplay> display;
    if (check.payload.archiveSize > kProgressThreshold)
      display = std::make_unique<ExtractionDisplay>(archive);
    archive.ExtractFiles();
    // The window goes before setup starts: a window nobody serves would hold up setup's broadcasts.
    display.reset();
    const int code = archive.ErrorCode();
    if (code == zip::ZipMsgNoEngine || code == zip::ZipMsgNoExec || code == zip::ZipMsgNoVersion)
      failure = "the unzip engine could not be loaded";
    else if (archive.EntryCount() == 0 || archive.SuccessCount() != archive.EntryCount())
      failure = !engineSaid.empty() ? engineSaid
                                    : std::to_string(archive.SuccessCount()) + " of " +
                                          std::to_string(archive.EntryCount()) + " files came out";
    else if (!FileFound(setupFolder + "\\setup.exe"))
      failure = "the download holds no setup.exe";
  }
  self.reset();
  int result = exitcode::kFailed;
  std::uint32_t exitCode = 0;
  if (!failure.empty()) {
    if (failure.back() == '.') failure.pop_back();
    WarningBox("Could not unpack Setup's files into " + folder + ": " + failure + ".");
  } else if (!RunAndWaitFor(setupFolder + "\\setup.exe", setupFolder, exitCode))
    WarningBox("Could not start " + setupFolder + "\\setup.exe");
  else
    result = static_cast<int>(exitCode);
  RemoveTree(folder, "", kRemoveTreeConfirm);
  return result;
}

}  // namespace sfx
