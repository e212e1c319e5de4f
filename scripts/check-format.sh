#!/usr/bin/env bash
# Checks the C++ sources against .clang-format (Debian's clang-format). The
# tree is formatted in one go later; until then only the files named in
# scripts/format-conforming.txt are held to it (--all checks every file,
# --list prints the files that conform now). Ends with "N passed, M failed".
set -uo pipefail
cd "$(dirname "$0")/.."
list=scripts/format-conforming.txt
sources() { git ls-files '*.cpp' '*.h' ':!:tests/fuzz/*/corpus/*'; }
case "${1:-}" in
  --all) files=$(sources) ;;
  --list)
    for f in $(sources); do clang-format --dry-run --Werror "$f" >/dev/null 2>&1 && echo "$f"; done
    exit 0 ;;
  *) files=$(grep -v '^#' "$list" 2>/dev/null) ;;
esac
passed=0
failed=0
for f in $files; do
  [ -f "$f" ] || continue  # a file since removed
  if clang-format --dry-run --Werror "$f" >/dev/null 2>&1; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "$f: differs from .clang-format (clang-format -i $f)"
  fi
done
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
