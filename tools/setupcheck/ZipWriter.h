// Writes a zip archive in memory: every file deflated at the best level, or
// the smaller of that and LZMA (zip method 14), stored when neither makes it
// smaller; with the CRC-32, the local DOS date and time and the DOS
// attributes that our unzip engine restores.
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

enum class ZipMethod { kDeflate, kLzma };

struct ZipOptions {
  ZipMethod method = ZipMethod::kDeflate;
  // Deflate: also an exhaustive search (zopfli), keeping the smaller result.
  // LZMA: the encoder's slowest, most thorough settings.
  bool smallest = false;
  // The LZMA dictionary: what the oldest machine the archive is for can decode.
  std::uint32_t lzmaDictionary = 1u << 20;
};

// Whether this build has the exhaustive deflate search of ZipOptions::smallest.
bool HasExhaustiveDeflate();

// The entry data of one file: its method (stored, deflated or LZMA) and the
// bytes written for it. An empty file is stored.
struct CompressedData {
  std::uint16_t method = 0;
  std::string body;
};
CompressedData Compress(const std::string& data, const ZipOptions& options);

// The DOS date and time of a moment in local time, seconds rounded up to the
// next even second (DOS counts in two-second steps, and a file must not look
// older than it is); moments before 1980 become 1980-01-01 00:00:00.
std::uint32_t DosDateTimeOf(std::time_t moment);

// The archive of the files in the order given. Names are stored as they are
// (the code page of the system that made them); the archive says so by its
// made-by host, so nothing converts them from OEM. Throws std::runtime_error
// when an entry or the archive outgrows what a zip archive without its
// 64-bit extension can hold.
std::string WriteZip(const std::vector<ZipSource>& files, const ZipOptions& options = {});

// The same archive written one entry at a time, each entry compressed as the
// options say and its bytes handed to the sink as soon as they are made, so
// that only one file is in memory.
class ZipStreamWriter {
 public:
  using Sink = std::function<void(const std::string& bytes)>;
  explicit ZipStreamWriter(Sink sink, ZipOptions options = {}) : sink_(std::move(sink)), options_(options) {}
  void Add(const ZipSource& file);
  void Finish();  // the central directory and the end record
  std::uint64_t Written() const { return written_; }

 private:
  void Emit(const std::string& bytes);
  Sink sink_;
  ZipOptions options_;
  std::string central_;
  std::uint64_t written_ = 0;
  std::size_t count_ = 0;
};
