#!/usr/bin/env bash
# The import check of the shipped binaries: every .exe and .dll in dist/ must
# import only functions that the first Windows 95 and NT 4.0 as released
# export (lists in tests/api-floor/), or Windows' loader refuses to start it.
# The DLLs in dist/ ship together, so each may import from the others.
# Then the check itself is tried on a program built with the posix thread
# model compilers (a Windows test program), which it must refuse.
# Usage: scripts/check-imports.sh [DIST] ; ends with "N passed, M failed".
set -uo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
dist=${1:-$root/dist}
check=$root/tests/api-floor/check-imports
passed=0
failed=0

mapfile -t binaries < <(find "$dist" -maxdepth 1 -type f \( -iname '*.exe' -o -iname '*.dll' \) | sort)
if [ ${#binaries[@]} -eq 0 ]; then
  echo "no binaries in $dist (run scripts/build.sh)"
  echo "0 passed, 1 failed"
  exit 1
fi
allow=()
for b in "${binaries[@]}"; do
  case ${b,,} in *.dll) allow+=(--allow-dll "$(basename "$b")") ;; esac
done

for floor in win95 nt4; do
  for b in "${binaries[@]}"; do
    if out=$("$check" "$floor" -q "${allow[@]}" "$b" 2>&1); then
      passed=$((passed + 1))
      echo "$floor $(basename "$b"): ok"
    else
      failed=$((failed + 1))
      echo "$out"
    fi
    # msvcrt.dll is checked against its oldest release (4.20), which the first
    # Windows 95 did not bring: it arrived with later Windows 95 releases,
    # Internet Explorer and the programs that shipped it. Said, not hidden.
    if [ "$floor" = win95 ] && i686-w64-mingw32-objdump -p "$b" | grep -ciE '^\s*DLL Name: msvcrt\.dll$' >/dev/null; then
      echo "  note: $(basename "$b") imports msvcrt.dll, which the first Windows 95 release did not include"
    fi
  done
done

# The check must be able to fail: a program with the posix threading runtime
# imports functions of Windows XP and Vista.
probe=$root/build/wintests/contract_tests.exe
if [ -f "$probe" ]; then
  if "$check" win95 -q "$probe" >/dev/null 2>&1 || "$check" nt4 -q "$probe" >/dev/null 2>&1; then
    failed=$((failed + 1))
    echo "the check passed $(basename "$probe"), built with the posix threading runtime"
  else
    passed=$((passed + 1))
    echo "the check refuses $(basename "$probe") (posix threading runtime): ok"
  fi
fi

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
