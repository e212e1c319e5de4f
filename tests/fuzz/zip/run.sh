#!/usr/bin/env bash
# Builds the archive component's fuzz targets with clang (libFuzzer, ASan,
# UBSan) and runs each for the given seconds (default 600), niced; new
# corpus entries are merged, minimised, into corpus-dir/ and corpus-join/,
# and any crashing input is kept under crashers/ for the unit tests to replay.
# Usage: run.sh [SECONDS] ["DirectoryFuzz JoinFuzz"]. Not part of scripts/test.sh.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../../.." && pwd)
seconds=${1:-600}
targets=${2:-"DirectoryFuzz JoinFuzz"}
out=$root/build/fuzz
mkdir -p "$out" "$here/crashers"
sources=$(ls "$root"/zip/*.cpp "$root"/os/fake/*.cpp)
build() {
  clang++ -std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
    -I"$root" $sources "$here/$1.cpp" -o "$out/$1"
}
seed() {  # seed DIR: the test archives as corpus, once
  local dir=$1
  [ -n "$(ls -A "$dir" 2>/dev/null)" ] && return
  mkdir -p "$dir"
  python3 "$here/seeds.py" "$root/tests/unit/ZipData" "$dir" "$(basename "$dir")"
}
run() {  # run TARGET CORPUS
  local target=$1 corpus=$here/$2 fresh=$out/$2.new
  seed "$corpus"
  rm -rf "$fresh" && mkdir -p "$fresh"
  nice -n 19 "$out/$target" "$fresh" "$corpus" -max_total_time="$seconds" -max_len=200000 -rss_limit_mb=1024 \
    -timeout=10 -artifact_prefix="$here/crashers/$target-" -print_final_stats=1 >"$out/$target.log" 2>&1 || true
  # Keep a minimised corpus: the old entries and whatever new coverage was found.
  local merged=$out/$2.merged
  rm -rf "$merged" && mkdir -p "$merged"
  nice -n 19 "$out/$target" -merge=1 "$merged" "$corpus" "$fresh" >>"$out/$target.log" 2>&1
  rm -rf "$corpus" && mv "$merged" "$corpus"
  grep -E "stat::number_of_executed_units|stat::peak_rss_mb|Done [0-9]+ runs" "$out/$target.log" | tail -3
}
for t in $targets; do build "$t"; done
for t in $targets; do
  case $t in
    DirectoryFuzz) run DirectoryFuzz corpus-dir & ;;
    JoinFuzz) run JoinFuzz corpus-join & ;;
  esac
done
wait
ls "$here/crashers"
