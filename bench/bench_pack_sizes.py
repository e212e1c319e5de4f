#!/usr/bin/env python3
"""Packing benchmark: archive sizes and 1.44 MB disk counts of three payloads, packed by our
packer with each method (level 9 deflate, --smallest, --method lzma, both) and by the tools a
publisher knows (Info-ZIP zip -9, 7-Zip's zip at -mx=9, NSIS with zlib and with solid LZMA); then
the engine's decoding speed per method (farm-bench, paired with 7-Zip extracting the same
archive) and its instructions per output byte (valgrind's count). The rows of the exhaustive
searches (--smallest), which take many times longer, come last in a table of their own.

Every archive of ours is proved by the packer itself, then joined from its disks and tested by
7-Zip and read by libarchive (bsdtar); the level 9 and --smallest ones by Info-ZIP too.

The payloads are made from this machine's files, the same on every run:
- programs: Wine's 32-bit Windows libraries (real programs), text files of the system's
  licences as help, and bitmaps drawn by ImageMagick, about 10 MB in 75 files;
- texts: 2,000 small text files cut from the system's documentation, about 4.2 MB;
- noise: one file of 10 MB of random bytes.
"""
import argparse
import math
import os
import random
import re
import shutil
import subprocess
import sys
import time
from pathlib import Path

FLOPPY = 1_457_664  # what a 1.44 MB disk holds in whole clusters
OUR_ROWS = [
    ("ours, level 9", []),
    ("ours, --smallest", ["--smallest"]),
    ("ours, --method lzma", ["--method", "lzma"]),
    ("ours, --method lzma --smallest", ["--method", "lzma", "--smallest"]),
]


def run(cmd, **kw):
    result = subprocess.run(cmd, capture_output=True, **kw)
    if result.returncode != 0:
        sys.exit(f"{' '.join(map(str, cmd))}: exit {result.returncode}\n{result.stdout.decode()}{result.stderr.decode()}")
    return result


def setup_ini(files):
    lines = ["\\Bench", "Bench", "Bench 1.0", ":INSTALL", *files, ":"]
    return ("\r\n".join(lines) + "\r\n").encode()


def make_programs(folder):
    libs = sorted(Path("/usr/lib/i386-linux-gnu/wine/i386-windows").glob("*.dll"))
    rng = random.Random(3)
    chosen, total = [], 0
    for lib in rng.sample(libs, len(libs)):
        size = lib.stat().st_size
        if 20_000 < size < 400_000 and total + size < 7_000_000:
            chosen.append(lib)
            total += size
        if len(chosen) == 50:
            break
    for lib in chosen:
        shutil.copy(lib, folder / lib.name)
    licences = sorted(Path("/usr/share/common-licenses").iterdir())
    for i in range(15):
        text = b"".join(p.read_bytes() for p in licences[i % len(licences):][:3])
        (folder / f"help{i:02d}.txt").write_bytes(text[:60_000 + 9_000 * i])
    pictures = ["rose:", "logo:", "wizard:", "granite:", "netscape:"]
    for i in range(10):
        size = f"{240 + 24 * i}x{180 + 18 * i}"
        depth = ["-type", "Palette", "BMP3:"] if i % 2 else ["-type", "TrueColor", "BMP3:"]
        out = folder / f"pic{i:02d}.bmp"
        run(["convert", pictures[i % len(pictures)], "-resize", size + "!", *depth[:2], depth[2] + str(out)])


def make_texts(folder):
    docs = sorted(Path("/usr/share/doc").glob("*/copyright"))
    text = b"".join(p.read_bytes() for p in docs)
    rng = random.Random(5)
    at = 0
    for i in range(2000):
        size = rng.randint(1_000, 3_200)
        if at + size > len(text):
            at = 0
        (folder / f"t{i:04d}.txt").write_bytes(text[at:at + size])
        at += size


def make_noise(folder):
    (folder / "noise.bin").write_bytes(random.Random(7).randbytes(10_000_000))


def payload(work, name, maker, dist):
    folder = work / "payload" / name
    if not (folder / "setup.ini").exists():
        shutil.rmtree(folder, ignore_errors=True)
        folder.mkdir(parents=True)
        maker(folder)
        files = sorted(p.name for p in folder.iterdir())
        (folder / "setup.ini").write_bytes(setup_ini(files))
    for product in ("setup.exe", "UNZDLL.DLL"):
        shutil.copy(dist / product, folder / product)
    return folder


def payload_files(folder):
    return sorted(p.name for p in folder.iterdir() if p.name not in ("setup.exe", "UNZDLL.DLL"))


def joined_archive(disks, out):
    """The package's parts joined as Setup joins them: the last-listed part first."""
    listing = (disks / "DISK1" / "setup.lst").read_text().splitlines()
    parts = listing[listing.index(":PACKAGE") + 1:]
    parts = parts[:parts.index(":")]
    where = {p.name: p for d in disks.iterdir() for p in d.iterdir()}
    with open(out, "wb") as f:
        for part in reversed(parts):
            f.write(where[part].read_bytes())
    return out


def pack_ours(setupcheck, folder, out, args):
    shutil.rmtree(out, ignore_errors=True)
    out.mkdir(parents=True)
    start = time.monotonic()
    result = run([str(setupcheck), "--pack", str(out / "disks"), "--disk-size", "1.44M", *args,
                  "--single-file", str(out / "single.exe"), str(folder)])
    seconds = time.monotonic() - start
    text = result.stdout.decode()
    archive = int(re.search(r"archive ([\d,]+) bytes", text).group(1).replace(",", ""))
    disks = int(re.search(r"(\d+) disks? of", text).group(1))
    single = (out / "single.exe").stat().st_size
    whole = joined_archive(out / "disks", out / "whole.zip")
    checks = [["7z", "t", str(whole)], ["bsdtar", "-tf", str(whole)]]
    if "lzma" not in args:
        checks.append(["unzip", "-tq", str(whole)])
    for check in checks:
        run(check)
    return archive, disks, single, seconds, whole


