// One extraction run: reads the request, chooses the entries, decides about each file, writes it
// through the file layer and reports through the caller's callback.
#pragma once

#include <cstddef>
#include <cstdint>

#include "unzdll/UnzFiles.h"
#include "zip/UNZDLL.h"

namespace unz {

struct RunOptions {
  // Decode on a worker thread while this thread writes; callbacks stay on this thread.
  bool useWorker = true;
  // Bytes of each decoding buffer.
  std::size_t chunkSize = 256 * 1024;
};

// Carries out the request and returns the number of files extracted (or tested) successfully.
std::int32_t RunExtraction(const ExtractRequest& request, FileLayer& files, const RunOptions& options = {});

}  // namespace unz
