// The engine's entry points: the version query and one extraction per call.
#include "unzdll/UnzExports.h"

#include "unzdll/Extractor.h"
#include "unzdll/MemoryBudget.h"
#include "unzdll/UnzFiles.h"

extern "C" {

std::int32_t QV_UNZ_STDCALL GetUnzDllVersion() { return kUnzEngineVersion; }

std::int32_t QV_UNZ_STDCALL UnzDllExec(ExtractRequest* request) {
  if (request == nullptr) return 0;
  // Nothing may leave the library as an exception: the caller is not C++.
  try {
    std::unique_ptr<unz::FileLayer> files = unz::MakePlatformFileLayer();
    const unz::MemoryBudget budget = unz::BudgetFor(unz::ThisMachine());
    return unz::RunExtraction(*request, *files, unz::RunOptions{budget.useWorker, budget.chunkSize});
  } catch (...) {
    return 0;
  }
}

}
