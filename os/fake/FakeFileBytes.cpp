// Fake file bytes in memory or in host files; host files are opened through
// a small cache, so that thousands of them need no more than a few handles.
#include "os/fake/FakeFileBytes.h"

#include <algorithm>
#include <cstdio>
#include <list>
#include <vector>

#ifdef _WIN32
#include <process.h>
#define QV_GETPID _getpid
#else
#include <unistd.h>
#define QV_GETPID getpid
#endif

namespace os::fake {

namespace {

std::string spillFolder;
std::uint64_t spillThreshold = 1u << 20;
unsigned long spillCounter = 0;
constexpr std::size_t kMostOpen = 32;
constexpr std::size_t kBlock = 1u << 16;

bool Seek(std::FILE* f, std::uint64_t offset) {
#ifdef _WIN32
  return _fseeki64(f, static_cast<long long>(offset), SEEK_SET) == 0;
#else
  return fseeko(f, static_cast<off_t>(offset), SEEK_SET) == 0;
#endif
}

}  // namespace

class HostBytes {
 public:
  HostBytes(std::string path, std::uint64_t size, bool owned)
      : path_(std::move(path)), size_(size), owned_(owned) {}
  HostBytes(const HostBytes&) = delete;
  HostBytes& operator=(const HostBytes&) = delete;
  ~HostBytes() {
    Close();
    if (owned_) std::remove(path_.c_str());
  }
  // A new, empty host file of our own; nullptr when none can be made.
  static std::shared_ptr<HostBytes> Make() {
    const std::string path = spillFolder + "/qvfake-" + std::to_string(QV_GETPID()) + "-" +
                             std::to_string(++spillCounter) + ".bin";
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return nullptr;
    std::fclose(f);
    return std::make_shared<HostBytes>(path, 0, true);
  }

  std::uint64_t size() const { return size_; }
  bool owned() const { return owned_; }

  std::size_t ReadAt(std::uint64_t offset, void* buffer, std::size_t length) {
    if (offset >= size_) return 0;
    length = static_cast<std::size_t>(std::min<std::uint64_t>(length, size_ - offset));
    std::FILE* f = File();
    if (!f || !Seek(f, offset)) return 0;
    return std::fread(buffer, 1, length, f);
  }
  bool WriteAt(std::uint64_t offset, const void* data, std::size_t length) {
    std::FILE* f = File();
    if (!f) return false;
    static const std::vector<char> zeros(kBlock);
    // Windows fills the gap a write beyond the end leaves with zeros.
    for (std::uint64_t at = size_; at < offset;) {
      const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(kBlock, offset - at));
      if (!Seek(f, at) || std::fwrite(zeros.data(), 1, n, f) != n) return false;
      at += n;
      size_ = at;
    }
    if (length && (!Seek(f, offset) || std::fwrite(data, 1, length, f) != length)) return false;
    size_ = std::max<std::uint64_t>(size_, offset + length);
    return true;
  }
  // Only a shorter size is kept track of: the bytes beyond it are never read again.
  void Truncate(std::uint64_t size) { size_ = std::min(size_, size); }

 private:
  std::FILE* File() {
    std::list<HostBytes*>& open = OpenFiles();
    if (file_) {
      open.remove(this);
      open.push_front(this);
      return file_;
    }
    if (open.size() >= kMostOpen) open.back()->Close();
    file_ = std::fopen(path_.c_str(), owned_ ? "r+b" : "rb");
    if (file_) open.push_front(this);
    return file_;
  }
  void Close() {
    if (!file_) return;
    std::fclose(file_);
    file_ = nullptr;
    OpenFiles().remove(this);
  }
  static std::list<HostBytes*>& OpenFiles() {
    static std::list<HostBytes*> open;
    return open;
  }

  std::string path_;
  std::uint64_t size_;
  bool owned_;
  std::FILE* file_ = nullptr;
};

void KeepLargeFilesOnHost(const std::string& hostFolder, std::uint64_t threshold) {
  spillFolder = hostFolder;
  spillThreshold = threshold;
}

FileBytes FileBytes::OfHostFile(const std::string& hostPath, std::uint64_t size) {
  FileBytes bytes;
  if (!spillFolder.empty() && size >= spillThreshold) {
    bytes.host_ = std::make_shared<HostBytes>(hostPath, size, false);
    return bytes;
  }
  HostBytes file(hostPath, size, false);
  bytes.memory_.resize(static_cast<std::size_t>(size));
  bytes.memory_.resize(file.ReadAt(0, bytes.memory_.data(), bytes.memory_.size()));
  return bytes;
}

std::uint64_t FileBytes::size() const { return host_ ? host_->size() : memory_.size(); }

std::string FileBytes::str() const {
  if (!host_) return memory_;
  std::string all(static_cast<std::size_t>(host_->size()), '\0');
  all.resize(host_->ReadAt(0, all.data(), all.size()));
  return all;
}

std::size_t FileBytes::ReadAt(std::uint64_t offset, void* buffer, std::size_t length) const {
  if (host_) return host_->ReadAt(offset, buffer, length);
  if (offset >= memory_.size()) return 0;
  const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(length, memory_.size() - offset));
  std::copy_n(memory_.data() + offset, n, static_cast<char*>(buffer));
  return n;
}

bool FileBytes::MakeOwnHostFile() {
  if (host_ && host_->owned() && host_.use_count() == 1) return true;
  std::shared_ptr<HostBytes> own = HostBytes::Make();
  if (!own) return false;
  std::vector<char> block(kBlock);
  for (std::uint64_t at = 0; at < size();) {
    const std::size_t n = ReadAt(at, block.data(), block.size());
    if (n == 0 || !own->WriteAt(at, block.data(), n)) return false;
    at += n;
  }
  host_ = std::move(own);
  std::string().swap(memory_);
  return true;
}

bool FileBytes::WriteAt(std::uint64_t offset, const void* data, std::size_t length) {
  const std::uint64_t end = std::max<std::uint64_t>(size(), offset + length);
  if (host_ || (!spillFolder.empty() && end >= spillThreshold)) {
    if (!MakeOwnHostFile()) return false;
    return host_->WriteAt(offset, data, length);
  }
  if (memory_.size() < end) memory_.resize(static_cast<std::size_t>(end));
  std::copy_n(static_cast<const char*>(data), length, memory_.data() + offset);
  return true;
}

bool FileBytes::resize(std::uint64_t newSize) {
  if (!host_) {
    if (newSize > memory_.size()) return WriteAt(newSize, "", 0);
    memory_.resize(static_cast<std::size_t>(newSize));
    return true;
  }
  if (newSize >= host_->size()) return WriteAt(newSize, "", 0);
  if (!MakeOwnHostFile()) return false;
  host_->Truncate(newSize);
  return true;
}

void FileBytes::clear() {
  host_.reset();
  memory_.clear();
}

}  // namespace os::fake
