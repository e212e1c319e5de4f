// The engine's threads: a lock, a wake-up and a worker thread. The library builds them on Win32
// threads, critical sections and events, which every Windows has; the native build on the
// standard library.
#pragma once

#include <functional>
#include <memory>

namespace unz {

// A lock for short sections shared by two threads.
class Lock {
 public:
  Lock();
  ~Lock();
  Lock(const Lock&) = delete;
  Lock& operator=(const Lock&) = delete;
  void Enter();
  void Leave();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// Holds a lock for a scope; it can be left and entered again around a wait.
class Locked {
 public:
  explicit Locked(Lock& lock) : lock_(lock) { lock_.Enter(); }
  ~Locked() {
    if (held_) lock_.Leave();
  }
  Locked(const Locked&) = delete;
  Locked& operator=(const Locked&) = delete;
  void Leave() {
    lock_.Leave();
    held_ = false;
  }
  void Enter() {
    lock_.Enter();
    held_ = true;
  }

 private:
  Lock& lock_;
  bool held_ = true;
};

// Wakes the one thread that waits on it. A wake given while nobody waits is kept for the next
// wait, so a thread that checks its condition under a lock, leaves the lock and then waits
// misses no wake given in between; it may wake once without cause and must check again.
class Wakeup {
 public:
  Wakeup();  // throws std::bad_alloc when the system has no room for one
  ~Wakeup();
  Wakeup(const Wakeup&) = delete;
  Wakeup& operator=(const Wakeup&) = delete;
  void Wait();
  void Wake();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// A thread that runs one function; the destructor waits for it to end.
class WorkerThread {
 public:
  WorkerThread();
  ~WorkerThread();
  WorkerThread(const WorkerThread&) = delete;
  WorkerThread& operator=(const WorkerThread&) = delete;
  // False when the system would not start a thread; `body` then never runs.
  bool Start(std::function<void()> body);
  // Waits for the function to return; nothing to wait for when none was started.
  void Join();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace unz
