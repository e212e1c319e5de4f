#!/usr/bin/env bash
# Benchmark, not a test: joins a spanned set of numbered files (made by
# Info-ZIP zip -s, SIZE_MB of incompressible data, default 256, in parts of
# 32 MB) with the archive component under Wine, and compares the median of
# alternated rounds with the median of `cat`s of the same parts. GNU cat copies
# inside the kernel (copy_file_range), which no program reading and writing
# through the Win32 API can do, so a read/write copy of the same parts with
# dd in 1 MB blocks is timed as a second yardstick.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
size_mb=${1:-256}
rounds=${ROUNDS:-7}
bench=$root/build/wintests/zip/zip_bench.exe
[ -f "$bench" ] || { echo "build first: bash scripts/build.sh"; exit 1; }
source scripts/lib/wine.sh
# In memory by default, away from the disk's write-back noise; BENCH_WORK=DIR chooses another place.
base=${BENCH_WORK:-$( [ -d /dev/shm ] && echo /dev/shm || echo /tmp )}
work=$(mktemp -d "$base/benchjoin.XXXXXX")
trap 'rm -rf "$work"' EXIT
head -c $((size_mb * 1048576)) /dev/urandom >"$work/data.bin"
(cd "$work" && zip -q -0 -s 32m set.zip data.bin && rm data.bin)
parts=$(ls "$work"/set.z[0-9]* | sort)
n=1
for p in $parts; do mv "$p" "$(printf '%s/set%03d.zip' "$work" "$n")"; n=$((n + 1)); done
last=$(printf '%s/set%03d.zip' "$work" "$n")
mv "$work/set.zip" "$last"
mkdir -p "$work/out"
prefix=$root/build/wine-bench
qv_wine_clone "$prefix"
winlast=$(WINEPREFIX=$prefix winepath -w "$last")
winout=$(WINEPREFIX=$prefix winepath -w "$work/out")\\
WINEPREFIX=$prefix wineserver -p || true  # one server for all rounds (winepath may have started it)
# Rounds alternate the three copies; each output is removed before the next.
cats=() dds=() joins=()
for _ in $(seq "$rounds"); do
  s=$(date +%s%N)
  cat "$work"/set[0-9][0-9][0-9].zip >"$work/out/cat.zip"
  e=$(date +%s%N)
  cats+=($(( (e - s) / 1000 )))
  rm -f "$work/out/cat.zip"
  s=$(date +%s%N)
  for p in "$work"/set[0-9][0-9][0-9].zip; do dd if="$p" bs=1M status=none; done >"$work/out/dd.zip"
  e=$(date +%s%N)
  dds+=($(( (e - s) / 1000 )))
  rm -f "$work/out/dd.zip"
  t=$(WINEPREFIX=$prefix wine "$bench" "$winlast" "$winout" 1 | tr -d '\r')
  joins+=($(python3 -c "print(int(float('$t') * 1000))"))
  rm -f "$work"/out/*
done
WINEPREFIX=$prefix wineserver -k 2>/dev/null || true
median() { printf '%s\n' "$@" | sort -n | awk '{a[NR]=$1} END {print (NR % 2) ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2}'; }
best_cat=$(median "${cats[@]}")
best_dd=$(median "${dds[@]}")
best_join=$(median "${joins[@]}")
echo "set: $((n)) parts, ${size_mb} MB, $rounds rounds in $work (medians)"
echo "cat:  $((best_cat / 1000)) ms"
echo "dd:   $((best_dd / 1000)) ms"
echo "join: $((best_join / 1000)) ms"
python3 -c "print('ratio join/cat: %.2f, join/dd: %.2f' % ($best_join / max(1, $best_cat), $best_join / max(1, $best_dd)))"
