// The engine's file layer on POSIX systems, for the native build (tests, fuzzing, benchmark).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>

#include "unzdll/UnzFiles.h"

namespace unz {

namespace {

std::string NativePath(const std::string& path) {
  std::string p = path;
  for (char& c : p)
    if (c == '\\') c = '/';
  return p;
}

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd = -1) : fd_(fd) {}
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  ~FileDescriptor() { Close(); }
  int get() const { return fd_; }
  bool Close() {
    if (fd_ < 0) return true;
    const int rc = ::close(fd_);
    fd_ = -1;
    return rc == 0;
  }

 private:
  int fd_;
};

class PosixArchive : public ArchiveFile {
 public:
  PosixArchive(int fd, std::uint64_t size) : fd_(fd), size_(size) {}
  std::uint64_t Size() const override { return size_; }
  std::size_t ReadAt(std::uint64_t offset, void* buffer, std::size_t length) override {
    std::size_t done = 0;
    while (done < length) {
      const ssize_t n = ::pread(fd_.get(), static_cast<char*>(buffer) + done, length - done,
                                static_cast<off_t>(offset + done));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      done += static_cast<std::size_t>(n);
    }
    return done;
  }

 private:
  FileDescriptor fd_;
  std::uint64_t size_;
};

// Local time of a DOS stamp; the stamp's fields are clamped so a nonsense value still gives a time.
std::time_t DosToTime(std::uint32_t dos) {
  std::tm tm{};
  tm.tm_year = static_cast<int>((dos >> 25) & 0x7F) + 80;
  tm.tm_mon = static_cast<int>((dos >> 21) & 0x0F) - 1;
  tm.tm_mday = static_cast<int>((dos >> 16) & 0x1F);
  tm.tm_hour = static_cast<int>((dos >> 11) & 0x1F);
  tm.tm_min = static_cast<int>((dos >> 5) & 0x3F);
  tm.tm_sec = static_cast<int>(dos & 0x1F) * 2;
  if (tm.tm_mon < 0) tm.tm_mon = 0;
  if (tm.tm_mday < 1) tm.tm_mday = 1;
  tm.tm_isdst = -1;
  return std::mktime(&tm);
}

std::uint32_t TimeToDos(std::time_t t, long nanoseconds) {
  // Round up to the next even second, so a file written from an entry compares equal to it.
  if (nanoseconds > 0) ++t;
  if (t & 1) ++t;
  std::tm tm{};
  if (localtime_r(&t, &tm) == nullptr || tm.tm_year < 80) return 0;
  return static_cast<std::uint32_t>(((tm.tm_year - 80) << 25) | ((tm.tm_mon + 1) << 21) | (tm.tm_mday << 16) |
                                    (tm.tm_hour << 11) | (tm.tm_min << 5) | (tm.tm_sec / 2));
}

class PosixOutput : public OutputFile {
 public:
  // `modeSet`: the file was created with its final permission bits already.
  PosixOutput(int fd, std::string temp, std::string target, mode_t mode, bool modeSet, std::time_t time)
      : fd_(fd), temp_(std::move(temp)), target_(std::move(target)), mode_(mode), modeSet_(modeSet), time_(time) {}
  ~PosixOutput() override {
    if (!committed_) {
      fd_.Close();
      ::unlink(temp_.c_str());
    }
  }
  bool Write(const void* data, std::size_t length) override {
    const char* p = static_cast<const char*>(data);
    while (length > 0) {
      const ssize_t n = ::write(fd_.get(), p, length);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return false;
      p += n;
      length -= static_cast<std::size_t>(n);
    }
    return true;
  }
  bool Commit() override {
    const timespec times[2] = {{time_, 0}, {time_, 0}};
    if (!modeSet_ && ::fchmod(fd_.get(), mode_) != 0) return false;
    if (::futimens(fd_.get(), times) != 0) return false;
    if (!fd_.Close()) return false;
    if (temp_ != target_ && ::rename(temp_.c_str(), target_.c_str()) != 0) return false;
    committed_ = true;
    return true;
  }

 private:
  FileDescriptor fd_;
  std::string temp_;
  std::string target_;
  mode_t mode_;
  bool modeSet_;
  std::time_t time_;
  bool committed_ = false;
};

class PosixFileLayer : public FileLayer {
 public:
  // The process's file creation mask, read once (reading it means setting it).
  PosixFileLayer() : umask_(::umask(022)) { ::umask(umask_); }

  // File names here are plain bytes: they are written as stored.
  std::string LocalName(const std::string& stored, NameEncoding) override { return stored; }

  std::unique_ptr<ArchiveFile> OpenArchive(const std::string& path) override {
    const int fd = ::open(NativePath(path).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return Fail<ArchiveFile>();
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
      if (errno == 0 || S_ISDIR(st.st_mode)) errno = EISDIR;
      const int saved = errno;
      ::close(fd);
      errno = saved;
      return Fail<ArchiveFile>();
    }
    return std::make_unique<PosixArchive>(fd, static_cast<std::uint64_t>(st.st_size));
  }

  PathState Probe(const std::string& path) override {
    PathState state;
    struct stat st {};
    if (::lstat(NativePath(path).c_str(), &st) != 0) return state;
    state.kind = S_ISDIR(st.st_mode) ? PathState::kFolder : PathState::kFile;
    state.dosDateTime = TimeToDos(st.st_mtim.tv_sec, st.st_mtim.tv_nsec);
    return state;
  }

  bool MakeFolder(const std::string& path) override {
    const std::string native = NativePath(path);
    if (::mkdir(native.c_str(), 0777) == 0) return true;
    const int saved = errno;
    struct stat st {};
    if (::stat(native.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return true;
    errno = saved;
    return false;
  }

  std::unique_ptr<OutputFile> CreateOutput(const std::string& path, const FileStamp& stamp,
                                           bool newOnly) override {
    const std::string target = NativePath(path);
    mode_t mode = stamp.unixMode != 0 ? static_cast<mode_t>(stamp.unixMode & 0777) : 0666 & ~umask_;
    if (stamp.dosAttributes & 0x01) mode &= static_cast<mode_t>(~0222);
    const std::time_t time = DosToTime(stamp.dosDateTime);
    // No file there yet: write the target itself, which is removed again if the file is dropped.
    // Created with its final mode when the creation mask lets that through unchanged.
    const int direct = ::open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (direct >= 0)
      return std::make_unique<PosixOutput>(direct, target, target, mode, (mode & ~umask_) == mode, time);
    if (newOnly || errno != EEXIST) return Fail<OutputFile>();
    for (int attempt = 0; attempt < 100; ++attempt) {
      const std::string temp = target + ".~unz" + std::to_string(::getpid() % 100000) + "_" + std::to_string(attempt);
      const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
      if (fd >= 0) return std::make_unique<PosixOutput>(fd, temp, target, mode, false, time);
      if (errno != EEXIST) break;
    }
    return Fail<OutputFile>();
  }

  std::string CurrentFolder() override {
    char buffer[4096];
    if (::getcwd(buffer, sizeof buffer) == nullptr) return ".";
    return buffer;
  }

  // errno belongs to this thread and is read right after the failing call.
  std::string LastErrorText() override { return std::strerror(errno); }

 private:
  template <typename T>
  std::unique_ptr<T> Fail() {
    return nullptr;
  }
  mode_t umask_;
};

}  // namespace

std::unique_ptr<FileLayer> MakePlatformFileLayer() { return std::make_unique<PosixFileLayer>(); }

}  // namespace unz
