// Our zip writer: local headers, data and the central directory in one pass,
// deflate from zlib.
#include "tools/setupcheck/ZipWriter.h"

#include <zlib.h>

#include <algorithm>
#include <stdexcept>

#include "sys/TextBytes.h"
#include "unzdll/Crc32.h"
#include "zip/ZipRecords.h"

namespace {

using namespace zip::rec;

// Made by "version 2.0 on an NTFS host": names are taken as they are, not as OEM text.
constexpr std::uint16_t kMadeBy = (11 << 8) | 20;
constexpr std::uint16_t kNeeded = 20;

// Raw deflate at the best level; empty when it does not shrink the data.
std::string Deflate(const std::string& data) {
  z_stream z{};
  if (deflateInit2(&z, Z_BEST_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 9, Z_DEFAULT_STRATEGY) != Z_OK)
    throw std::runtime_error("zlib could not start deflating");
  std::string out(deflateBound(&z, static_cast<uLong>(data.size())), '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  z.avail_in = static_cast<uInt>(data.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  const int result = deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  if (result != Z_STREAM_END) throw std::runtime_error("zlib could not deflate a file");
  return out.size() < data.size() ? out : std::string();
}

void Append16(std::string& out, std::uint16_t v) {
  std::uint8_t b[2];
  Put16(b, v);
  out.append(reinterpret_cast<char*>(b), 2);
}

void Append32(std::string& out, std::uint32_t v) {
  std::uint8_t b[4];
  Put32(b, v);
  out.append(reinterpret_cast<char*>(b), 4);
}

std::uint32_t Checked32(std::uint64_t value, const std::string& what) {
  if (value >= 0xFFFFFFFFull)
    throw std::runtime_error(what + " is too large for a zip archive (4 GB at most)");
  return static_cast<std::uint32_t>(value);
}

}  // namespace

std::uint32_t DosDateTimeOf(std::time_t moment) {
  moment += moment & 1;  // DOS keeps even seconds: round up
  std::tm local{};
#ifdef _WIN32
  const bool known = localtime_s(&local, &moment) == 0;
#else
  const bool known = localtime_r(&moment, &local) != nullptr;
#endif
  if (!known || local.tm_year < 80) return (1u << 5 | 1u) << 16;  // 1980-01-01
  if (local.tm_year > 207) return 0xFF9FBF7Du;                    // 2107-12-31 23:59:58
  const std::uint32_t date =
      static_cast<std::uint32_t>((local.tm_year - 80) << 9 | (local.tm_mon + 1) << 5 | local.tm_mday);
  const std::uint32_t time =
      static_cast<std::uint32_t>(local.tm_hour << 11 | local.tm_min << 5 | local.tm_sec / 2);
  return date << 16 | time;
}

std::string WriteZip(const std::vector<ZipSource>& files) {
  std::string archive;
  ZipStreamWriter writer([&archive](const std::string& bytes) { archive += bytes; });
  for (const ZipSource& file : files) writer.Add(file);
  writer.Finish();
  return archive;
}

void ZipStreamWriter::Emit(const std::string& bytes) {
  sink_(bytes);
  written_ += bytes.size();
}

void ZipStreamWriter::Add(const ZipSource& file) {
  if (++count_ >= 0xFFFF) throw std::runtime_error("too many files for a zip archive (65534 at most)");
  // Zip names separate their parts with "/"; the second byte of a double-byte character stays.
  std::string name = file.name;
  for (std::size_t i = 0; i < name.size(); i += CharLength(name, i, ProcessLeadBytes()))
    if (name[i] == '\\') name[i] = '/';
  if (name.empty() || name.size() > 0xFFFF) throw std::runtime_error("a file name cannot be stored: " + name);
  const std::uint32_t size = Checked32(file.data.size(), name);
  const std::uint32_t crc =
      unz::Crc32Update(0, reinterpret_cast<const unsigned char*>(file.data.data()), file.data.size());
  std::string deflated = Deflate(file.data);
  const bool stored = deflated.empty() && !file.data.empty();
  const std::uint16_t method = stored || file.data.empty() ? kMethodStored : kMethodDeflated;
  const std::string& body = method == kMethodStored ? file.data : deflated;
  const std::uint32_t offset = Checked32(written_, "the archive");

  // The local header, the name and the data.
  std::string local;
  Append32(local, kLocalSignature);
  Append16(local, kNeeded);
  Append16(local, 0);  // flags: no descriptor, names not UTF-8
  Append16(local, method);
  Append32(local, file.dosDateTime);
  Append32(local, crc);
  Append32(local, static_cast<std::uint32_t>(body.size()));
  Append32(local, size);
  Append16(local, static_cast<std::uint16_t>(name.size()));
  Append16(local, 0);  // no extra field
  local += name;
  Emit(local);
  Emit(body);

  // Its central header, kept until every entry's data is written.
  Append32(central_, kCentralSignature);
  Append16(central_, kMadeBy);
  Append16(central_, kNeeded);
  Append16(central_, 0);
  Append16(central_, method);
  Append32(central_, file.dosDateTime);
  Append32(central_, crc);
  Append32(central_, static_cast<std::uint32_t>(body.size()));
  Append32(central_, size);
  Append16(central_, static_cast<std::uint16_t>(name.size()));
  Append16(central_, 0);  // extra field
  Append16(central_, 0);  // comment
  Append16(central_, 0);  // start disk
  Append16(central_, 0);  // internal attributes
  Append32(central_, file.dosAttributes);
  Append32(central_, offset);
  central_ += name;
}

void ZipStreamWriter::Finish() {
  const std::uint32_t centralOffset = Checked32(written_, "the archive");
  Checked32(written_ + central_.size() + kEndSize, "the archive");
  std::string end;
  Append32(end, kEndSignature);
  Append16(end, 0);  // this disk
  Append16(end, 0);  // the disk where the central directory starts
  Append16(end, static_cast<std::uint16_t>(count_));
  Append16(end, static_cast<std::uint16_t>(count_));
  Append32(end, static_cast<std::uint32_t>(central_.size()));
  Append32(end, centralOffset);
  Append16(end, 0);  // no comment
  Emit(central_);
  Emit(end);
  std::string().swap(central_);
}
