#!/usr/bin/env bash
# Benchmark, not a test: joins a spanned set of numbered files (made by
# Info-ZIP zip -s, SIZE_MB of incompressible data, default 256, in parts of
# 32 MB) with the archive component under Wine, and compares the best of
# three runs with the best of three `cat`s of the same parts. GNU cat copies
# inside the kernel (copy_file_range), which no program reading and writing
# through the Win32 API can do, so a read/write copy of the same parts with
# dd in 1 MB blocks is timed as a second yardstick.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
size_mb=${1:-256}
bench=$root/build/wintests/zip/zip_bench.exe
[ -f "$bench" ] || { echo "build first: bash scripts/build.sh"; exit 1; }
source scripts/lib/wine.sh
work=$(mktemp -d /tmp/benchjoin.XXXXXX)
trap 'rm -rf "$work"' EXIT
head -c $((size_mb * 1048576)) /dev/urandom >"$work/data.bin"
(cd "$work" && zip -q -0 -s 32m set.zip data.bin && rm data.bin)
parts=$(ls "$work"/set.z[0-9]* | sort)
n=1
for p in $parts; do mv "$p" "$(printf '%s/set%03d.zip' "$work" "$n")"; n=$((n + 1)); done
last=$(printf '%s/set%03d.zip' "$work" "$n")
mv "$work/set.zip" "$last"
mkdir -p "$work/out"
best_cat=
for _ in 1 2 3; do
  s=$(date +%s%N)
  cat "$work"/set[0-9][0-9][0-9].zip >"$work/out/cat.zip"
  e=$(date +%s%N)
  t=$(( (e - s) / 1000000 ))
  rm -f "$work/out/cat.zip"
  if [ -z "$best_cat" ] || [ "$t" -lt "$best_cat" ]; then best_cat=$t; fi
done
best_dd=
for _ in 1 2 3; do
  s=$(date +%s%N)
  for p in "$work"/set[0-9][0-9][0-9].zip; do dd if="$p" bs=1M status=none; done >"$work/out/dd.zip"
  e=$(date +%s%N)
  t=$(( (e - s) / 1000000 ))
  rm -f "$work/out/dd.zip"
  if [ -z "$best_dd" ] || [ "$t" -lt "$best_dd" ]; then best_dd=$t; fi
done
prefix=$root/build/wine-bench
qv_wine_clone "$prefix"
winlast=$(WINEPREFIX=$prefix winepath -w "$last")
winout=$(WINEPREFIX=$prefix winepath -w "$work/out")\\
best_join=$(WINEPREFIX=$prefix wine "$bench" "$winlast" "$winout" 3 | tr -d '\r')
WINEPREFIX=$prefix wineserver -k 2>/dev/null || true
echo "set: $((n)) parts, ${size_mb} MB"
echo "cat:  ${best_cat} ms"
echo "dd:   ${best_dd} ms"
echo "join: ${best_join} ms"
python3 -c "print('ratio join/cat: %.2f, join/dd: %.2f' % (float('$best_join') / max(1, $best_cat), float('$best_join') / max(1, $best_dd)))"
