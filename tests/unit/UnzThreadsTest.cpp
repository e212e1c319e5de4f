// The engine's lock, wake-up and worker thread, and the machine's say in using one. Built natively against the standard-library
// version and, in the Windows test program unzdll_tests, against the Win32 one; a lost wake-up
// shows as a test that never ends.
#include <gtest/gtest.h>

#include <atomic>

#include "unzdll/UnzThreads.h"
#ifndef QV_UNDER_WINE
#include "os/OsSystem.h"
#include "os/fake/FakeControl.h"
#include "unzdll/EntryDecoder.h"
#include "unzdll/MemoryBudget.h"
#endif

namespace {

#ifndef QV_UNDER_WINE  // the machine is set on the in-memory Windows, which the native build has

// The budget as the engine takes it on the in-memory Windows set to each machine: one processor
// with at most 16 MB gets two buffers of 64 KB and no worker, everything else today's buffers.
TEST(MemoryBudget, FollowsTheMachinesProcessorsAndMemory) {
  const struct {
    unsigned processors;
    std::uint64_t bytes;
    std::size_t chunk;
    bool worker;
  } rows[] = {
      {1, 8u << 20, 64 * 1024, false},
      {1, 16u << 20, 64 * 1024, false},
      {1, (16u << 20) + 4096, unz::EntryDecoder::kChunkSize, true},
      {2, 8u << 20, unz::EntryDecoder::kChunkSize, true},
      {1, 0, unz::EntryDecoder::kChunkSize, true},  // a machine that does not say
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(testing::Message() << row.processors << " processors, " << row.bytes << " bytes");
    os::fake::Reset();
    os::fake::SetMachineSize({row.processors, row.bytes});
    const os::MachineSize machine = os::GetMachineSize();
    const unz::MemoryBudget budget = unz::BudgetFor({machine.processors, machine.physicalBytes});
    EXPECT_EQ(budget.chunkSize, row.chunk);
    EXPECT_EQ(budget.useWorker, row.worker);
    if (!row.worker) {
      EXPECT_LE(2 * budget.chunkSize, 256u * 1024);  // the decoder's input and output buffers
    }
  }
}

#endif

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
