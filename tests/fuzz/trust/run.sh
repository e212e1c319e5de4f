#!/usr/bin/env bash
# Builds the fuzz targets of the elevated programs' inputs with libFuzzer,
# ASan and UBSan, and runs each, niced, for SECONDS (default 600) on a working
# copy of its kept corpus, all at once; new coverage is merged, minimised,
# back into corpus-<target>/ (replayed by the unit tests), any crashing input
# is copied to crashers/, and each target's executions and CPU seconds are
# printed. Usage: run.sh [SECONDS] ["StubFileOf UninstallDataOf ..."].
# Not part of scripts/test.sh.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../../.." && pwd)
seconds=${1:-600}
targets=${2:-"StubFileOf UninstallDataOf PendingRenamesOf ListNamesOf PeExportsOf PackedFolderOf"}
out=$root/build/fuzz-trust
mkdir -p "$out/obj" "$here/crashers"
cat >"$out/flags.rsp" <<FLAGS
-std=c++20 -g -O1 -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all
-I"$root" '-DQV_SOURCE_DIR="$root"'
FLAGS

# The layers, the in-memory Windows, the stub, the unzip engine and the
# checker, compiled once (through the compiler cache when there is one).
sources=$(ls "$root"/{app,engine,sys,zip,os/fake,sfx,tools/setupcheck,unzdll}/*.cpp "$root"/unzdll/posix/*.cpp |
  grep -v -E '/(app/Main|sfx/Main|tools/setupcheck/main|UnzExports|PosixFiles)\.cpp$')
cc=clang++
command -v ccache >/dev/null && cc="ccache clang++"
objects=() stale=()
for src in $sources; do
  obj=$out/obj/$(echo "${src#$root/}" | tr / _).o
  objects+=("$obj")
  stale+=("$src" "$obj")  # the compiler cache answers for the unchanged ones
done
printf '%s\n' "${stale[@]}" | nice -n 19 xargs -r -P 2 -n 2 sh -c "$cc @$out/flags.rsp -c \"\$0\" -o \"\$1\""
rm -f "$out/libtrust.a" && ar rcs "$out/libtrust.a" "${objects[@]}"

pids=()
for t in $targets; do
  nice -n 19 clang++ @"$out/flags.rsp" -fsanitize=fuzzer -DQV_FUZZ_TARGET="$t" "$here/Fuzz.cpp" "$out/libtrust.a" \
    -lz -lpthread -o "$out/$t"
  mkdir -p "$out/work-$t" "$out/artifacts-$t" "$here/corpus-$t"
  cp -n "$here/corpus-$t"/* "$out/work-$t/" 2>/dev/null || true
  (
    set +e
    /usr/bin/time -f "%U %S" -o "$out/$t.time" nice -n 19 "$out/$t" -max_total_time="$seconds" -max_len=65536 \
      -timeout=30 -rss_limit_mb=2048 -close_fd_mask=1 -artifact_prefix="$out/artifacts-$t/" -print_final_stats=1 \
      "$out/work-$t" >"$out/$t.log" 2>&1
  ) &
  pids+=($!)
done
wait "${pids[@]}" || true  # a target that found something ends early; the others go on

for t in $targets; do
  for f in "$out/artifacts-$t"/*; do [ -f "$f" ] && cp "$f" "$here/crashers/$t-$(basename "$f")"; done
  rm -rf "$out/merged-$t" && mkdir -p "$out/merged-$t"
  nice -n 19 "$out/$t" -merge=1 -close_fd_mask=1 -artifact_prefix="$out/artifacts-$t/" "$out/merged-$t" "$here/corpus-$t" "$out/work-$t" >/dev/null 2>&1 || true
  rm -f "$here/corpus-$t"/* && cp "$out/merged-$t"/* "$here/corpus-$t/"
  runs=$(grep -h "stat::number_of_executed_units" "$out/$t.log" | awk '{print $2}')
  echo "$t: ${runs:-?} runs, $(tail -1 "$out/$t.time" | awk '{print $1 + $2}') CPU seconds," \
    "corpus $(ls "$here/corpus-$t" | wc -l) files, crashers $(ls "$out/artifacts-$t" | wc -l)"
done