def pack_peers(folder, out):
    files = payload_files(folder)
    rows = []
    out.mkdir(parents=True, exist_ok=True)
    z = out / "zip9.zip"
    z.unlink(missing_ok=True)
    run(["zip", "-q", "-9", "-X", str(z), *files], cwd=folder)
    rows.append(("zip -9", z.stat().st_size))
    z = out / "7z.zip"
    z.unlink(missing_ok=True)
    run(["7z", "a", "-tzip", "-mx=9", str(z), *files], cwd=folder)
    rows.append(("7z -tzip -mx=9", z.stat().st_size))
    for label, compressor in (("NSIS zlib", "zlib"), ("NSIS solid LZMA", "/SOLID lzma")):
        script = out / "bench.nsi"
        exe = out / f"nsis-{compressor.split()[-1]}.exe"
        script.write_text(f'SetCompressor {compressor}\nOutFile "{exe}"\nInstallDir "$PROGRAMFILES\\Bench"\n'
                          f'RequestExecutionLevel user\nSection\nSetOutPath "$INSTDIR"\n'
                          + "".join(f'File "{folder / f}"\n' for f in files) + "SectionEnd\n")
        run(["makensis", "-V1", str(script)])
        rows.append((label, exe.stat().st_size))
    return rows


def farm(cmd, vs, runs):
    result = subprocess.run(["farm-bench", "-n", str(runs), "--warmup", "1", "--timeout", "600", "--vs", vs,
                             "--", *cmd], capture_output=True, text=True)
    medians = {}
    for line in result.stdout.splitlines():
        m = re.match(r"(A|B|A/B) (cpu s|cpu|wall s)\s+\S+\s+(\S+)", line)
        if m:
            medians[(m.group(1), m.group(2))] = float(m.group(3))
    return medians


def instructions(cmd):
    result = subprocess.run(["valgrind", "--tool=callgrind", "--callgrind-out-file=/dev/null", *cmd],
                            capture_output=True, text=True)
    m = re.search(r"Collected : (\d+)", result.stderr)
    return int(m.group(1)) if m else 0


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--setupcheck", required=True)
    parser.add_argument("--engine", required=True, help="the native unz_extract")
    parser.add_argument("--dist", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--runs", type=int, default=5)
    args = parser.parse_args()
    work, dist = Path(args.work), Path(args.dist)
    payloads = [
        ("10 MB of programs, help and bitmaps", payload(work, "programs", make_programs, dist)),
        ("2,000 small text files", payload(work, "texts", make_texts, dist)),
        ("one incompressible 10 MB file", payload(work, "noise", make_noise, dist)),
    ]
    decode = {}
    # The exhaustive searches take many times longer: their rows come last.
    quick = [r for r in OUR_ROWS if "--smallest" not in r[1]]
    slow = [r for r in OUR_ROWS if "--smallest" in r[1]]
    print("| payload | packed by | archive bytes | 1.44 MB disks | single file | seconds to pack |")
    print("|---|---|---|---|---|---|")

    def ours(rows):
        for label, folder in payloads:
            files = payload_files(folder)
            raw = sum((folder / f).stat().st_size for f in files)
            name = f"{label} ({len(files)} files, {raw:,} bytes)"
            for row, extra in rows:
                out = work / "ours" / folder.name / row.split(", ")[1].replace(" ", "")
                archive, disks, single, seconds, whole = pack_ours(Path(args.setupcheck), folder, out, extra)
                print(f"| {name} | {row} | {archive:,} | {disks} | {single:,} | {seconds:.1f} |", flush=True)
                decode[(folder.name, row)] = (whole, raw)
            yield folder, name

    for folder, name in ours(quick):
        for peer, size in pack_peers(folder, work / "peers" / folder.name):
            disks = math.ceil(size / FLOPPY)
            print(f"| {name} | {peer} | {size:,} | {disks}* | | |", flush=True)
    print("\n* the peers' disks: their archive over whole 1.44 MB disks, nothing loose beside it.\n")

    print("| payload | method | engine MB/s (native) | engine / 7-Zip, cpu | instructions per output byte |")
    print("|---|---|---|---|---|")
    out = work / "extract"
    for (name, row), (whole, raw) in decode.items():
        if name == "noise":
            continue
        shutil.rmtree(out, ignore_errors=True)
        out.mkdir(parents=True)
        engine = [args.engine, str(whole), str(out / "ours"), "-t", "-q"]
        medians = farm(engine, f"7z t -bso0 -bsp0 {whole}", args.runs)
        cpu = medians.get(("A", "cpu s"), 0.0)
        ratio = medians.get(("A/B", "cpu"), 0.0)
        count = instructions(engine + ["-1"])
        mbps = raw / cpu / 1e6 if cpu else 0.0
        print(f"| {name} | {row} | {mbps:.1f} | {ratio:.2f} | {count / raw:.1f} |", flush=True)

    print("\n| payload | packed by | archive bytes | 1.44 MB disks | single file | seconds to pack |")
    print("|---|---|---|---|---|---|")
    for _ in ours(slow):
        pass
    return 0

if __name__ == "__main__":
    sys.exit(main())
