#!/usr/bin/env bash
# Runs the archive component's Windows test program under Wine from its own
# folder (no engine library beside it) and ends with "N passed, M failed".
set -uo pipefail
root=$(cd "$(dirname "$0")/../../.." && pwd)
source "$root/scripts/lib/wine.sh"
dir=$root/build/wintests/zip
if [ ! -f "$dir/zip_tests.exe" ]; then echo "zip_tests.exe missing"; echo "0 passed, 1 failed"; exit 1; fi
qv_xvfb
prefix=$root/build/wine-zip
qv_wine_clone "$prefix"
log=$(mktemp)
(cd "$dir" && WINEPREFIX=$prefix timeout 600 wine zip_tests.exe) >"$log" 2>&1
rc=$?
WINEPREFIX=$prefix wineserver -k 2>/dev/null || true
qv_xvfb_stop
cat "$log"
p=$(grep -aoE '^\[  PASSED  \] [0-9]+' "$log" | grep -oE '[0-9]+$' | tail -1)
f=$(grep -aoE '^\[  FAILED  \] [0-9]+ tests?, listed below' "$log" | grep -oE '[0-9]+' | head -1)
p=${p:-0}; f=${f:-0}
if [ "$rc" -ne 0 ] && [ "$f" -eq 0 ]; then f=1; fi
rm -f "$log"
echo "$p passed, $f failed"
