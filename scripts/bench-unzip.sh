#!/usr/bin/env bash
# Extraction benchmark (not part of the tests): our engine, built optimised without sanitizers,
# against Info-ZIP unzip and bsdtar on two payloads. Usage:
#   scripts/bench-unzip.sh [--runs N] [--image] [--wine [DLL]] [--engine-before PATH]
# --image measures on an ext4 image of its own (needs root and loop devices), away from the noise
# of the root file system; BENCH_WORK=DIR chooses another work folder.
# --wine measures the Windows library instead (dist/UNZDLL.DLL, or the DLL given) under Wine,
# called through its entry point by build/wintests/bench/unz_extract.exe (scripts/build.sh makes
# it); each of its runs includes the start of a Wine process.
# --engine-before PATH also measures an earlier build of the native unz_extract, alternated with ours.
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
    --wine)
      wine_dll=$root/dist/UNZDLL.DLL
      shift
      if [ $# -gt 0 ] && [ "${1#--}" = "$1" ]; then wine_dll=$(readlink -f "$1"); shift; fi ;;
    *) echo "unknown option $1" >&2; exit 2 ;;
  esac
done

engine=$root/build/bench/bench/unz_extract
if [ -n "${wine_dll:-}" ]; then
  # The Windows command in a folder of its own with the library to measure, run through a
  # wrapper that hands it Windows paths; one Wine server for all runs.
  source scripts/lib/wine.sh
  exe=$root/build/wintests/bench/unz_extract.exe
  [ -f "$exe" ] || { echo "build first: bash scripts/build.sh"; exit 1; }
  dir=$root/build/bench-wine
  mkdir -p "$dir"
  cp "$exe" "$wine_dll" "$dir/"
  [ "$(basename "$wine_dll")" = UNZDLL.DLL ] || mv "$dir/$(basename "$wine_dll")" "$dir/UNZDLL.DLL"
  export WINEPREFIX=$dir/prefix
  qv_wine_clone "$WINEPREFIX"
  wineserver -p
  trap 'wineserver -k 2>/dev/null || true' EXIT
  # Wine's own services start with the first program and outlive it: started here, away from the
  # timing and from the pipes the timing reads.
  wine "$dir/unz_extract.exe" >/dev/null 2>&1 || true
  engine=$dir/extract.sh
  cat >"$engine" <<WRAP
#!/usr/bin/env bash
a=\$1 o=\$2; shift 2
wine "$dir/unz_extract.exe" "Z:\${a//\//\\\\}" "Z:\${o//\//\\\\}" "\$@" 2>"$dir/stderr.txt"
rc=\$?
[ \$rc -eq 0 ] || cat "$dir/stderr.txt" >&2
exit \$rc
WRAP
  chmod +x "$engine"
  echo "engine: $wine_dll under Wine"
else
  cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DQV_SANITIZE=OFF >/dev/null
  cmake --build build/bench --target unz_extract >/dev/null
fi

work=${BENCH_WORK:-$root/build/bench-work}
scratch=$work
mkdir -p "$work"
if [ "$image" = 1 ]; then
  source scripts/lib/bench-image.sh
  mnt=$root/build/bench-mnt
  qv_bench_image "$root/build/bench-fs.img" "$mnt" 3G
  if [ -n "${wine_dll:-}" ]; then
    trap 'wineserver -k 2>/dev/null || true; qv_bench_image_release "$mnt"' EXIT
  else
    trap 'qv_bench_image_release "$mnt"' EXIT
  fi
  # Payloads are made and kept outside the image; the archives are copied onto it and extracted there.
  scratch=$mnt
fi
python3 bench/bench_unzip.py --engine "$engine" --work "$work" --scratch "$scratch" \
  --runs "$runs" "${before[@]}"
