#!/usr/bin/env bash
# Extraction benchmark (not part of the tests): our engine, built optimised without sanitizers,
# against Info-ZIP unzip and bsdtar on two payloads. Usage:
#   scripts/bench-unzip.sh [--runs N] [--image] [--engine-before PATH]
# --image measures on an ext4 image of its own (needs root and loop devices), away from the noise
# of the root file system; BENCH_WORK=DIR chooses another work folder.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
runs=7
image=0
before=()
while [ $# -gt 0 ]; do
  case $1 in
    --runs) runs=$2; shift 2 ;;
    --image) image=1; shift ;;
    --engine-before) before=(--engine-before "$2"); shift 2 ;;
    *) echo "unknown option $1" >&2; exit 2 ;;
  esac
done

cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DQV_SANITIZE=OFF >/dev/null
cmake --build build/bench --target unz_extract >/dev/null

work=${BENCH_WORK:-$root/build/bench-work}
scratch=$work
mkdir -p "$work"
if [ "$image" = 1 ]; then
  img=$root/build/bench-fs.img
  mnt=$root/build/bench-mnt
  mkdir -p "$mnt"
  if ! mountpoint -q "$mnt"; then
    [ -f "$img" ] || { truncate -s 3G "$img"; mkfs.ext4 -q -F "$img"; }
    mount -o loop "$img" "$mnt"
  fi
  trap 'umount "$mnt" 2>/dev/null || true' EXIT
  # Payloads are made and kept outside the image; the archives are copied onto it and extracted there.
  scratch=$mnt
fi
python3 bench/bench_unzip.py --engine "$root/build/bench/bench/unz_extract" --work "$work" --scratch "$scratch" \
  --runs "$runs" "${before[@]}"
