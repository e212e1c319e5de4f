#!/usr/bin/env bash
# Builds the engine's fuzz target with libFuzzer and ASan/UBSan and runs it for SECONDS (default
# 600) on a working copy of the corpus; new inputs are merged back into the kept corpus, and any
# crashing input is copied to crashers/ for the replay test.
# TARGET unz (the default) fuzzes the whole engine on any archive, lzma the LZMA decoder on any
# entry data (corpus-lzma/).
# Usage: tests/fuzz/unzdll/run.sh [SECONDS] [JOBS] [TARGET]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../../.." && pwd)
seconds=${1:-600}
target=${3:-unz}
case $target in
  unz) corpus=$here/corpus crashers=$here/crashers ;;
  lzma) corpus=$here/corpus-lzma crashers=$here/crashers-lzma ;;
  *) echo "unknown target $target" >&2; exit 2 ;;
esac
out=$root/build/fuzz-unzdll-$target
mkdir -p "$out/work" "$out/artifacts" "$crashers"

sources=$(ls "$root"/unzdll/*.cpp)
sdk=/usr/include/lzma
clang -O1 -g -fsanitize=fuzzer-no-link,address,undefined -D_7ZIP_ST -c "$sdk/LzmaDec.c" -o "$out/LzmaDec.o"
clang++ -std=c++20 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
  -I"$root" -idirafter "$sdk" "$here/${target}_fuzz.cpp" $sources "$root"/unzdll/posix/*.cpp "$out/LzmaDec.o" \
  -lz -lpthread -o "$out/unz_fuzz"

cp -n "$corpus"/* "$out/work/" 2>/dev/null || true
set +e
"$out/unz_fuzz" -max_total_time="$seconds" -max_len=65536 -timeout=10 -rss_limit_mb=2048 \
  -artifact_prefix="$out/artifacts/" -print_final_stats=1 "$out/work" 2>&1 | tee "$out/fuzz.log" | tail -30
rc=${PIPESTATUS[0]}
set -e
for f in "$out"/artifacts/*; do
  [ -f "$f" ] && cp "$f" "$crashers/"
done
# Keep the corpus small: only inputs that add coverage.
mkdir -p "$out/merged"
rm -f "$out"/merged/*
"$out/unz_fuzz" -merge=1 "$out/merged" "$corpus" "$out/work" >/dev/null 2>&1
rm -f "$corpus"/*
cp "$out"/merged/* "$corpus/"
echo "fuzz exit $rc; corpus $(ls "$corpus" | wc -l) files"
exit "$rc"
