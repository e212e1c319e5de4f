// The two feeds of entry data: decoding on the spot, and a worker thread that decodes ahead.
#include "unzdll/EntryFeed.h"

#include <zlib.h>

#include <deque>

#include "unzdll/Crc32.h"
#include "unzdll/UnzThreads.h"

namespace unz {

namespace {

class DirectFeed : public EntryFeed {
 public:
  DirectFeed(ArchiveFile& archive, std::size_t chunkSize) : archive_(archive), decoder_(chunkSize) {}
  UnzError Feed(const ZipEntry& entry, const ChunkSink& sink, std::uint32_t& crc) override {
    crc = static_cast<std::uint32_t>(crc32(0L, Z_NULL, 0));
    return decoder_.Decode(archive_, entry, [&](std::vector<unsigned char>& buffer, std::size_t length) {
      crc = Crc32Update(crc, buffer.data(), length);
      return sink(buffer, length);
    });
  }
  void Skip(const ZipEntry&) override {}

 private:
  ArchiveFile& archive_;
  EntryDecoder decoder_;
};

// The worker decodes the plan in order into a bounded queue of pieces; the caller takes them off
// in the same order. Buffers go back to a free list so steady work allocates nothing.
class WorkerFeed : public EntryFeed {
 public:
  WorkerFeed(ArchiveFile& archive, std::vector<const ZipEntry*> plan, std::size_t chunkSize)
      : archive_(archive), plan_(std::move(plan)), decoder_(chunkSize) {}

  ~WorkerFeed() override {
    {
      Locked lock(lock_);
      cancel_ = true;
    }
    roomMade_.Wake();
    worker_.Join();
  }

  // False when no thread could be started for the worker.
  bool Start() {
    return worker_.Start([this] { Work(); });
  }

  UnzError Feed(const ZipEntry& entry, const ChunkSink& sink, std::uint32_t& crc) override {
    if (next_ >= plan_.size() || plan_[next_] != &entry) return UnzError::kBadData;
    ++next_;
    bool refused = false;
    crc = static_cast<std::uint32_t>(crc32(0L, Z_NULL, 0));
    for (;;) {
      Piece piece = Take();
      if (piece.length > 0 && !refused) {
        if (!piece.crcTaken)
          piece.crc = Crc32Update(0, piece.data.data(), piece.length);
        crc = static_cast<std::uint32_t>(crc32_combine(crc, piece.crc, static_cast<z_off_t>(piece.length)));
        if (!sink(piece.data, piece.length)) refused = true;
      }
      Recycle(std::move(piece.data));
      if (piece.last) return refused ? UnzError::kAborted : piece.status;
    }
  }

  void Skip(const ZipEntry& entry) override {
    if (next_ >= plan_.size() || plan_[next_] != &entry) return;
    ++next_;
    for (;;) {
      Piece piece = Take();
      Recycle(std::move(piece.data));
      if (piece.last) return;
    }
  }

 private:
  struct Piece {
    std::vector<unsigned char> data;
    std::size_t length = 0;
    bool last = false;
    UnzError status = UnzError::kNone;
    // The CRC-32 of this piece alone, when the worker took it; the taker combines them.
    bool crcTaken = false;
    std::uint32_t crc = 0;
  };
  static constexpr std::size_t kQueuedPieces = 8;

  // Each side wakes the other only when it is waiting, and then only once there is a batch of work
  // (or room) for it, so the two threads do not hand over every piece through the scheduler.
  Piece Take() {
    Locked lock(lock_);
    takerWaits_ = true;
    while (queue_.empty()) {
      lock.Leave();
      piecesQueued_.Wait();
      lock.Enter();
    }
    takerWaits_ = false;
    Piece piece = std::move(queue_.front());
    queue_.pop_front();
    const bool wake = putterWaits_ && queue_.size() <= kQueuedPieces / 2;
    lock.Leave();
    if (wake) roomMade_.Wake();
    return piece;
  }

  void Recycle(std::vector<unsigned char> buffer) {
    if (buffer.size() < decoder_.ChunkSize()) return;
    Locked lock(lock_);
    free_.push_back(std::move(buffer));
  }

  // Called on the worker: false when the run is being torn down.
  bool Put(Piece piece) {
    Locked lock(lock_);
    putterWaits_ = true;
    while (!cancel_ && queue_.size() >= kQueuedPieces) {
      lock.Leave();
      roomMade_.Wait();
      lock.Enter();
    }
    putterWaits_ = false;
    if (cancel_) return false;
    const bool ends = piece.last;
    queue_.push_back(std::move(piece));
    const bool wake = takerWaits_ && (ends || queue_.size() >= kQueuedPieces / 2);
    lock.Leave();
    if (wake) piecesQueued_.Wake();
    return true;
  }

  std::vector<unsigned char> FreeBuffer() {
    Locked lock(lock_);
    if (free_.empty()) return std::vector<unsigned char>(decoder_.ChunkSize());
    std::vector<unsigned char> buffer = std::move(free_.back());
    free_.pop_back();
    return buffer;
  }

  void Work() {
    try {
      for (const ZipEntry* entry : plan_) {
        // Each piece is held back until the next one comes, so the last one carries the entry's
        // end: a small file passes as one piece.
        Piece pending;
        bool held = false;
        std::size_t count = 0;
        const UnzError status = decoder_.Decode(
            archive_, *entry, [this, &pending, &held, &count](std::vector<unsigned char>& buffer, std::size_t length) {
              if (held && !Put(std::move(pending))) return false;
              // The decoder's buffer goes into the queue as it is; a free one takes its place.
              pending = Piece{};
              pending.data = FreeBuffer();
              pending.data.swap(buffer);
              pending.length = length;
              // Checksumming costs about as much as inflating: this thread takes every other
              // piece's CRC and leaves the rest to the taker, which also writes.
              if (count++ % 2 == 0) {
                pending.crc = Crc32Update(0, pending.data.data(), length);
                pending.crcTaken = true;
              }
              held = true;
              return true;
            });
        Piece end = held ? std::move(pending) : Piece{};
        end.last = true;
        end.status = status;
        if (!Put(std::move(end))) return;
      }
    } catch (const std::bad_alloc&) {
      // The caller waits for an end piece of every planned entry it has not yet taken.
      for (;;) {
        Piece end;
        end.last = true;
        end.status = UnzError::kOutOfMemory;
        if (!Put(std::move(end))) return;
      }
    }
  }

  ArchiveFile& archive_;
  std::vector<const ZipEntry*> plan_;
  std::size_t next_ = 0;  // caller's position in the plan
  EntryDecoder decoder_;
  Lock lock_;
  Wakeup piecesQueued_;  // the taker waits on it for pieces
  Wakeup roomMade_;      // the worker waits on it for room in the queue, or for the end
  std::deque<Piece> queue_;
  std::vector<std::vector<unsigned char>> free_;
  bool cancel_ = false;
  bool takerWaits_ = false;
  bool putterWaits_ = false;
  WorkerThread worker_;  // last, and joined before anything above goes
};

}  // namespace

std::unique_ptr<EntryFeed> MakeDirectFeed(ArchiveFile& archive, std::size_t chunkSize) {
  return std::make_unique<DirectFeed>(archive, chunkSize);
}

std::unique_ptr<EntryFeed> MakeWorkerFeed(ArchiveFile& archive, std::vector<const ZipEntry*> plan,
                                          std::size_t chunkSize) {
  auto feed = std::make_unique<WorkerFeed>(archive, std::move(plan), chunkSize);
  if (!feed->Start()) return MakeDirectFeed(archive, chunkSize);
  return feed;
}

}  // namespace unz
