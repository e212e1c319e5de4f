// Stored copying and raw inflating of entry data with zlib, bounded by the stored sizes (LZMA
// decoding is in LzmaDecoder.cpp).
#include "unzdll/EntryDecoder.h"

#include <zlib.h>

#include <algorithm>
#include <new>

#include "unzdll/LzmaDecoder.h"
#include "zip/ZipRecords.h"

namespace unz {

struct EntryDecoder::Inflater {
  z_stream stream{};
  bool ready = false;
  ~Inflater() {
    if (ready) inflateEnd(&stream);
  }
};

EntryDecoder::EntryDecoder(std::size_t chunkSize)
    : chunkSize_(chunkSize), inflater_(std::make_unique<Inflater>()), in_(chunkSize), out_(chunkSize) {}

EntryDecoder::~EntryDecoder() = default;

bool IsKnownMethod(std::uint16_t method) {
  return method == ::zip::rec::kMethodStored || method == ::zip::rec::kMethodDeflated ||
         method == ::zip::rec::kMethodLzma;
}

UnzError EntryDecoder::Decode(ArchiveFile& archive, const ZipEntry& entry, const ChunkSink& sink) {
  if (entry.method == ::zip::rec::kMethodStored) return DecodeStored(archive, entry, sink);
  if (entry.method == ::zip::rec::kMethodDeflated) return DecodeDeflated(archive, entry, sink);
  if (entry.method == ::zip::rec::kMethodLzma) return DecodeLzma(archive, entry, sink);
  return UnzError::kUnknownMethod;
}

// A receiver that kept the buffer left a smaller one or none; the next piece needs a full one.
bool EntryDecoder::Hand(const ChunkSink& sink, std::size_t length) {
  const bool more = sink(out_, length);
  if (out_.size() < chunkSize_) out_.resize(chunkSize_);
  return more;
}

UnzError EntryDecoder::DecodeLzma(ArchiveFile& archive, const ZipEntry& entry, const ChunkSink& sink) {
  if (!lzma_) lzma_ = std::make_unique<LzmaDecoder>();
  return lzma_->Decode(archive, entry, in_, out_, [&](std::size_t length) { return Hand(sink, length); });
}

UnzError EntryDecoder::DecodeStored(ArchiveFile& archive, const ZipEntry& entry, const ChunkSink& sink) {
  if (entry.compressedSize != entry.size) return UnzError::kBadData;
  std::uint64_t offset = entry.dataOffset;
  std::uint32_t left = entry.size;
  while (left > 0) {
    const std::size_t want = std::min<std::size_t>(left, out_.size());
    if (archive.ReadAt(offset, out_.data(), want) != want) return UnzError::kArchiveRead;
    if (!Hand(sink, want)) return UnzError::kAborted;
    offset += want;
    left -= static_cast<std::uint32_t>(want);
  }
  return UnzError::kNone;
}

UnzError EntryDecoder::DecodeDeflated(ArchiveFile& archive, const ZipEntry& entry, const ChunkSink& sink) {
  z_stream& zs = inflater_->stream;
  if (!inflater_->ready) {
    zs = z_stream{};
    if (inflateInit2(&zs, -MAX_WBITS) != Z_OK) return UnzError::kOutOfMemory;
    inflater_->ready = true;
  } else if (inflateReset(&zs) != Z_OK) {
    return UnzError::kBadData;
  }

  std::uint64_t readOffset = entry.dataOffset;
  std::uint32_t inputLeft = entry.compressedSize;
  std::uint64_t produced = 0;
  zs.avail_in = 0;
  for (;;) {
    if (zs.avail_in == 0 && inputLeft > 0) {
      const std::size_t want = std::min<std::size_t>(inputLeft, in_.size());
      if (archive.ReadAt(readOffset, in_.data(), want) != want) return UnzError::kArchiveRead;
      readOffset += want;
      inputLeft -= static_cast<std::uint32_t>(want);
      zs.next_in = in_.data();
      zs.avail_in = static_cast<uInt>(want);
    }
    zs.next_out = out_.data();
    zs.avail_out = static_cast<uInt>(chunkSize_);
    const int rc = inflate(&zs, Z_NO_FLUSH);
    const std::size_t got = chunkSize_ - zs.avail_out;
    if (rc != Z_OK && rc != Z_STREAM_END && rc != Z_BUF_ERROR) return UnzError::kBadData;
    produced += got;
    if (produced > entry.size) return UnzError::kBadData;
    if (got > 0 && !Hand(sink, got)) return UnzError::kAborted;
    if (rc == Z_STREAM_END) return produced == entry.size ? UnzError::kNone : UnzError::kBadData;
    // No progress with all the stored input used up: the stream ends before its end block.
    if (got == 0 && zs.avail_in == 0 && inputLeft == 0) return UnzError::kBadData;
  }
}

}  // namespace unz
