// The bytes of a file of the in-memory Windows: held in memory, or, once the
// program has asked for it (KeepLargeFilesOnHost), large files in a file of
// the machine it runs on, so that a folder of hundreds of megabytes can be
// read, joined and extracted in a few megabytes of memory. Copies share a
// host file until one of them is written.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace os::fake {

class HostBytes;

class FileBytes {
 public:
  FileBytes() = default;
  explicit FileBytes(std::string bytes) : memory_(std::move(bytes)) {}
  // The bytes of a file of the host, read when they are asked for; the
  // host file is never written. Loaded at once when it is small or large
  // files are not kept on the host.
  static FileBytes OfHostFile(const std::string& hostPath, std::uint64_t size);

  std::uint64_t size() const;
  std::string str() const;  // all of them
  // Up to length bytes at offset; the count read, less only at the end.
  std::size_t ReadAt(std::uint64_t offset, void* buffer, std::size_t length) const;
  // Writes at offset, growing the file (with zeros up to offset) as needed; false when the host cannot.
  bool WriteAt(std::uint64_t offset, const void* data, std::size_t length);
  bool resize(std::uint64_t size);
  void clear();

 private:
  bool MakeOwnHostFile();  // the bytes in a host file of their own, not shared
  std::string memory_;
  std::shared_ptr<HostBytes> host_;
};

// From now on, files of at least threshold bytes are kept in files of their
// own in hostFolder (removed when the file of the in-memory Windows goes);
// an empty folder keeps everything in memory again.
void KeepLargeFilesOnHost(const std::string& hostFolder, std::uint64_t threshold = 1u << 20);

}  // namespace os::fake
