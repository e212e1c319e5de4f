// The two feeds of entry data: decoding on the spot, and a worker thread that decodes ahead.
#include "unzdll/EntryFeed.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace unz {

namespace {

class DirectFeed : public EntryFeed {
 public:
  explicit DirectFeed(ArchiveFile& archive) : archive_(archive) {}
  UnzError Feed(const ZipEntry& entry, const ChunkSink& sink, std::uint32_t& crc) override {
    return decoder_.Decode(archive_, entry, sink, crc);
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
  WorkerFeed(ArchiveFile& archive, std::vector<const ZipEntry*> plan)
      : archive_(archive), plan_(std::move(plan)), worker_([this] { Work(); }) {}

  ~WorkerFeed() override {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      cancel_ = true;
    }
    changed_.notify_all();
    worker_.join();
  }

  UnzError Feed(const ZipEntry& entry, const ChunkSink& sink, std::uint32_t& crc) override {
    if (next_ >= plan_.size() || plan_[next_] != &entry) return UnzError::kBadData;
    ++next_;
    bool refused = false;
    for (;;) {
      Piece piece = Take();
      if (piece.last) {
        crc = piece.crc;
        return refused ? UnzError::kAborted : piece.status;
      }
      if (!refused && !sink(piece.data, piece.length)) refused = true;
      Recycle(std::move(piece.data));
    }
  }

  void Skip(const ZipEntry& entry) override {
    if (next_ >= plan_.size() || plan_[next_] != &entry) return;
    ++next_;
    for (;;) {
      Piece piece = Take();
      if (piece.last) return;
      Recycle(std::move(piece.data));
    }
  }

 private:
  struct Piece {
    std::vector<unsigned char> data;
    std::size_t length = 0;
    bool last = false;
    UnzError status = UnzError::kNone;
    std::uint32_t crc = 0;  // of the whole entry, in its last piece
  };
  static constexpr std::size_t kQueuedPieces = 8;

  Piece Take() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return !queue_.empty(); });
    Piece piece = std::move(queue_.front());
    queue_.pop_front();
    lock.unlock();
    changed_.notify_all();
    return piece;
  }

  void Recycle(std::vector<unsigned char> buffer) {
    std::lock_guard<std::mutex> lock(mutex_);
    free_.push_back(std::move(buffer));
  }

  // Called on the worker: false when the run is being torn down.
  bool Put(Piece piece) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return cancel_ || queue_.size() < kQueuedPieces; });
    if (cancel_) return false;
    queue_.push_back(std::move(piece));
    lock.unlock();
    changed_.notify_all();
    return true;
  }

  std::vector<unsigned char> FreeBuffer() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (free_.empty()) return std::vector<unsigned char>(EntryDecoder::kChunkSize);
    std::vector<unsigned char> buffer = std::move(free_.back());
    free_.pop_back();
    return buffer;
  }

  void Work() {
    try {
      for (const ZipEntry* entry : plan_) {
        Piece end;
        end.last = true;
        // The decoder's buffer goes into the queue as it is; a free one takes its place.
        end.status = decoder_.Decode(archive_, *entry, [this](std::vector<unsigned char>& buffer, std::size_t length) {
          Piece piece;
          piece.data = FreeBuffer();
          piece.data.swap(buffer);
          piece.length = length;
          return Put(std::move(piece));
        }, end.crc);
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
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Piece> queue_;
  std::vector<std::vector<unsigned char>> free_;
  bool cancel_ = false;
  std::thread worker_;  // last: starts once everything above is ready
};

}  // namespace

std::unique_ptr<EntryFeed> MakeDirectFeed(ArchiveFile& archive) { return std::make_unique<DirectFeed>(archive); }

std::unique_ptr<EntryFeed> MakeWorkerFeed(ArchiveFile& archive, std::vector<const ZipEntry*> plan) {
  return std::make_unique<WorkerFeed>(archive, std::move(plan));
}

}  // namespace unz
