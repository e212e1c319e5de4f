#!/usr/bin/env python3
"""Extraction benchmark: our engine (native optimised build) against Info-ZIP unzip and bsdtar.

Makes two payloads once (about 2,000 small files of ~60 MB, mixed text and random; 8 large files
of ~300 MB), zips each with Info-ZIP zip, then extracts each archive RUNS times with every tool,
alternating the order of the tools from run to run and emptying the output folder before each
extraction (the time to empty it is not counted). Prints the median per tool and the ratio of our
median to each peer's.
"""
import argparse
import os
import random
import shutil
import statistics
import subprocess
import sys
import time

TEXT_WORDS = ("setup install folder file registry window program uninstall shortcut archive "
              "engine extract version system library message button wizard license readme").split()


def text_block(rng, size):
    out = []
    n = 0
    while n < size:
        line = " ".join(rng.choice(TEXT_WORDS) for _ in range(rng.randint(4, 14))) + "\n"
        out.append(line)
        n += len(line)
    return "".join(out).encode()[:size]


def make_payload(folder, kind, seed):
    rng = random.Random(seed)
    os.makedirs(folder, exist_ok=True)
    if kind == "small":
        # 2,000 files in 40 folders, sizes 1-60 KB, averaging ~30 KB; half text, half random.
        for i in range(2000):
            sub = os.path.join(folder, "dir%02d" % (i % 40))
            os.makedirs(sub, exist_ok=True)
            size = rng.randint(1024, 60 * 1024)
            data = text_block(rng, size) if i % 2 == 0 else rng.randbytes(size)
            with open(os.path.join(sub, "file%04d.%s" % (i, "txt" if i % 2 == 0 else "bin")), "wb") as f:
                f.write(data)
    else:
        # 8 files of ~37.5 MB: four text, four random.
        for i in range(8):
            size = 37_500_000
            with open(os.path.join(folder, "large%d.%s" % (i, "txt" if i % 2 == 0 else "bin")), "wb") as f:
                if i % 2 == 0:
                    block = text_block(rng, 1 << 20)
                    written = 0
                    while written < size:
                        chunk = block[: min(len(block), size - written)]
                        # Vary the blocks a little so the text does not compress to nothing.
                        chunk = bytes(rng.choice(TEXT_WORDS).encode()) + chunk
                        chunk = chunk[: size - written]
                        f.write(chunk)
                        written += len(chunk)
                else:
                    for _ in range(size // (1 << 20)):
                        f.write(rng.randbytes(1 << 20))
                    f.write(rng.randbytes(size % (1 << 20)))


def du(folder):
    total = 0
    for d, _, files in os.walk(folder):
        for name in files:
            total += os.path.getsize(os.path.join(d, name))
    return total


def timed(command):
    """Wall time and CPU time (user + system) of one run of the command."""
    start = time.perf_counter()
    child = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
    _, status, usage = os.wait4(child.pid, 0)
    elapsed = time.perf_counter() - start
    err = child.stderr.read()
    child.stderr.close()
    child.returncode = os.waitstatus_to_exitcode(status)
    if child.returncode != 0:
        sys.exit("failed: %s\n%s" % (" ".join(command), err.decode(errors="replace")))
    return elapsed, usage.ru_utime + usage.ru_stime


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--engine", required=True, help="path of the unz_extract command")
    parser.add_argument("--work", required=True, help="folder where payloads and archives are made and kept")
    parser.add_argument("--scratch", help="folder the archives are copied to and extracted in (default: --work)")
    parser.add_argument("--runs", type=int, default=7)
    parser.add_argument("--engine-before", help="another build of unz_extract, measured alternated with ours")
    args = parser.parse_args()

    tools = {
        "ours": lambda a, o: [args.engine, a, o, "-d", "-o", "-q"],
        "bsdtar": lambda a, o: ["bsdtar", "-xf", a, "-C", o],
        "unzip": lambda a, o: ["unzip", "-q", "-o", a, "-d", o],
    }
    if args.engine_before:
        tools["before"] = lambda a, o: [args.engine_before, a, o, "-d", "-o", "-q"]
    payloads = {}
    for kind, seed in (("small", 1), ("large", 2)):
        src = os.path.join(args.work, "src-" + kind)
        archive = os.path.join(args.work, kind + ".zip")
        if not os.path.exists(archive):
            shutil.rmtree(src, ignore_errors=True)
            make_payload(src, kind, seed)
            subprocess.run(["zip", "-q", "-r", archive, "."], cwd=src, check=True)
        payloads[kind] = archive

    scratch = args.scratch or args.work
    if scratch != args.work:
        for kind, archive in list(payloads.items()):
            copy = os.path.join(scratch, os.path.basename(archive))
            if not os.path.exists(copy) or os.path.getsize(copy) != os.path.getsize(archive):
                shutil.copyfile(archive, copy)
            payloads[kind] = copy
    out = os.path.join(scratch, "out")
    order = list(tools)
    results = {}
    for kind, archive in payloads.items():
        times = {t: [] for t in tools}
        cpu = {t: [] for t in tools}
        for run in range(args.runs):
            rotated = order[run % len(order):] + order[: run % len(order)]
            for tool in rotated:
                shutil.rmtree(out, ignore_errors=True)
                os.makedirs(out)
                subprocess.run(["sync"])
                wall, used = timed(tools[tool](archive, out))
                times[tool].append(wall)
                cpu[tool].append(used)
        # The last output is checked against the payload's size as a sanity test.
        results[kind] = {t: statistics.median(v) for t, v in times.items()}
        cpu_median = {t: statistics.median(v) for t, v in cpu.items()}
        src = os.path.join(args.work, "src-" + kind)
        size = du(src) if os.path.exists(src) else 0
        print("%s payload: %s, %.1f MB, archive %.1f MB" % (kind, os.path.basename(archive), size / 1e6,
                                                              os.path.getsize(archive) / 1e6))
        for t in tools:
            print("  %-7s median %.3f s (cpu %.3f s)  runs %s" % (t, results[kind][t], cpu_median[t],
                                                              " ".join("%.3f" % x for x in times[t])))
        print("  ours/bsdtar %.2f  ours/unzip %.2f   (cpu: %.2f, %.2f)" % (
            results[kind]["ours"] / results[kind]["bsdtar"], results[kind]["ours"] / results[kind]["unzip"],
            cpu_median["ours"] / cpu_median["bsdtar"], cpu_median["ours"] / cpu_median["unzip"]))
        if "before" in results[kind]:
            print("  ours/before %.2f  before/bsdtar %.2f" % (results[kind]["ours"] / results[kind]["before"],
                                                            results[kind]["before"] / results[kind]["bsdtar"]))
    shutil.rmtree(out, ignore_errors=True)


if __name__ == "__main__":
    main()
