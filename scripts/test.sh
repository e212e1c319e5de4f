#!/usr/bin/env bash
# Runs every test tier: native unit and contract tests, the import check of
# the shipped binaries, the Windows test programs under Wine, the end-to-end
# cases. Ends with "N passed, M failed".
set -uo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
bash scripts/build.sh || { echo "build failed"; echo "0 passed, 1 failed"; exit 1; }
source scripts/lib/wine.sh

passed=0
failed=0
# Seconds one test may take before it counts as failed (a hang).
test_timeout=${QV_TEST_TIMEOUT:-300}
logdir=$root/build/test-logs
rm -rf "$logdir"
mkdir -p "$logdir"

# count_summary NAME LOG RC: adds the counts of a run that ends with the line
# "N passed, M failed"; a run without that line, or that fails without a
# failure count, counts as one failure.
count_summary() {
  local name=$1 log=$2 rc=$3 line p f
  line=$(grep -aE '^[0-9]+ passed, [0-9]+ failed' "$log" | tail -1)
  p=$(echo "$line" | awk '{print $1}'); f=$(echo "$line" | awk '{print $3}')
  p=${p:-0}; f=${f:-1}
  if [ "$rc" -ne 0 ] && [ "$f" -eq 0 ]; then f=1; fi
  passed=$((passed + p)); failed=$((failed + f))
  printf '%-40s %4d passed, %d failed\n' "$name" "$p" "$f"
  if [ "$f" -ne 0 ]; then grep -aiE 'fail' "$log" | head -20; fi
}

# count_ctest NAME LOG RC: adds the counts of a CTest run from its closing
# line "N% tests passed, F tests failed out of T"; a run without it counts as
# one failure.
count_ctest() {
  local name=$1 log=$2 rc=$3 line p f t
  line=$(grep -aE '^[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -1)
  f=$(echo "$line" | awk '{print $4}'); t=$(echo "$line" | awk '{print $NF}')
  if [ -z "$line" ]; then p=0; f=1; echo "$name: no CTest summary (exit $rc)"; else p=$((t - f)); fi
  if [ "$rc" -ne 0 ] && [ "$f" -eq 0 ]; then f=1; fi
  passed=$((passed + p)); failed=$((failed + f))
  printf '%-40s %4d passed, %d failed\n' "$name" "$p" "$f"
  if [ "$f" -ne 0 ]; then sed -n '/tests FAILED:/,$p' "$log" | head -40; fi
}

# run_wine_gtests EXE LOG: runs each case of a Windows test program as a
# process of its own under its own timeout; the log gets every case's output.
run_wine_gtests() {
  local exe=$1 log=$2 suite="" line p=0 f=0 rc
  : >"$log"
  while IFS= read -r line; do
    line=${line%$'\r'}
    case "$line" in
      "" | " "*) [ -n "$suite" ] && [ -n "${line// /}" ] || continue
        line=${line#  }; line=${line%%  #*}
        (cd build/wintests && WINEPREFIX=$prefix timeout "$test_timeout" wine "$exe" \
          --gtest_filter="$suite$line") >>"$log" 2>&1
        rc=$?
        if [ "$rc" -eq 0 ]; then p=$((p + 1)); else f=$((f + 1)); echo "[  FAILED  ] $suite$line (exit $rc)" >>"$log"; fi ;;
      *.) suite=$line ;;
      *) suite="" ;;
    esac
  done < <(cd build/wintests && WINEPREFIX=$prefix timeout "$test_timeout" wine "$exe" --gtest_list_tests 2>/dev/null)
  passed=$((passed + p)); failed=$((failed + f))
  [ $((p + f)) -eq 0 ] && { failed=$((failed + 1)); f=1; echo "$exe: no test listed"; }
  printf '%-40s %4d passed, %d failed\n' "wine/$exe" "$p" "$f"
  if [ "$f" -ne 0 ]; then grep -aE '^\[  FAILED  \]|Failure' "$log" | head -40; fi
}

