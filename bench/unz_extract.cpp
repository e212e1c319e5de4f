// Command-line front of the engine: extracts an archive into a folder through the same request and
// callback the archive component uses (for the benchmark and for trying archives). The native
// build links the engine in; the Windows build loads the UNZDLL.DLL that lies beside it.
#if defined(_WIN32)
#include <windows.h>
#endif

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#if defined(_WIN32)
#include "zip/UNZDLL.h"
#else
#include "unzdll/Extractor.h"
#include "unzdll/UnzExports.h"
#include "unzdll/UnzFiles.h"
#endif

namespace {

bool g_quiet = false;
bool g_oneThread = false;

std::int32_t QV_ZCALLBACK Callback(CallbackRecord* record) {
  if (!g_quiet && (record->ActionCode == kCbMessage || record->ActionCode == kCbSkipped ||
                   record->ActionCode == kCbCrcError))
    std::fprintf(stderr, "[%d] value=%d size=%u %s\n", record->ActionCode, record->ErrorCode, record->Size,
                 record->Text);
  return 0;
}

#if defined(_WIN32)
std::int32_t Extract(ExtractRequest& request) {
  char self[MAX_PATH] = {};
  const DWORD n = GetModuleFileNameA(nullptr, self, MAX_PATH);
  std::string library(self, n);
  library = library.substr(0, library.find_last_of('\\') + 1) + "UNZDLL.DLL";
  HMODULE engine = LoadLibraryA(library.c_str());
  auto exec = engine ? reinterpret_cast<UnzDllExecFunc>(reinterpret_cast<void*>(GetProcAddress(engine, "UnzDllExec")))
                     : nullptr;
  if (!exec) {
    std::fprintf(stderr, "cannot load %s\n", library.c_str());
    return -1;
  }
  return exec(&request);
}
#else
std::int32_t Extract(ExtractRequest& request) {
  if (!g_oneThread) return UnzDllExec(&request);
  // Everything on this thread, for comparing with the worker.
  std::unique_ptr<unz::FileLayer> files = unz::MakePlatformFileLayer();
  return unz::RunExtraction(request, *files, unz::RunOptions{.useWorker = false});
}
#endif

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: unz_extract ARCHIVE FOLDER [-d] [-o] [-t] [-q] [-1] [SPEC...]\n");
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
    else if (std::strcmp(argv[i], "-1") == 0) g_oneThread = true;
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
  const std::int32_t done = Extract(request);
  if (!g_quiet) std::fprintf(stderr, "%d files\n", done);
  return done >= 0 ? 0 : 1;
}
