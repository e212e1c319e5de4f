#!/usr/bin/env bash
# Builds both trees: build/native (unit tests, sanitizers) and build/win32
# (the products in dist/, fixtures and Windows test programs).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/bootstrap.sh
jobs=$(nproc)
cmake -S . -B build/native -G Ninja -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake -S . -B build/win32 -G Ninja -DCMAKE_BUILD_TYPE=MinSizeRel \
  -DCMAKE_TOOLCHAIN_FILE=cmake/i686-w64-mingw32.cmake >/dev/null
cmake --build build/win32 -j "$jobs"
cmake --build build/native -j "$jobs"
