// Where the extraction run gets each entry's uncompressed data from: decoded on the spot, or by a
// worker thread that decodes ahead while the run writes.
#pragma once

#include <memory>
#include <vector>

#include "unzdll/EntryDecoder.h"
#include "unzdll/ZipDirectory.h"

namespace unz {

class EntryFeed {
 public:
  virtual ~EntryFeed() = default;
  // Hands the entry's data to `sink`. Entries are asked for in the order of the plan given when
  // the feed was made; each planned entry is either fed or skipped, once.
  // `crc` receives the CRC-32 of the data fed.
  virtual UnzError Feed(const ZipEntry& entry, const ChunkSink& sink, std::uint32_t& crc) = 0;
  virtual void Skip(const ZipEntry& entry) = 0;
};

// Decodes on the caller's thread, in buffers of chunkSize bytes.
std::unique_ptr<EntryFeed> MakeDirectFeed(ArchiveFile& archive,
                                          std::size_t chunkSize = EntryDecoder::kChunkSize);

// Decodes the planned entries in order on a worker thread, a few pieces ahead of the caller.
// The worker only reads the archive and inflates; everything else stays on the caller's thread.
// Where no thread can be started, the entries are decoded on the caller's thread after all.
std::unique_ptr<EntryFeed> MakeWorkerFeed(ArchiveFile& archive, std::vector<const ZipEntry*> plan,
                                          std::size_t chunkSize = EntryDecoder::kChunkSize);

}  // namespace unz
