#!/usr/bin/env bash
# Builds the installation list fuzzer with libFuzzer and runs it, niced, for
# a while (seconds in $1, default 180). Crashes land in build/fuzz/list/.
set -euo pipefail
cd "$(dirname "$0")/../../.."
out=build/fuzz/list
mkdir -p "$out/corpus"
clang++ -std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all -I. \
  tests/fuzz/list/ListFuzzer.cpp engine/uInstallList.cpp sys/uQVStr.cpp sys/uQVOpSys.cpp os/fake/*.cpp \
  -o "$out/list_fuzzer"
nice -n 19 "$out/list_fuzzer" -max_total_time="${1:-180}" -max_len=4096 -artifact_prefix="$out/" \
  -dict=tests/fuzz/list/list.dict "$out/corpus" tests/fuzz/list/seeds
