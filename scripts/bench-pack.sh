#!/usr/bin/env bash
# Packer benchmark (not part of the tests): `setupcheck --pack` and `setupcheck FOLDER` against
# `zip -9` of the same folder, on 500, 1,000 and 2,000 small files and on 10 MB of programs, with
# setupcheck built optimised without sanitizers. Usage:
#   scripts/bench-pack.sh [--rounds N] [--payloads small2000,programs] [--setupcheck PATH]
# --setupcheck measures another build (the test build: build/native/tools/setupcheck/setupcheck).
# BENCH_WORK=DIR keeps the generated folders elsewhere.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
[ -f dist/setup.exe ] && [ -f dist/UNZDLL.DLL ] || { echo "build first: bash scripts/build.sh"; exit 1; }
args=()
setupcheck=
while [ $# -gt 0 ]; do
  case $1 in
    --setupcheck) setupcheck=$(readlink -f "$2"); shift 2 ;;
    *) args+=("$1"); shift ;;
  esac
done
if [ -z "$setupcheck" ]; then
  # GCC 12 warns falsely about string copies once it optimises; the test build keeps the warnings.
  cmake -S . -B build/native-release -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQV_SANITIZE=OFF \
    "-DCMAKE_CXX_FLAGS=-Wno-restrict -Wno-stringop-overflow -Wno-array-bounds" >/dev/null
  cmake --build build/native-release --target setupcheck >/dev/null
  setupcheck=$root/build/native-release/tools/setupcheck/setupcheck
fi
work=${BENCH_WORK:-$root/build/bench-pack}
mkdir -p "$work"
python3 bench/bench_pack.py --setupcheck "$setupcheck" --dist "$root/dist" --work "$work" "${args[@]}"
