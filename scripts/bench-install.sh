#!/usr/bin/env bash
# Install benchmark (not part of the tests): the whole unattended install
# under Wine, loose files, package, the package split over four disks and the
# single file for a download, against a bare CopyFileA loop and an NSIS 3 zlib
# installer of the same payload, and the engine alone against a bare zlib
# extractor. The four-part package and the single file are made by setupcheck
# (build/native, from scripts/build.sh). Usage:
#   scripts/bench-install.sh [--rounds N] [--shapes flat,tree,large,one] [--dist LABEL=DIR]... [--image]
# Three rounds by default (a few minutes); --rounds 7 for steadier medians.
# --image puts the Wine prefix and the payloads on an ext4 image of its own
# (needs root and loop devices), away from the root file system's history.
# --dist compares builds in one alternated run, e.g.
#   --dist before=/path/to/old/dist --dist after=dist
# BENCH_WORK=DIR keeps the generated payloads elsewhere.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
bash scripts/bootstrap.sh
cmake -S . -B build/win32 -G Ninja -DCMAKE_BUILD_TYPE=MinSizeRel \
  -DCMAKE_TOOLCHAIN_FILE=cmake/i686-w64-mingw32.cmake >/dev/null
cmake -S . -B build/win32-tests -G Ninja -DCMAKE_BUILD_TYPE=MinSizeRel \
  -DCMAKE_TOOLCHAIN_FILE=cmake/i686-w64-mingw32-posix.cmake -DQV_WIN32_TESTS=ON >/dev/null
cmake --build build/win32 --target setup unzdll setupsfx >/dev/null
cmake --build build/win32-tests --target copyloop bareunzip unzrun windowfloor >/dev/null
source scripts/lib/wine.sh
args=()
image=0
for a in "$@"; do
  if [ "$a" = --image ]; then image=1; else args+=("$a"); fi
done
prefix=$root/build/bench-install-prefix
work=${BENCH_WORK:-$root/build/bench-work}
mnt=$root/build/bench-install-mnt
if [ "$image" = 1 ]; then
  source scripts/lib/bench-image.sh
  qv_bench_image "$root/build/bench-install-fs.img" "$mnt" 8G
  prefix=$mnt/prefix
  work=$mnt/work
fi
end() {
  WINEPREFIX=$prefix wineserver -k 2>/dev/null || true
  qv_xvfb_stop
  if [ "$image" = 1 ]; then qv_bench_image_release "$mnt"; fi
}
qv_xvfb
trap end EXIT
qv_wine_clone "$prefix"
# One wineserver for the whole run: its start is not measured.
WINEPREFIX=$prefix wineserver -p
# Wine starts its services with the first program; that start is not measured either.
WINEPREFIX=$prefix wine cmd /c exit >/dev/null 2>&1 </dev/null || true
# Nor is the start of its desktop process, which Windows has before any installer runs: a hidden
# window holds it for the whole run (wineserver -k ends it).
cp "$root/build/fixtures/bench/windowfloor.exe" "$prefix/drive_c/windowfloor.exe"
WINEPREFIX=$prefix wine 'C:\windowfloor.exe' --hold >/dev/null 2>&1 </dev/null &
mkdir -p "$work"
has_dist=0
for a in "${args[@]}"; do [ "$a" = --dist ] && has_dist=1; done
[ "$has_dist" = 1 ] || args+=(--dist "ours=$root/dist")
setupcheck=$root/build/native/tools/setupcheck/setupcheck
[ -x "$setupcheck" ] || { echo "build first: bash scripts/build.sh ($setupcheck is missing)"; exit 1; }
python3 bench/bench_install.py --prefix "$prefix" --work "$work" \
  --anchors "$root/build/fixtures/bench" --setupcheck "$setupcheck" "${args[@]}"
