// Reads one entry's data and hands its uncompressed bytes on in pieces (stored, raw deflate or LZMA).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "unzdll/UnzErrors.h"
#include "unzdll/UnzFiles.h"
#include "unzdll/ZipDirectory.h"

namespace unz {

class LzmaDecoder;

// Receives the next piece of uncompressed data: the first `length` bytes of `buffer`. It may take
// the buffer by swapping in another of at least the decoder's ChunkSize() bytes, so no piece needs
// copying. False stops the decoding.
// Whether the engine decodes entries of this compression method.
bool IsKnownMethod(std::uint16_t method);

using ChunkSink = std::function<bool(std::vector<unsigned char>& buffer, std::size_t length)>;

class EntryDecoder {
 public:
  explicit EntryDecoder(std::size_t chunkSize = kChunkSize);
  ~EntryDecoder();
  EntryDecoder(const EntryDecoder&) = delete;
  EntryDecoder& operator=(const EntryDecoder&) = delete;

  // Decodes a located entry. Never produces more than the entry's stored size; data that ends
  // early, runs long or does not decode gives kBadData, an LZMA dictionary that cannot be had
  // kOutOfMemory, a short read kArchiveRead, and a sink
  // that refuses a piece kAborted. The CRC is left to the receiver.
  UnzError Decode(ArchiveFile& archive, const ZipEntry& entry, const ChunkSink& sink);

  static constexpr std::size_t kChunkSize = 256 * 1024;
  std::size_t ChunkSize() const { return chunkSize_; }

 private:
  UnzError DecodeStored(ArchiveFile& archive, const ZipEntry& entry, const ChunkSink& sink);
  UnzError DecodeDeflated(ArchiveFile& archive, const ZipEntry& entry, const ChunkSink& sink);
  UnzError DecodeLzma(ArchiveFile& archive, const ZipEntry& entry, const ChunkSink& sink);
  bool Hand(const ChunkSink& sink, std::size_t length);

  struct Inflater;
  std::size_t chunkSize_;
  std::unique_ptr<Inflater> inflater_;
  std::unique_ptr<LzmaDecoder> lzma_;  // made at the first LZMA entry
  std::vector<unsigned char> in_;
  std::vector<unsigned char> out_;
};

}  // namespace unz
