#!/usr/bin/env bash
# What Wine, on a modern processor, cannot show about the shipped binaries:
#  - every instruction in the code of every binary in dist/ is one a 486 has
#    (no cmov, fcomi, MMX/SSE, long NOP, cmpxchg8b, rdtsc, cpuid ...), our
#    code and every library linked in; each finding names its function;
#  - no library in dist/ (each is loaded with LoadLibrary) carries a
#    thread-local-storage directory, which the first Windows 95 refuses.
# Then both checks are tried on a planted offender, a library built for the
# Pentium Pro with the system's runtime (tests/fixtures/cpufloor), which each
# must refuse, also with the offender's code missing from the map; and a run
# that could read no instruction must fail.
# Usage: scripts/check-cpu-floor.sh [DIST] ; ends with "N passed, M failed".
set -uo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
dist=${1:-$root/dist}
maps=$root/build/win32/ship
check=(python3 "$root/scripts/lib/cpufloor.py")
passed=0
failed=0
pass() { passed=$((passed + 1)); echo "$1: ok"; }
fail() { failed=$((failed + 1)); echo "$1: FAIL"; }

mapfile -t binaries < <(find "$dist" -maxdepth 1 -type f \( -iname '*.exe' -o -iname '*.dll' \) | sort)
if [ ${#binaries[@]} -eq 0 ]; then
  echo "no binaries in $dist (run scripts/build.sh)"
  echo "0 passed, 1 failed"
  exit 1
fi

for b in "${binaries[@]}"; do
  name=$(basename "$b")
  if "${check[@]}" floor "$b" "$maps/$name.map"; then pass "486 $name"; else fail "486 $name"; fi
  case ${name,,} in
    *.dll) if "${check[@]}" tls "$b"; then pass "tls $name"; else fail "tls $name"; fi ;;
  esac
done

# The planted offender: each check must find it, the instruction check by name.
plant=$root/build/fixtures/cpufloor/qvpentiumpro.dll
if [ ! -f "$plant" ]; then
  echo "the planted offender $plant is missing (build/win32-tests)"
  fail "planted offender"
else
  out=$("${check[@]}" floor "$plant" "$plant.map")
  rc=$?
  echo "$out" | sed 's/^/  planted: /'
  if [ $rc -eq 1 ] && echo "$out" | grep -q 'cmov.* in qv_larger ' && echo "$out" | grep -q 'fu\?comip\? .* in qv_larger_real '; then
    pass "486 check refuses the planted offender"
  else
    fail "486 check refuses the planted offender"
  fi
  # Code the map does not place is judged all the same: the offender's own
  # object taken out of the map.
  unplaced_map=$(mktemp)
  grep -v 'PentiumPro\.c\.obj' "$plant.map" >"$unplaced_map"
  out=$("${check[@]}" floor "$plant" "$unplaced_map")
  rc=$?
  rm -f "$unplaced_map"
  echo "$out" | sed 's/^/  unplaced: /'
  if [ $rc -eq 1 ] && echo "$out" | grep -q 'cmov.* in (unplaced) \[unknown\]'; then
    pass "486 check judges code the map does not place"
  else
    fail "486 check judges code the map does not place"
  fi
  # A disassembly it cannot read checks nothing, and that is no pass.
  out=$(QV_OBJDUMP=true "${check[@]}" floor "$plant" "$plant.map")
  rc=$?
  echo "$out" | sed 's/^/  nothing read: /'
  if [ $rc -eq 1 ]; then pass "486 check refuses a binary of which nothing was checked"; else
    fail "486 check refuses a binary of which nothing was checked"; fi
  out=$("${check[@]}" tls "$plant")
  rc=$?
  echo "$out" | sed 's/^/  planted: /'
  if [ $rc -eq 1 ]; then pass "tls check refuses the planted offender"; else fail "tls check refuses the planted offender"; fi
fi

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
