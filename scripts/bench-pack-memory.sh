#!/usr/bin/env bash
# The packer's memory on a large folder (not part of the tests): a generated
# setup folder of about 650 MB (forty 16 MB files, mostly holes, each with a
# different start, so the archive stays small and the run short) packed for a
# CD and as a single file by a setupcheck built without sanitizers; prints the
# folder's size and the packer's peak resident memory.
# Usage: scripts/bench-pack-memory.sh [FILES [MB]]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
files=${1:-40}
mb=${2:-16}
[ -f dist/setup.exe ] && [ -f dist/UNZDLL.DLL ] && [ -f dist/setupsfx.exe ] ||
  { echo "build first: bash scripts/build.sh"; exit 1; }
# (GCC 12 warns falsely at -O3 about copies in code that the tests check with sanitizers.)
cmake -S . -B build/native-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DQV_SANITIZE=OFF -DCMAKE_CXX_FLAGS=-Wno-error=restrict >/dev/null
cmake --build build/native-release --target setupcheck >/dev/null
work=$root/build/bench-pack-memory
rm -rf "$work"
mkdir -p "$work/folder"
cp dist/setup.exe dist/UNZDLL.DLL "$work/folder/"
list=$'\\Big\r\nBig\r\nBig 1.0\r\n:INSTALL\r\n'
for n in $(seq -w 1 "$files"); do
  f="$work/folder/data$n.bin"
  head -c 65536 /dev/urandom > "$f"
  truncate -s "${mb}M" "$f"
  list+="data$n.bin"$'\r\n'
done
printf '%s:\r\n' "$list" > "$work/folder/setup.ini"
size=$(du -sb --apparent-size "$work/folder" | cut -f1)
/usr/bin/time -f "%M" -o "$work/peak-kb" build/native-release/tools/setupcheck/setupcheck --pack "$work/disks" \
  --disk-size 650M --single-file "$work/big-setup.exe" --stub dist/setupsfx.exe "$work/folder" > "$work/output.txt"
echo "folder: $size bytes in $((files + 3)) files; packed and proved (disks and single file)"
echo "peak resident memory of setupcheck --pack: $(( $(cat "$work/peak-kb") / 1024 )) MB"
rm -rf "$work"
