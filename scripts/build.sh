#!/usr/bin/env bash
# Builds the three trees: build/win32 (the products in dist/, win32 thread
# model compilers), build/win32-tests (fixtures and Windows test programs,
# posix thread model compilers; it takes the products from dist/) and
# build/native (unit tests, sanitizers).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/bootstrap.sh
jobs=$(nproc)
cmake -S . -B build/native -G Ninja -DCMAKE_BUILD_TYPE=Debug >/dev/null
# The runtime the products link, built for the 486 once per machine (cached).
runtime=$(bash scripts/build-runtime.sh)
# The zopfli source the Windows build of setupcheck compiles in (cached).
zopfli=$(bash scripts/fetch-zopfli.sh)
cmake -S . -B build/win32 -G Ninja -DCMAKE_BUILD_TYPE=MinSizeRel \
  -DCMAKE_TOOLCHAIN_FILE=cmake/i686-w64-mingw32.cmake -DQV_RUNTIME="$runtime" -DQV_ZOPFLI_SOURCE="$zopfli" >/dev/null
cmake -S . -B build/win32-tests -G Ninja -DCMAKE_BUILD_TYPE=MinSizeRel \
  -DCMAKE_TOOLCHAIN_FILE=cmake/i686-w64-mingw32-posix.cmake -DQV_WIN32_TESTS=ON >/dev/null
cmake --build build/win32 -j "$jobs"
cmake --build build/win32-tests -j "$jobs"
cmake --build build/native -j "$jobs"