echo "== native tests (one process a test, each under its own timeout)"
# Every GoogleTest case is a CTest test of its own (gtest_discover_tests): a
# hang costs that one test its timeout, not the results of its whole binary.
ctest --test-dir build/native -j "$(nproc)" --timeout "$test_timeout" --no-tests=error \
  >"$logdir/native.log" 2>&1
count_ctest native "$logdir/native.log" $?

echo "== imports of the shipped binaries (first Windows 95, NT 4.0)"
bash scripts/check-imports.sh >"$logdir/imports.log" 2>&1
count_summary imports "$logdir/imports.log" $?
grep -a 'note:' "$logdir/imports.log" | sort -u
if grep -aq '=> FAIL' "$logdir/imports.log"; then grep -avE ': ok$|note:' "$logdir/imports.log" | head -40; fi

echo "== the shipped binaries on a 486 and on the first Windows 95 (instructions, TLS directory)"
bash scripts/check-cpu-floor.sh >"$logdir/cpu-floor.log" 2>&1
count_summary cpu-floor "$logdir/cpu-floor.log" $?
grep -aE 'FAIL|above the 486$' "$logdir/cpu-floor.log" | grep -avE ' 0 above the 486$' | head -40

echo "== layers: nothing in os/ includes a layer above it, nothing above os/ a Windows header"
bash scripts/check-layers.sh >"$logdir/layers.log" 2>&1
count_summary layers "$logdir/layers.log" $?

echo "== formatting (.clang-format) of the files held to it"
if bash scripts/check-format.sh >"$logdir/format.log" 2>&1; then passed=$((passed + 1)); r=ok; else failed=$((failed + 1)); r=FAIL; fi
printf '%-40s %s\n' format "$(tail -1 "$logdir/format.log"): $r"
grep -a 'differs' "$logdir/format.log" | head -20

echo "== size of the installer and its unzip engine together"
# What a publisher ships beside the program: setup.exe and UNZDLL.DLL, at
# most 425,000 bytes together: 400,000 until the engine decoded LZMA entries,
# whose decoder (built for speed on a 486) adds about 11 KB.
size=$(cat dist/setup.exe dist/UNZDLL.DLL 2>/dev/null | wc -c)
[ -f dist/setup.exe ] && [ -f dist/UNZDLL.DLL ] || size=missing
if [ "$size" != missing ] && [ "$size" -le 425000 ]; then passed=$((passed + 1)); r=ok; else failed=$((failed + 1)); r=FAIL; fi
printf '%-40s %s bytes of 425000: %s\n' size "$size" "$r"

echo "== Windows test programs under Wine"
qv_xvfb
prefix=$root/build/wine-tests
qv_wine_clone "$prefix"
for t in $(find build/wintests -maxdepth 1 -type f -name '*_tests.exe' 2>/dev/null | sort); do
  run_wine_gtests "$(basename "$t")" "$logdir/$(basename "$t").log"
done
WINEPREFIX=$prefix wineserver -k 2>/dev/null || true

# Areas whose Wine tests need their own prefixes or Windows versions bring a
# run.sh that ends with the line "N passed, M failed".
for r in $(find tests/wine -mindepth 2 -maxdepth 2 -name run.sh 2>/dev/null | sort); do
  name=wine/$(basename "$(dirname "$r")")
  log=$logdir/$(basename "$(dirname "$r")").log
  timeout 900 bash "$r" >"$log" 2>&1
  count_summary "$name" "$log" $?
done

if [ -f tests/e2e/run_e2e.py ]; then
  echo "== end-to-end under Wine"
  python3 tests/e2e/run_e2e.py --summary "$logdir/e2e.summary" 2>&1 | tee "$logdir/e2e.log"
  read -r p f <"$logdir/e2e.summary" || { p=0; f=1; }
  passed=$((passed + p))
  failed=$((failed + f))
fi
qv_xvfb_stop

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ] && [ "$passed" -gt 0 ]
