#!/usr/bin/env bash
# Packing benchmark (not part of the tests): archive sizes and disk counts of three payloads with
# each of our methods and with zip, 7-Zip and NSIS, then the engine's decoding speed and
# instructions per byte for each method. Prints two markdown tables (bench/bench_pack_sizes.py).
# Usage: scripts/bench-pack-sizes.sh [--runs N]; BENCH_WORK=DIR chooses the work folder.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
bash scripts/bootstrap.sh
for p in setup.exe UNZDLL.DLL; do
  [ -f "dist/$p" ] || { echo "bench-pack-sizes: dist/$p is missing; run scripts/build.sh first" >&2; exit 1; }
done
# Optimised, without the test build's sanitizers; the optimiser's false alarms stay warnings.
cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DQV_SANITIZE=OFF -DQV_WERROR=OFF >/dev/null
cmake --build build/bench --target setupcheck unz_extract >/dev/null
exec python3 bench/bench_pack_sizes.py --setupcheck "$root/build/bench/tools/setupcheck/setupcheck" \
  --engine "$root/build/bench/bench/unz_extract" --dist "$root/dist" --work "${BENCH_WORK:-$root/build/bench-pack-sizes}" "$@"
