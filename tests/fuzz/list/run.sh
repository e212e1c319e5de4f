#!/usr/bin/env bash
# Builds the installation list fuzzer with libFuzzer and runs it, niced, for
# a while (seconds in $1, default 180) on a working copy of the kept corpus;
# new coverage is merged, minimised, back into corpus/ (replayed by the unit
# tests) and any crashing input is copied to crashers/.
set -euo pipefail
cd "$(dirname "$0")/../../.."
here=tests/fuzz/list
out=build/fuzz/list
mkdir -p "$out/corpus" "$out/artifacts" "$here/corpus" "$here/crashers"
clang++ -std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all -I. \
  tests/fuzz/list/ListFuzzer.cpp engine/InstallList.cpp sys/PathText.cpp sys/WindowsVersion.cpp os/fake/*.cpp \
  -o "$out/list_fuzzer"
set +e
nice -n 19 "$out/list_fuzzer" -max_total_time="${1:-180}" -max_len=4096 -timeout=10 -artifact_prefix="$out/artifacts/" \
  -print_final_stats=1 -dict=tests/fuzz/list/list.dict "$out/corpus" "$here/corpus" "$here/seeds" >"$out/fuzz.log" 2>&1
rc=$?
set -e
grep -E "stat::number_of_executed_units|Done [0-9]+ runs" "$out/fuzz.log" | tail -2
for f in "$out"/artifacts/*; do [ -f "$f" ] && cp "$f" "$here/crashers/"; done
rm -rf "$out/merged" && mkdir -p "$out/merged"
nice -n 19 "$out/list_fuzzer" -merge=1 "$out/merged" "$here/corpus" "$out/corpus" >>"$out/fuzz.log" 2>&1
rm -f "$here"/corpus/* && cp "$out"/merged/* "$here/corpus/"
echo "fuzz exit $rc; corpus $(ls "$here/corpus" | wc -l) files"
exit "$rc"
