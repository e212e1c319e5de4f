// Command-line front of the native engine build: extracts an archive into a folder through the
// same request and callback the archive component uses (for the benchmark and for trying archives).
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "unzdll/UnzExports.h"

namespace {

bool g_quiet = false;

std::int32_t Callback(CallbackRecord* record) {
  if (!g_quiet && (record->ActionCode == kCbMessage || record->ActionCode == kCbSkipped ||
                   record->ActionCode == kCbCrcError))
    std::fprintf(stderr, "[%d] value=%d size=%u %s\n", record->ActionCode, record->ErrorCode, record->Size,
                 record->Text);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: unz_extract ARCHIVE FOLDER [-d] [-o] [-t] [-q] [SPEC...]\n");
    return 2;
  }
  ExtractRequest request{};
  std::vector<UnzFileSpec> specs;
  char folder[kUnzExtractDirSize] = {};
  std::strncpy(folder, argv[2], sizeof folder - 1);
  for (int i = 3; i < argc; ++i) {
    if (std::strcmp(argv[i], "-d") == 0) request.Directories = kUnzTrue;
    else if (std::strcmp(argv[i], "-o") == 0) request.Overwrite = kUnzTrue;
    else if (std::strcmp(argv[i], "-t") == 0) request.Test = kUnzTrue;
    else if (std::strcmp(argv[i], "-q") == 0) g_quiet = true;
    else specs.push_back(UnzFileSpec{argv[i], {}});
  }
  request.Version = kUnzInterfaceVersion;
  request.ZCallbackFunc = Callback;
  request.ZipFileName = argv[1];
  request.ArgCount = static_cast<std::int32_t>(specs.size());
  request.FileSpecs = specs.empty() ? nullptr : specs.data();
  request.ExtractDir = folder;
  request.Reserved40 = -1;
  request.Seven = 7;
  const std::int32_t done = UnzDllExec(&request);
  if (!g_quiet) std::fprintf(stderr, "%d files\n", done);
  return done >= 0 ? 0 : 1;
}
