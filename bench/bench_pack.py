#!/usr/bin/env python3
"""Packer benchmark: `setupcheck --pack` (check, archive, disks, and the proof that extracts every
entry again and compares it) against `zip -9` of the same folder, and `setupcheck FOLDER` (the
check alone), on two setup folders made once in the work folder:

- "small": 2,000 small files (1-3 KB, half text, half random, about 4 MB) with setup.exe,
  UNZDLL.DLL and a setup.ini that installs them all; also the same with 500 and 1,000 files, so
  the growth with the number of files shows (a linear tool doubles its time when the files double);
- "programs": about 10 MB of real Windows programs and libraries (Wine's own of at most 400 KB,
  the first ones by name until 10 MB) with the same setup files.

Each round runs every command once, alternated, after the previous output was removed (not
timed). Prints the medians and the ratios of medians; the packer's own output is checked (it ends
with the proof line) so nothing is fast by doing nothing.
"""
import argparse
import os
import random
import shutil
import statistics
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from bench_unzip import text_block  # noqa: E402

PROGRAMS = "/usr/lib/i386-linux-gnu/wine/i386-windows"


def write_setup(folder, names, dist):
    for f in ("setup.exe", "UNZDLL.DLL"):
        shutil.copyfile(os.path.join(dist, f), os.path.join(folder, f))
    ini = ["\\Bench", "Bench", "Bench 1.0", ":INSTALL"] + names + [":"]
    with open(os.path.join(folder, "setup.ini"), "wb") as f:
        f.write("".join(line + "\r\n" for line in ini).encode("latin-1"))


def make_small(folder, count, dist):
    if os.path.isdir(folder):
        return
    os.makedirs(folder)
    rng = random.Random(count)
    names = []
    for i in range(count):
        size = rng.randint(1024, 3 * 1024)
        name = "file%04d.%s" % (i, "txt" if i % 2 == 0 else "bin")
        with open(os.path.join(folder, name), "wb") as f:
            f.write(text_block(rng, size) if i % 2 == 0 else rng.randbytes(size))
        names.append(name)
    write_setup(folder, names, dist)


def make_programs(folder, dist, total=10_000_000):
    if os.path.isdir(folder):
        return
    if not os.path.isdir(PROGRAMS):
        sys.exit("no programs to pack: %s is missing (Wine's i386 libraries)" % PROGRAMS)
    os.makedirs(folder)
    names, size = [], 0
    for name in sorted(os.listdir(PROGRAMS)):
        path = os.path.join(PROGRAMS, name)
        # 8.3 names only, as a setup folder for the oldest systems has them; Wine's own setup files
        # are left out, ours take their place.
        base, ext = os.path.splitext(name)
        if not os.path.isfile(path) or ext.lower() not in (".dll", ".exe") or len(base) > 8 or \
                os.path.getsize(path) > 400_000:
            continue
        if name.lower() in ("setup.exe", "unzdll.dll") or size >= total:
            continue
        shutil.copyfile(path, os.path.join(folder, name))
        names.append(name)
        size += os.path.getsize(path)
    write_setup(folder, names, dist)


def timed(command, cwd=None):
    start = time.perf_counter()
    done = subprocess.run(command, cwd=cwd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    return time.perf_counter() - start, done.returncode, done.stdout.decode(errors="replace")


def folder_size(folder):
    return sum(os.path.getsize(os.path.join(folder, n)) for n in os.listdir(folder))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--setupcheck", required=True)
    parser.add_argument("--dist", required=True, help="folder holding setup.exe and UNZDLL.DLL")
    parser.add_argument("--work", required=True)
    parser.add_argument("--rounds", type=int, default=5)
    parser.add_argument("--payloads", default="small500,small1000,small2000,programs")
    args = parser.parse_args()
    print("load before: %s" % open("/proc/loadavg").read().strip())
    for payload in args.payloads.split(","):
        folder = os.path.join(args.work, payload)
        if payload.startswith("small"):
            make_small(folder, int(payload[len("small"):]), args.dist)
        else:
            make_programs(folder, args.dist)
        out = os.path.join(args.work, "out")
        archive = os.path.join(args.work, "zip9.zip")
        commands = {
            "pack": ([args.setupcheck, "--pack", out, "--disk-size", "650M", folder], None),
            "zip -9": (["zip", "-q", "-9", "-r", archive, "."], folder),
            "check": ([args.setupcheck, folder], None),
        }
        times = {c: [] for c in commands}
        order = list(commands)
        for r in range(args.rounds):
            for c in order[r % len(order):] + order[: r % len(order)]:
                shutil.rmtree(out, ignore_errors=True)
                if os.path.exists(archive):
                    os.remove(archive)
                command, cwd = commands[c]
                elapsed, rc, output = timed(command, cwd)
                if rc != 0 or (c == "pack" and "proved:" not in output):
                    sys.exit("%s/%s failed (exit %d):\n%s" % (payload, c, rc, output[-3000:]))
                times[c].append(elapsed)
        shutil.rmtree(out, ignore_errors=True)
        medians = {c: statistics.median(v) for c, v in times.items()}
        print("\n%s: %d files, %.1f MB" % (payload, len(os.listdir(folder)), folder_size(folder) / 1e6))
        for c in order:
            print("  %-8s median %7.3f s   runs %s" % (c, medians[c], " ".join("%.3f" % x for x in times[c])))
        print("  pack / zip -9  %.2fx" % (medians["pack"] / medians["zip -9"]))
    print("\nload after: %s" % open("/proc/loadavg").read().strip())


if __name__ == "__main__":
    main()
