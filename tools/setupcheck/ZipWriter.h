// Writes a zip archive in memory: every file deflated at the best level
// (stored when that does not make it smaller), with the CRC-32, the local
// DOS date and time and the DOS attributes that our unzip engine restores.
#pragma once
#include <cstdint>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

struct ZipSource {
  std::string name;  // the path inside the archive, "\" or "/" between folders
  std::string data;
  std::uint32_t dosDateTime = 0;  // date in the high word, time in the low
  std::uint8_t dosAttributes = 0x20;
};

// The DOS date and time of a moment in local time, seconds rounded up to the
// next even second (DOS counts in two-second steps, and a file must not look
// older than it is); moments before 1980 become 1980-01-01 00:00:00.
std::uint32_t DosDateTimeOf(std::time_t moment);

// The archive of the files in the order given. Names are stored as they are
// (the code page of the system that made them); the archive says so by its
// made-by host, so nothing converts them from OEM. Throws std::runtime_error
// when an entry or the archive outgrows what a zip archive without its
// 64-bit extension can hold.
std::string WriteZip(const std::vector<ZipSource>& files);

// The same archive written one entry at a time, each entry's bytes handed to
// the sink as soon as they are made, so that only one file is in memory.
class ZipStreamWriter {
 public:
  using Sink = std::function<void(const std::string& bytes)>;
  explicit ZipStreamWriter(Sink sink) : sink_(std::move(sink)) {}
  void Add(const ZipSource& file);
  void Finish();  // the central directory and the end record
  std::uint64_t Written() const { return written_; }

 private:
  void Emit(const std::string& bytes);
  Sink sink_;
  std::string central_;
  std::uint64_t written_ = 0;
  std::size_t count_ = 0;
};
