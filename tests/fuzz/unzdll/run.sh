#!/usr/bin/env bash
# Builds the engine's fuzz target with libFuzzer and ASan/UBSan and runs it for SECONDS (default
# 600) on a working copy of the corpus; new inputs are merged back into the kept corpus, and any
# crashing input is copied to crashers/ for the replay test.
# Usage: tests/fuzz/unzdll/run.sh [SECONDS] [JOBS]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../../.." && pwd)
seconds=${1:-600}
out=$root/build/fuzz-unzdll
mkdir -p "$out/work" "$out/artifacts"

sources=$(ls "$root"/unzdll/*.cpp)
clang++ -std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
  -I"$root" "$here/unz_fuzz.cpp" $sources "$root"/unzdll/posix/*.cpp \
  -lz -lpthread -o "$out/unz_fuzz"

cp -n "$here"/corpus/* "$out/work/" 2>/dev/null || true
set +e
"$out/unz_fuzz" -max_total_time="$seconds" -max_len=65536 -timeout=10 -rss_limit_mb=2048 \
  -artifact_prefix="$out/artifacts/" -print_final_stats=1 "$out/work" 2>&1 | tee "$out/fuzz.log" | tail -30
rc=${PIPESTATUS[0]}
set -e
for f in "$out"/artifacts/*; do
  [ -f "$f" ] && cp "$f" "$here/crashers/"
done
# Keep the corpus small: only inputs that add coverage.
mkdir -p "$out/merged"
rm -f "$out"/merged/*
"$out/unz_fuzz" -merge=1 "$out/merged" "$here/corpus" "$out/work" >/dev/null 2>&1
rm -f "$here"/corpus/*
cp "$out"/merged/* "$here/corpus/"
echo "fuzz exit $rc; corpus $(ls "$here/corpus" | wc -l) files"
exit "$rc"
