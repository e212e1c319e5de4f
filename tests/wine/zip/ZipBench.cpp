// Times JoinSpannedArchive on a set of numbered files: zip_bench.exe LASTPART
// OUTFOLDER RUNS prints the best time in milliseconds. Used by
// scripts/bench-join.sh, never by the tests.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "zip/ZipMaster.h"

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: zip_bench LASTPART OUTFOLDER [RUNS]\n");
    return 2;
  }
  int runs = argc > 3 ? std::atoi(argv[3]) : 3;
  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  double best = 1e30;
  for (int i = 0; i < runs; ++i) {
    zip::TZipMaster z;
    z.Unattended = true;
    std::string target = argv[2];
    LARGE_INTEGER start, stop;
    QueryPerformanceCounter(&start);
    int result = z.JoinSpannedArchive(argv[1], target);
    QueryPerformanceCounter(&stop);
    if (result != 0) {
      std::fprintf(stderr, "join failed: %d %s\n", result, z.LastMessage().c_str());
      return 1;
    }
    DeleteFileA(target.c_str());
    double ms = 1000.0 * static_cast<double>(stop.QuadPart - start.QuadPart) /
                static_cast<double>(frequency.QuadPart);
    if (ms < best) best = ms;
  }
  std::printf("%.1f\n", best);
  return 0;
}
