// Our unzip engine run in-process on the file operations of the seam, so
// that the checker and the dry run extract a package inside the in-memory
// Windows exactly as UNZDLL.DLL would on a real one.
#include "tools/setupcheck/SeamEngine.h"

#include <cstring>
#include <memory>

#include "engine/TextFile.h"
#include "os/OsFiles.h"
#include "os/OsSystem.h"
#include "os/fake/FakeControl.h"
#include "unzdll/Extractor.h"
#include "unzdll/MemoryBudget.h"
#include "unzdll/UnzExports.h"
#include "unzdll/UnzFiles.h"

namespace unz {
namespace {

// The archive is read whole when it is opened: the seam's files live in memory anyway.
class SeamArchive : public ArchiveFile {
 public:
  explicit SeamArchive(std::string bytes) : bytes_(std::move(bytes)) {}
  std::uint64_t Size() const override { return bytes_.size(); }
  std::size_t ReadAt(std::uint64_t offset, void* buffer, std::size_t length) override {
    if (offset >= bytes_.size()) return 0;
    const std::size_t n = std::min<std::uint64_t>(length, bytes_.size() - offset);
    std::memcpy(buffer, bytes_.data() + offset, n);
    return n;
  }

 private:
  std::string bytes_;
};

// The data waits in memory until Commit writes the file in one go: a file
// dropped half-way leaves nothing behind.
class SeamOutput : public OutputFile {
 public:
  SeamOutput(std::string path, const FileStamp& stamp) : path_(std::move(path)), stamp_(stamp) {}
  bool Write(const void* data, std::size_t length) override {
    data_.append(static_cast<const char*>(data), length);
    return true;
  }
  bool Commit() override {
    // A read-only file that keeps its attribute refuses the CreateFileA below, which is checked.
    if (os::GetFileAttributesA(path_) != os::kInvalidFileAttributes)
      os::SetFileAttributesA(path_, os::kAttrNormal);
    {
      os::UniqueFile file(os::CreateFileA(path_, os::Access::Write, os::Disposition::CreateAlways));
      if (!file) return false;
      std::uint32_t written = 0;
      if (!os::WriteFile(file.get(), data_.data(), static_cast<std::uint32_t>(data_.size()), written) ||
          written != data_.size())
        return false;
      os::FileTime local, utc;
      if (os::DosDateTimeToFileTime(static_cast<std::uint16_t>(stamp_.dosDateTime >> 16),
                                    static_cast<std::uint16_t>(stamp_.dosDateTime & 0xFFFF), local) &&
          os::LocalFileTimeToFileTime(local, utc))
        os::SetFileTime(file.get(), utc);  // a refused stamp leaves the time of writing, as in the engine's own layer
    }
    const std::uint32_t attributes =
        stamp_.dosAttributes & (os::kAttrReadonly | os::kAttrHidden | os::kAttrSystem | os::kAttrArchive);
    return os::SetFileAttributesA(path_, attributes ? attributes : os::kAttrNormal);
  }

 private:
  std::string path_;
  FileStamp stamp_;
  std::string data_;
};

class SeamFiles : public FileLayer {
 public:
  std::string LocalName(const std::string& stored, NameEncoding) override { return stored; }
  // The in-memory Windows' code page, read as the engine reads the real one.
  LeadBytes NameLeadBytes() override {
    LeadBytes table;
    std::vector<os::ByteRange> ranges;
    if (os::GetAnsiLeadByteRanges(ranges))
      for (const os::ByteRange& r : ranges) table.AddRange(r.first, r.last);
    return table;
  }
  std::unique_ptr<ArchiveFile> OpenArchive(const std::string& path) override {
    std::string bytes;
    if (!ReadWholeFile(path, bytes)) return nullptr;
    return std::make_unique<SeamArchive>(std::move(bytes));
  }
  PathState Probe(const std::string& path) override {
    PathState state;
    os::FindData found;
    os::UniqueFind find(os::FindFirstFileA(path, found));
    if (!find) return state;
    state.kind = (found.attributes & os::kAttrDirectory) ? PathState::kFolder : PathState::kFile;
    os::FileTime local;
    std::uint16_t date = 0, time = 0;
    if (os::FileTimeToLocalFileTime(found.lastWriteTime, local) &&
        os::FileTimeToDosDateTime(local, date, time))
      state.dosDateTime = (static_cast<std::uint32_t>(date) << 16) | time;
    return state;
  }
  bool MakeFolder(const std::string& path) override {
    os::CreateDirectoryA(path);  // it may be there already: only the outcome counts
    const std::uint32_t attributes = os::GetFileAttributesA(path);
    return attributes != os::kInvalidFileAttributes && (attributes & os::kAttrDirectory);
  }
  std::unique_ptr<OutputFile> CreateOutput(const std::string& path, const FileStamp& stamp, bool newOnly) override {
    // The file is written when committed; a new one is refused while anything is at the path.
    if (newOnly && os::GetFileAttributesA(path) != os::kInvalidFileAttributes) return nullptr;
    return std::make_unique<SeamOutput>(path, stamp);
  }
  std::string CurrentFolder() override { return os::GetCurrentDirectoryA(); }
  std::string LastErrorText() override { return "system error " + std::to_string(os::GetLastError()); }
};

}  // namespace

std::unique_ptr<FileLayer> MakePlatformFileLayer() { return std::make_unique<SeamFiles>(); }

}  // namespace unz

namespace {

std::int32_t QV_UNZ_STDCALL SeamEngineVersion() { return kUnzEngineVersion; }

// One thread only: the in-memory Windows is not shared between threads.
// Of the type it is called through (an export taking one pointer): a call through
// another type would be undefined, and on a mismatched convention unbalance the stack.
std::int32_t QV_UNZ_STDCALL SeamEngineExec(void* argument) {
  auto* request = static_cast<ExtractRequest*>(argument);
  if (request == nullptr) return 0;
  try {
    std::unique_ptr<unz::FileLayer> files = unz::MakePlatformFileLayer();
    const os::MachineSize machine = os::GetMachineSize();
    const unz::MemoryBudget budget = unz::BudgetFor({machine.processors, machine.physicalBytes});
    return unz::RunExtraction(*request, *files, unz::RunOptions{false, budget.chunkSize});
  } catch (...) {
    return 0;
  }
}

}  // namespace

void InstallSeamEngine(const std::string& path) {
  os::fake::AddLibrary(path, {{"GetUnzDllVersion", reinterpret_cast<os::Proc>(&SeamEngineVersion)},
                              {"UnzDllExec", reinterpret_cast<os::Proc>(&SeamEngineExec)}});
}
