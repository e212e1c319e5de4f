#!/usr/bin/env bash
# The import check of the shipped binaries: every .exe and .dll in dist/ must
# import only functions that the first Windows 95 and NT 4.0 as released
# export (lists in tests/api-floor/), or Windows' loader refuses to start it.
# The DLLs in dist/ ship together, so each may import from the others.
# Beyond loading:
#  - no binary imports msvcrt.dll, which the first Windows 95 lacks (the C
#    runtime is crtdll.dll);
#  - the programs a user starts (setup.exe, uninst.exe, setupsfx.exe) import
#    only from NT 4.0's KnownDLLs, which the loader never takes from beside
#    the program: a DLL planted beside a download is not loaded;
#  - every ...W import is listed with the functions that call it, and one
#    that the 95 family has only as a failing stub fails the check.
# Then each check is tried on a program built with the posix thread model
# compilers and the system's runtime (a Windows test program), which it must
# refuse.
# Usage: scripts/check-imports.sh [DIST] ; ends with "N passed, M failed".
set -uo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
dist=${1:-$root/dist}
check=$root/tests/api-floor/check-imports
maps=$root/build/win32/ship
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

# NT 4.0's KnownDLLs (HKLM\System\CurrentControlSet\Control\Session Manager\KnownDLLs).
known_dlls=" advapi32.dll comdlg32.dll crtdll.dll gdi32.dll kernel32.dll lz32.dll olecli32.dll olesvr32.dll rpcrt4.dll shell32.dll user32.dll version.dll "
dlls_of() { i686-w64-mingw32-objdump -p "$1" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z'; }
# no_msvcrt BINARY: the binary does not import msvcrt.dll.
no_msvcrt() { ! dlls_of "$1" | grep -qx 'msvcrt\.dll'; }
# only_known_dlls BINARY: prints the DLLs outside the KnownDLLs; false if any.
only_known_dlls() {
  local d bad=0
  for d in $(dlls_of "$1"); do
    case $known_dlls in *" $d "*) ;; *) echo "  $(basename "$1") imports $d, not one of NT 4.0's KnownDLLs"; bad=1 ;; esac
  done
  return $bad
}
verdict() { # verdict NAME COMMAND...: counts the outcome of a check of ours
  local name=$1
  shift
  if "$@"; then passed=$((passed + 1)); echo "$name: ok"; else failed=$((failed + 1)); echo "$name: FAIL"; fi
}

for floor in win95 nt4; do
  for b in "${binaries[@]}"; do
    if out=$("$check" "$floor" -q "${allow[@]}" "$b" 2>&1); then
      passed=$((passed + 1))
      echo "$floor $(basename "$b"): ok"
    else
      failed=$((failed + 1))
      echo "$out"
    fi
  done
done
for b in "${binaries[@]}"; do
  name=$(basename "$b")
  verdict "no msvcrt.dll in $name" no_msvcrt "$b"
  case ${name,,} in
    setup.exe | uninst.exe | setupsfx.exe) verdict "only KnownDLLs in $name" only_known_dlls "$b" ;;
  esac
  if [ -f "$maps/$name.map" ]; then
    verdict "Unicode imports of $name" python3 "$root/scripts/lib/cpufloor.py" unicode "$b" "$maps/$name.map"
  else
    failed=$((failed + 1))
    echo "Unicode imports of $name: no map $maps/$name.map (run scripts/build.sh): FAIL"
  fi
done

# The checks must be able to fail: a program with the posix threading runtime
# imports functions of Windows XP and Vista, msvcrt.dll, DLLs outside the
# KnownDLLs and Unicode functions.
probe=$root/build/wintests/contract_tests.exe
if [ -f "$probe" ]; then
  refused() { ! "$@" >/dev/null 2>&1; }
  verdict "the floor check refuses $(basename "$probe") (posix threading runtime)" \
    refused bash -c '"$1" win95 -q "$3" && "$1" nt4 -q "$3"' _ "$check" x "$probe"
  verdict "the msvcrt.dll check refuses $(basename "$probe")" refused no_msvcrt "$probe"
  verdict "the KnownDLLs check refuses $(basename "$probe")" refused only_known_dlls "$probe"
  verdict "the Unicode check refuses $(basename "$probe")" refused python3 "$root/scripts/lib/cpufloor.py" unicode "$probe" -
fi

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
