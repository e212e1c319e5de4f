#!/usr/bin/env python3
"""Runs the end-to-end cases: the real setup.exe under Wine on a virtual
screen, one fresh prefix per case, driven through the UI driver.

    run_e2e.py [--summary FILE] [--only TEXT] [--keep] [--list]

Prints one line per case and writes "PASSED FAILED" into the summary file."""

import argparse
import re
import shutil
import sys
import threading
import time
import traceback
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))

import harness  # noqa: E402
import cases_driver  # noqa: E402,F401  (registers its cases)
import cases_package  # noqa: E402,F401
import cases_wizard  # noqa: E402,F401
import cases_pages  # noqa: E402,F401
import cases_ending  # noqa: E402,F401
import cases_uninstall  # noqa: E402,F401
import cases_simulate  # noqa: E402,F401
import cases_safety  # noqa: E402,F401
import cases_pack  # noqa: E402,F401
import cases_codepage  # noqa: E402,F401
import cases_toolkit  # noqa: E402,F401
import cases_trust  # noqa: E402,F401
import cases_rollback  # noqa: E402,F401


# The whole tier stays within a few minutes even when every case times out.
BUDGET = 600


def run_case(name, version, timeout, fn, keep):
    workdir = harness.WORK / re.sub(r"[^A-Za-z0-9.]+", "_", name).strip("_")
    shutil.rmtree(workdir, ignore_errors=True)
    workdir.mkdir(parents=True)
    started = time.time()
    c = None
    error = None
    timed_out = threading.Event()
    try:
        c = harness.Case(name, version, workdir, getattr(fn, "locale", None))

        def stop():
            timed_out.set()
            c.kill()

        timer = threading.Timer(timeout, stop)
        timer.start()
        try:
            fn(c)
        finally:
            timer.cancel()
    except harness.CaseFailure as e:
        error = str(e)
    except Exception:  # a fault of the case or the harness is a failure too
        error = traceback.format_exc(limit=4).strip()
    finally:
        if c:
            c.finish()
    if timed_out.is_set():
        error = f"timed out after {timeout} s" + (f" ({error})" if error else "")
    if c:
        (workdir / "transcript.txt").write_text("\n".join(c.transcript) + "\n", errors="replace")
    if error is None and not keep:
        shutil.rmtree(workdir / "prefix", ignore_errors=True)
    return error, time.time() - started


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--summary", help="file that receives 'PASSED FAILED'")
    ap.add_argument("--only", help="run the cases whose name contains this text")
    ap.add_argument("--keep", action="store_true", help="keep the prefixes of passed cases")
    ap.add_argument("--list", action="store_true", help="list the cases and stop")
    opts = ap.parse_args()

    cases = [c for c in harness.CASES if not opts.only or opts.only in c[0]]
    if opts.list:
        for name, version, _, _ in cases:
            print(f"{name:44} {version or '-'}")
        return 0

    if not opts.only:
        shutil.rmtree(harness.WORK, ignore_errors=True)
    screen = harness.Screen()
    passed = failed = 0
    started = time.time()
    try:
        screen.start()
        missing = [p for p in (harness.DRIVER_EXE,) if not p.exists()]
        for name, version, timeout, fn in cases:
            if missing:
                error, secs = f"{missing[0]} is missing; build first", 0.0
            elif time.time() - started > BUDGET:
                error, secs = f"not run: the tier's {BUDGET} s were used up", 0.0
            else:
                error, secs = run_case(name, version, timeout, fn, opts.keep)
            if error is None:
                passed += 1
                print(f"PASS  {name:44} {secs:5.1f} s", flush=True)
            else:
                failed += 1
                print(f"FAIL  {name:44} {secs:5.1f} s", flush=True)
                for line in error.splitlines():
                    print(f"        {line}", flush=True)
    finally:
        screen.stop()
        print(f"end-to-end: {passed} passed, {failed} failed (logs in {harness.WORK})")
        if opts.summary:
            Path(opts.summary).write_text(f"{passed} {failed}\n")
    return 0 if failed == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
