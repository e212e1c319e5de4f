#!/usr/bin/env bash
# Runs the system-service tests under Wine, in one fresh prefix per Windows
# version: the NT family (winxp, nt40) and the 95 family (win98). Each run
# keeps its own wineserver from the first action to the last check, since a
# new Wine session carries out pending renames and WININIT.INI at once.
# Ends with "N passed, M failed".
set -uo pipefail
cd "$(dirname "$0")/../../.."
root=$(pwd)
source scripts/lib/wine.sh
exe=$root/build/wine-sys/sys_tests.exe
fixtures="Z:$(echo "$root/build/fixtures/sys" | tr / '\\')"
work=$root/build/wine-sys
passed=0
failed=0

if [ ! -f "$exe" ]; then
  echo "missing $exe (run scripts/build.sh)"
  echo "0 passed, 1 failed"
  exit 1
fi
qv_xvfb

# run_version VERSION FAMILY FILTER
run_version() {
  local version=$1 family=$2 filter=$3 prefix=$work/prefix-$1 log=$work/$1.log p f rc
  qv_wine_clone "$prefix"
  WINEPREFIX=$prefix winecfg -v "$version" >/dev/null 2>&1
  (cd "$work" && QV_FIXTURES=$fixtures QV_FAMILY=$family WINEPREFIX=$prefix \
    timeout 300 wine "$exe" --gtest_filter="$filter") >"$log" 2>&1
  rc=$?
  # Read back what the tests left in the registry with Wine's own tool, in
  # the same session.
  if [ "$family" = nt ]; then
    if WINEPREFIX=$prefix wine reg query 'HKCU\Software\QvSys\Values' /v Ten 2>/dev/null | grep -q '0xa'; then
      passed=$((passed + 1))
    else
      echo "$version: reg query did not show Ten = 0xa"; failed=$((failed + 1))
    fi
  fi
  WINEPREFIX=$prefix wineserver -k 2>/dev/null || true
  p=$(grep -aoE '^\[  PASSED  \] [0-9]+' "$log" | grep -oE '[0-9]+$' | tail -1)
  f=$(grep -aoE '^\[  FAILED  \] [0-9]+ tests?, listed below' "$log" | grep -oE '[0-9]+' | head -1)
  p=${p:-0}
  f=${f:-0}
  if [ "$rc" -ne 0 ] && [ "$f" -eq 0 ]; then f=1; echo "$version: exit $rc without a failure count"; fi
  echo "$version: $p passed, $f failed"
  grep -aE '^\[  FAILED  \]|Failure' -A6 "$log" | head -60
  passed=$((passed + p))
  failed=$((failed + f))
  rm -rf "$prefix"
}

run_version winxp nt 'SysWine.*:SysWineNt.*'
run_version nt40 nt 'SysWineNt.*:SysWine.Registry*'
run_version win98 95 'SysWine95.*:SysWine.Crashes*'

qv_xvfb_stop
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
