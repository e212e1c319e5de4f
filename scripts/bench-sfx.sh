#!/usr/bin/env bash
# The single file's extraction speed (not part of the tests): a download made
# by setupcheck --pack --single-file, run under Wine, against our engine alone
# extracting the very archive it carries (build/fixtures/bench/unzrun.exe
# calling UNZDLL.DLL's entry), and against starting the program the single
# file runs (its setup.exe here is a program that ends at once, with exit
# code 2). Prints the size of setupsfx.exe, the medians of alternated runs
# and their ratios, and checks each run's output: the exit code passed on, no
# folder left, every file extracted. Usage: scripts/bench-sfx.sh [--runs N]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
runs=5
[ "${1:-}" = --runs ] && runs=$2
for f in dist/setupsfx.exe dist/UNZDLL.DLL build/fixtures/bench/unzrun.exe build/fixtures/bench/copyloop.exe \
         build/native/tools/setupcheck/setupcheck; do
  [ -f "$f" ] || { echo "build first: bash scripts/build.sh ($f is missing)"; exit 1; }
done
source scripts/lib/wine.sh
work=$root/build/bench-sfx
rm -rf "$work"
mkdir -p "$work/folder"
cp dist/UNZDLL.DLL "$work/folder/"
cp build/fixtures/bench/copyloop.exe "$work/folder/setup.exe"
cp build/fixtures/bench/unzrun.exe dist/UNZDLL.DLL build/fixtures/bench/copyloop.exe "$work/"
export WINEPREFIX=$work/prefix
qv_wine_clone "$WINEPREFIX"
qv_xvfb  # the single file shows its progress in a window
wineserver -p
trap 'wineserver -k 2>/dev/null || true; qv_xvfb_stop' EXIT
wine "$work/copyloop.exe" >/dev/null 2>&1 || true  # Wine's services start here, away from the timing
python3 - "$root" "$work" "$runs" <<'PY'
import random, statistics, struct, subprocess, sys, time
from pathlib import Path

root, work, runs = Path(sys.argv[1]), Path(sys.argv[2]), int(sys.argv[3])
folder = work / "folder"
(folder / "setup.ini").write_bytes(b"\\Bench\r\nBench\r\nBench 1.0\r\n:INSTALL\r\n:\r\n")
rnd = random.Random(21)
words = [bytes(rnd.choice(b"abcdefghijklmnopqrstuvwxyz") for _ in range(rnd.randint(2, 9))) for _ in range(3000)]
def text(size):
    out = bytearray()
    while len(out) < size:
        out += b" ".join(rnd.choice(words) for _ in range(12)) + b"\r\n"
    return bytes(out[:size])
for i in range(400):                     # many small files: 400 x 16 KB of text
    (folder / f"doc{i:03d}.txt").write_bytes(text(16384))
for i in range(4):                       # a few large ones: half text, half incompressible
    (folder / f"data{i}.bin").write_bytes(text(3 << 20) + rnd.randbytes(3 << 20))
files = len(list(folder.iterdir()))
payload = sum(p.stat().st_size for p in folder.iterdir())

single = work / "bench-setup.exe"
subprocess.run([str(root / "build/native/tools/setupcheck/setupcheck"), "--pack", str(work / "disks"),
                "--disk-size", "650M", "--single-file", str(single), str(folder)],
               check=True, stdout=subprocess.DEVNULL)
data = single.read_bytes()
_, _, archive_offset, archive_size = struct.unpack_from("<4I", data, len(data) - 32)
archive = work / "bench.zip"
archive.write_bytes(data[archive_offset:archive_offset + archive_size])

def win(path):
    return "Z:" + str(path).replace("/", "\\")

temp = Path(subprocess.run(["winepath", "-u", subprocess.run(["wine", "cmd", "/c", "echo %TEMP%"],
            capture_output=True, text=True).stdout.strip()], capture_output=True, text=True).stdout.strip())

def run_single():
    rc = subprocess.run(["wine", win(single)], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode
    assert rc == 2, f"the single file ended with {rc}, not setup's 2"
    assert not list(temp.glob("QVSFX*")), "the single file left its folder"

def run_engine():
    out = work / "out"
    subprocess.run(["rm", "-rf", str(out)], check=True)
    out.mkdir()
    rc = subprocess.run(["wine", win(work / "unzrun.exe"), win(archive), win(out)],
                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode
    assert rc == 0 and len(list(out.iterdir())) == files, "the engine did not extract every file"

def run_floor():
    subprocess.run(["wine", win(work / "copyloop.exe")], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

measures = {"single file (check, extract, run, remove)": run_single, "engine alone (extract)": run_engine,
            "floor (start the program it runs)": run_floor}
times = {name: [] for name in measures}
for fn in measures.values():
    fn()  # warm the page cache and Wine
for _ in range(runs):
    for name, fn in measures.items():
        start = time.perf_counter()
        fn()
        times[name].append(time.perf_counter() - start)
median = {name: statistics.median(t) for name, t in times.items()}
sfx = (root / "dist/setupsfx.exe").stat().st_size
print(f"setupsfx.exe: {sfx:,} bytes; single file {len(data):,} bytes for {files} files of {payload:,} bytes "
      f"(archive {archive_size:,} bytes)")
for name, m in median.items():
    print(f"  {name:45s} median {m:6.2f} s of {runs}")
single_s, engine_s, floor_s = median.values()
print(f"  ratio single file / engine alone: {single_s / engine_s:.2f}; "
      f"without the started program's own start: {(single_s - floor_s) / engine_s:.2f}")
PY
