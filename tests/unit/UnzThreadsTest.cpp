// The engine's lock, wake-up and worker thread. Built natively against the standard-library
// version and, in the Windows test program unzdll_tests, against the Win32 one; a lost wake-up
// shows as a test that never ends.
#include <gtest/gtest.h>

#include <atomic>

#include "unzdll/UnzThreads.h"

namespace {

TEST(UnzThreads, AWakeGivenBeforeTheWaitIsKept) {
  unz::Wakeup wakeup;
  wakeup.Wake();
  wakeup.Wait();  // returns at once; a second wake would not be owed
  SUCCEED();
}

// Two threads hand a turn back and forth many times, each waking the other only when the other
// is (or is about to be) waiting: the pattern of the engine's queue, and where a lost wake-up
// would stop both.
TEST(UnzThreads, TurnsPassBackAndForthWithoutLoss) {
  constexpr int kTurns = 5000;
  unz::Lock lock;
  unz::Wakeup toWorker, toCaller;
  int turn = 0;  // even: the worker's, odd: the caller's
  int workerTurns = 0;
  unz::WorkerThread worker;
  ASSERT_TRUE(worker.Start([&] {
    for (;;) {
      unz::Locked held(lock);
      while (turn % 2 != 0) {
        held.Leave();
        toWorker.Wait();
        held.Enter();
      }
      if (turn >= 2 * kTurns) return;
      ++workerTurns;
      ++turn;
      held.Leave();
      toCaller.Wake();
    }
  }));
  for (;;) {
    unz::Locked held(lock);
    while (turn % 2 == 0 && turn < 2 * kTurns) {
      held.Leave();
      toCaller.Wait();
      held.Enter();
    }
    if (turn >= 2 * kTurns) break;
    ++turn;
    held.Leave();
    toWorker.Wake();
  }
  worker.Join();
  EXPECT_EQ(workerTurns, kTurns);
  EXPECT_EQ(turn, 2 * kTurns);
}

TEST(UnzThreads, AWorkerRunsOnceAndIsJoined) {
  std::atomic<int> runs{0};
  {
    unz::WorkerThread worker;
    ASSERT_TRUE(worker.Start([&] { ++runs; }));
    EXPECT_FALSE(worker.Start([&] { ++runs; }));  // one function a thread
  }  // joined here
  EXPECT_EQ(runs.load(), 1);
  unz::WorkerThread idle;
  idle.Join();  // nothing started: nothing to wait for
}

}  // namespace
