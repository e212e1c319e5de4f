// How much memory and how many threads an extraction may take, from what the machine has: a
// one-processor machine of 16 MB, where Windows itself holds half of it, gets small buffers and
// no worker thread.
#pragma once

#include <cstddef>
#include <cstdint>

namespace unz {

struct Machine {
  unsigned processors = 1;
  std::uint64_t physicalBytes = 0;  // 0: unknown
};

struct MemoryBudget {
  std::size_t chunkSize;  // bytes of each decoding buffer (the engine holds two, plus the queue's)
  bool useWorker;         // decode ahead on a worker thread
};

constexpr std::uint64_t kSmallMachineBytes = 16u << 20;

MemoryBudget BudgetFor(const Machine& machine);

// The machine the engine runs on (the platform's own query).
Machine ThisMachine();

}  // namespace unz
