// The engine's threads in the native build, on the standard library.
#include <unistd.h>

#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>

#include "unzdll/MemoryBudget.h"
#include "unzdll/UnzThreads.h"

namespace unz {

struct Lock::State {
  std::mutex mutex;
};

Lock::Lock() : state_(std::make_unique<State>()) {}
Lock::~Lock() = default;
void Lock::Enter() { state_->mutex.lock(); }
void Lock::Leave() { state_->mutex.unlock(); }

struct Wakeup::State {
  std::mutex mutex;
  std::condition_variable changed;
  bool woken = false;
};

Wakeup::Wakeup() : state_(std::make_unique<State>()) {}
Wakeup::~Wakeup() = default;

void Wakeup::Wait() {
  std::unique_lock<std::mutex> lock(state_->mutex);
  state_->changed.wait(lock, [this] { return state_->woken; });
  state_->woken = false;
}

void Wakeup::Wake() {
  {
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->woken = true;
  }
  state_->changed.notify_one();
}

struct WorkerThread::State {
  std::thread thread;
};

WorkerThread::WorkerThread() : state_(std::make_unique<State>()) {}
WorkerThread::~WorkerThread() { Join(); }

bool WorkerThread::Start(std::function<void()> body) {
  if (state_->thread.joinable()) return false;
  try {
    state_->thread = std::thread(std::move(body));
  } catch (const std::system_error&) {
    return false;
  }
  return true;
}

void WorkerThread::Join() {
  if (state_->thread.joinable()) state_->thread.join();
}

Machine ThisMachine() {
  const long processors = sysconf(_SC_NPROCESSORS_ONLN), pages = sysconf(_SC_PHYS_PAGES),
             pageSize = sysconf(_SC_PAGESIZE);
  return {processors > 0 ? static_cast<unsigned>(processors) : 1u,
          pages > 0 && pageSize > 0 ? static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(pageSize)
                                    : 0};
}

}  // namespace unz
