// Our zip writer: local headers, data and the central directory in one pass;
// deflate from zlib (and zopfli where built in), LZMA from the LZMA SDK.
#include "tools/setupcheck/ZipWriter.h"

#include <zlib.h>

#include <algorithm>
#include <cstdlib>
#include <stdexcept>

extern "C" {
#include "LzmaEnc.h"
}
#ifdef QV_ZOPFLI
#include <zopfli/zopfli.h>
#endif

#include "sys/TextBytes.h"
#include "unzdll/Crc32.h"
#include "zip/ZipRecords.h"

namespace {

using namespace zip::rec;

// Made by "an NTFS host" (names are taken as they are, not as OEM text), in
// the version of the format the entry needs.
constexpr std::uint16_t kMadeByNtfs = 11 << 8;
constexpr std::uint16_t kNeeded = 20;
constexpr std::uint16_t kNeededLzma = 63;  // version 6.3 of the format brought method 14

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

// The exhaustive search's raw deflate; empty where it is not built in.
std::string DeflateExhaustively(const std::string& data) {
#ifdef QV_ZOPFLI
  ZopfliOptions options;
  ZopfliInitOptions(&options);
  // Its default 15 rounds for small files; a few for large ones, where each
  // round takes seconds and gains little.
  if (data.size() > (1u << 20)) options.numiterations = 5;
  unsigned char* out = nullptr;
  std::size_t size = 0;
  ZopfliCompress(&options, ZOPFLI_FORMAT_DEFLATE, reinterpret_cast<const unsigned char*>(data.data()),
                 data.size(), &out, &size);
  std::string deflated(reinterpret_cast<const char*>(out), size);
  std::free(out);
  return deflated;
#else
  (void)data;
  return std::string();
#endif
}

void* LzmaAllocate(void*, size_t size) { return std::malloc(size); }
void LzmaRelease(void*, void* address) { std::free(address); }

// An LZMA entry's data: the header, the properties and the stream with its
// end marker; empty when it does not shrink the data.
std::string Lzma(const std::string& data, const ZipOptions& options) {
  constexpr std::size_t kPrefix = kLzmaHeaderSize + kLzmaPropsSize;
  if (data.size() <= kPrefix) return std::string();
  CLzmaEncProps props;
  LzmaEncProps_Init(&props);
  props.level = 9;
  props.dictSize = options.lzmaDictionary;
  props.reduceSize = static_cast<UInt32>(data.size());  // no larger dictionary than the file needs
  props.writeEndMark = 1;
  props.numThreads = 1;
  if (options.smallest) {
    props.fb = 273;
    props.mc = 1u << 30;
  }
  std::string out(data.size(), '\0');  // room for no more than the data: larger is not wanted
  SizeT streamSize = data.size() - kPrefix;
  SizeT propsSize = kLzmaPropsSize;
  ISzAlloc heap = {LzmaAllocate, LzmaRelease};
  const SRes result =
      LzmaEncode(reinterpret_cast<Byte*>(out.data() + kPrefix), &streamSize,
                 reinterpret_cast<const Byte*>(data.data()), data.size(), &props,
                 reinterpret_cast<Byte*>(out.data() + kLzmaHeaderSize), &propsSize, 1, nullptr, &heap, &heap);
  if (result == SZ_ERROR_OUTPUT_EOF) return std::string();
  if (result != SZ_OK || propsSize != kLzmaPropsSize)
    throw std::runtime_error("the LZMA encoder failed on a file");
  out[0] = 9;  // the SDK's version, 9.22
  out[1] = 22;
  out[2] = static_cast<char>(kLzmaPropsSize);
  out[3] = 0;
  out.resize(kPrefix + streamSize);
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

bool HasExhaustiveDeflate() {
#ifdef QV_ZOPFLI
  return true;
#else
  return false;
#endif
}

CompressedData Compress(const std::string& data, const ZipOptions& options) {
  CompressedData best{kMethodStored, data};
  const auto consider = [&best](std::uint16_t method, std::string body) {
    if (!body.empty() && body.size() < best.body.size()) best = CompressedData{method, std::move(body)};
  };
  if (data.empty()) return best;
  consider(kMethodDeflated, Deflate(data));
  // Data that zlib's best cannot shrink the exhaustive search does not shrink either.
  if (options.smallest && options.method == ZipMethod::kDeflate && best.method == kMethodDeflated)
    consider(kMethodDeflated, DeflateExhaustively(data));
  // LZMA only where it is smaller than deflate: deflate decodes several times faster.
  if (options.method == ZipMethod::kLzma) consider(kMethodLzma, Lzma(data, options));
  return best;
}

std::string WriteZip(const std::vector<ZipSource>& files, const ZipOptions& options) {
  std::string archive;
  ZipStreamWriter writer([&archive](const std::string& bytes) { archive += bytes; }, options);
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
  const CompressedData compressed = Compress(file.data, options_);
  const std::uint16_t method = compressed.method;
  const std::string& body = compressed.body;
  const std::uint16_t needed = method == kMethodLzma ? kNeededLzma : kNeeded;
  const std::uint16_t flags = method == kMethodLzma ? kFlagLzmaEndMarker : 0;  // names not UTF-8
  const std::uint32_t offset = Checked32(written_, "the archive");

  // The local header, the name and the data.
  std::string local;
  Append32(local, kLocalSignature);
  Append16(local, needed);
  Append16(local, flags);  // no descriptor
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
  Append16(central_, kMadeByNtfs | needed);
  Append16(central_, needed);
  Append16(central_, flags);
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
