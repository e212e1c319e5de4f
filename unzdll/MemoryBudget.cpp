// The engine's buffers and threads sized by the machine.
#include "unzdll/MemoryBudget.h"

#include "unzdll/EntryDecoder.h"

namespace unz {

MemoryBudget BudgetFor(const Machine& machine) {
  // Two buffers of 64 KB and zlib's window stay well under 256 KB; a worker would only add its
  // queue of buffers and a second stack, with no second processor to run it.
  if (machine.processors <= 1 && machine.physicalBytes != 0 && machine.physicalBytes <= kSmallMachineBytes)
    return {64 * 1024, false};
  return {EntryDecoder::kChunkSize, true};
}

}  // namespace unz
