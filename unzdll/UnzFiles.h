// The engine's file layer: the few file operations extraction needs, implemented once for
// POSIX and once for Win32, so every decision above it is the same on both.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "sys/TextBytes.h"

namespace unz {

// The archive, read by position.
class ArchiveFile {
 public:
  virtual ~ArchiveFile() = default;
  virtual std::uint64_t Size() const = 0;
  // Reads up to `length` bytes at `offset`; returns the number read, which is less only at the
  // end of the file or on a read error.
  virtual std::size_t ReadAt(std::uint64_t offset, void* buffer, std::size_t length) = 0;
};

// What is found at a path before a file is written there.
struct PathState {
  enum Kind { kMissing, kFile, kFolder } kind = kMissing;
  std::uint32_t dosDateTime = 0;  // modification time of a file, DOS time (low word) and date (high word)
};

// How the written file is finished.
struct FileStamp {
  std::uint32_t dosDateTime = 0;  // DOS time (low word) and date (high word), local time
  std::uint8_t dosAttributes = 0;  // read-only, hidden, system, archive bits
  std::uint32_t unixMode = 0;      // permission bits stored by a Unix host, 0 when none
};

// A file being written. When a file is already there, the data goes to a temporary file beside
// it, which Commit moves into place, so the old file stays whole until the new one is complete;
// otherwise straight to the target. A file dropped without Commit leaves nothing behind.
class OutputFile {
 public:
  virtual ~OutputFile() = default;
  virtual bool Write(const void* data, std::size_t length) = 0;
  // Closes the file, gives it the stamp's time and attributes, and puts it in place of the target.
  virtual bool Commit() = 0;
};

// How a stored name's bytes are to be read.
enum class NameEncoding { kAsIs, kOem, kUtf8 };

// Paths given to the layer use "\" between their parts.
class FileLayer {
 public:
  virtual ~FileLayer() = default;
  // The stored name in the code page file names use here; a name that cannot be converted comes
  // back unchanged.
  virtual std::string LocalName(const std::string& stored, NameEncoding encoding) = 0;
  // The lead bytes of the code page LocalName gives names in, so that the second byte of a
  // double-byte character is never taken for a separator; none where names are plain bytes.
  virtual LeadBytes NameLeadBytes() { return {}; }
  virtual std::unique_ptr<ArchiveFile> OpenArchive(const std::string& path) = 0;
  virtual PathState Probe(const std::string& path) = 0;
  // Creates one folder; true when it exists afterwards.
  virtual bool MakeFolder(const std::string& path) = 0;
  // The stamp is what the file gets when it is committed. With `newOnly` nothing is made when
  // anything is at the path already (nullptr then, the failure left for LastErrorText), so a
  // target that is usually missing needs no look before it is created.
  virtual std::unique_ptr<OutputFile> CreateOutput(const std::string& path, const FileStamp& stamp,
                                                   bool newOnly) = 0;
  virtual std::string CurrentFolder() = 0;
  // The system's text for the last failure of this thread, for messages.
  virtual std::string LastErrorText() = 0;
};

// The layer of the platform the engine was built for.
std::unique_ptr<FileLayer> MakePlatformFileLayer();

}  // namespace unz
