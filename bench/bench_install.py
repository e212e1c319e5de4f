#!/usr/bin/env python3
"""Install benchmark: the whole unattended install under Wine, loose files and package, against a
bare CopyFileA loop and an NSIS 3 zlib installer of the same payload.

The engine is also measured alone: UNZDLL.DLL extracting the package through its exported entry
(unzrun.exe) against a bare zlib extractor (bareunzip.exe), both into one folder.

Three floors show what no installer of either kind can go below: the file operations of writing
each file once where it belongs ("writes-once", what a one-pass installer does), the file
operations of writing it into a temporary folder, copying it into place and deleting it
("writes-twice", what installing from an unpacked package does), and a windowed program that only
shows a window ("window", the start that every installer with a window pays under Wine).

Ours runs in four ways: "loose" (the files beside setup.exe), "package" (one zipped part),
"parts4" (the package as setupcheck --pack splits it over four disks, every disk's files in one
folder, so Setup gathers and joins the parts) and "single" (the single file for a download that
setupcheck --pack --single-file makes of the loose folder: it extracts itself and runs Setup).

Payloads (made once and kept in the work folder): "tree", about 2,000 small files in 40 folders;
"flat", the same files in one folder; "large", 8 files of 37.5 MB; "one", a single file of 1 KB,
which shows each contender's fixed cost (process start, windows, lists) on its own. Our installation list copies
every file into the destination folder itself and the engine extracts without folder names, so
our installs are always flat; the ratios that the goals speak of compare the same layout (flat and
large), and the tree rows show what the peers pay for folders.

Every round runs each contender once, in an order rotated from round to round, after the previous
output was removed (not timed). Each output is checked afterwards: the number of files and the
checksum of every file against the payload, so nothing is fast by doing nothing. Prints the median
wall time per contender and the ratios of medians.
"""
import argparse
import hashlib
import os
import re
import shutil
import statistics
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from bench_unzip import make_payload  # noqa: E402

TITLE = "QVBench"
DEST = "Program Files/" + TITLE


def checksums(folder, flat):
    """{name: md5} of every file below folder; names relative to it ("/" joined), or bare names."""
    sums = {}
    for d, _, files in os.walk(folder):
        for name in files:
            path = os.path.join(d, name)
            key = name if flat else os.path.relpath(path, folder).replace(os.sep, "/")
            with open(path, "rb") as f:
                sums[key] = hashlib.md5(f.read()).hexdigest()
    return sums


def win(path, drive_c):
    return "C:\\" + os.path.relpath(path, drive_c).replace("/", "\\")


def link_tree(src, dst, flat):
    """Hard links of the payload's files at dst, in its folders or all in dst itself."""
    names = []
    for d, _, files in os.walk(src):
        for name in sorted(files):
            rel = os.path.relpath(os.path.join(d, name), src)
            target = os.path.join(dst, name if flat else rel)
            os.makedirs(os.path.dirname(target), exist_ok=True)
            if not os.path.exists(target):
                os.link(os.path.join(d, name), target)
            names.append(name if flat else rel)
    return sorted(names)


def write_crlf(path, lines):
    with open(path, "wb") as f:
        f.write("".join(line + "\r\n" for line in lines).encode("latin-1"))


class Bench:
    def __init__(self, args):
        self.args = args
        self.prefix = args.prefix
        self.drive_c = os.path.join(self.prefix, "drive_c")
        self.root = os.path.join(self.drive_c, "bench")
        self.env = dict(os.environ, WINEPREFIX=self.prefix)

    def wine(self, exe_path, *params, timeout=900):
        # Wine's own helper processes inherit the output handles and outlive the program: the
        # output goes to a file, so the wait ends with the program, not with them.
        with open(os.path.join(self.root, "wine-output.txt"), "w+b") as out:
            start = time.perf_counter()
            done = subprocess.run(["wine", win(exe_path, self.drive_c), *params], env=self.env,
                                  stdout=out, stderr=out, timeout=timeout)
            elapsed = time.perf_counter() - start
            out.seek(0)
            return elapsed, done.returncode, out.read().decode(errors="replace")

    def prepare(self, shape):
        """Lays out every contender's folder for one shape; returns {contender: (run, output, flat)}."""
        kind = shape if shape in ("large", "one") else "small"
        payload = os.path.join(self.args.work, "src-" + kind)
        if kind == "one" and not os.path.isdir(payload):
            os.makedirs(payload)
            with open(os.path.join(payload, "one.txt"), "wb") as f:
                f.write(b"a file of one kilobyte\r\n" * 42)
        elif not os.path.isdir(payload):
            make_payload(payload, kind, 1 if kind == "small" else 2)
        flat = shape != "tree"
        base = os.path.join(self.root, shape)
        shutil.rmtree(base, ignore_errors=True)
        source = os.path.join(base, "payload")
        names = link_tree(payload, source, flat)
        expected_flat = checksums(source, True)
        expected_layout = checksums(source, flat)
        contenders = {}

        # The bare anchor: CopyFileA of every file into the same layout.
        copy_out = os.path.join(self.root, "out-copy")
        listing = os.path.join(base, "copy.lst")
        with open(listing, "w", newline="\r\n") as f:
            for n in names:
                f.write("%s|%s\n" % (win(os.path.join(source, n), self.drive_c),
                                     win(os.path.join(copy_out, n), self.drive_c)))
        loop = os.path.join(base, "copyloop.exe")
        shutil.copyfile(os.path.join(self.args.anchors, "copyloop.exe"), loop)
        contenders["copyloop"] = ((lambda l=loop, a=win(listing, self.drive_c): self.wine(l, a)), copy_out, flat)
        # The file operations alone, in the same layout: each file written once where it belongs (as a
        # one-pass installer does), and written into a temporary folder, copied and deleted there (as
        # installing from an unpacked package does). They show what the two ways cost at the least.
        contenders["writes-once"] = ((lambda l=loop, a=win(listing, self.drive_c): self.wine(l, "--once", a)),
                                     copy_out, flat)
        twice_temp = win(os.path.join(self.root, "out-twice-temp"), self.drive_c)
        contenders["writes-twice"] = ((lambda l=loop, a=win(listing, self.drive_c): self.wine(l, "--twice", a, twice_temp)),
                                      copy_out, flat)
        # A windowed program that only shows a window: the start that any installer with a window pays.
        floor = os.path.join(base, "windowfloor.exe")
        shutil.copyfile(os.path.join(self.args.anchors, "windowfloor.exe"), floor)
        contenders["window"] = ((lambda f=floor: self.wine(f)), None, flat)

        # The NSIS installer: zlib, silent, into the same layout.
        if shutil.which("makensis") and not self.args.no_nsis:
            nsis_out = os.path.join(self.root, "out-nsis")
            script = os.path.join(base, "bench.nsi")
            exe = os.path.join(base, "nsis-setup.exe")
            with open(script, "w") as f:
                f.write('Unicode true\nSetCompressor zlib\nName "%s"\nOutFile "%s"\n'
                        'InstallDir "C:\\bench\\out-nsis"\nRequestExecutionLevel user\nSilentInstall silent\n'
                        'Section\nSetOutPath "$INSTDIR"\nFile /r "%s/*"\nSectionEnd\n' % (TITLE, exe, source))
            subprocess.run(["makensis", "-V1", script], check=True, stdout=subprocess.DEVNULL)
            contenders["nsis"] = ((lambda e=exe: self.wine(e, "/S")), nsis_out, flat)

        # Ours: the package, with the same files zipped in the payload's layout.
        package = os.path.join(base, "bench.pk1")
        subprocess.run(["zip", "-q", "-r", "-6", package, "."], cwd=source, check=True)
        # The engine alone against a bare zlib extractor, both into one folder.
        unz_out = os.path.join(self.root, "out-unz")
        bare = os.path.join(base, "bareunzip.exe")
        shutil.copyfile(os.path.join(self.args.anchors, "bareunzip.exe"), bare)
        unz_args = (win(package, self.drive_c), win(unz_out, self.drive_c))
        contenders["bareunzip"] = ((lambda b=bare: self.wine(b, *unz_args)), unz_out, True)
        for label, dist in self.args.dists:
            folder = os.path.join(base, label + "-engine")
            os.makedirs(folder)
            shutil.copyfile(os.path.join(self.args.anchors, "unzrun.exe"), os.path.join(folder, "unzrun.exe"))
            shutil.copyfile(os.path.join(dist, "UNZDLL.DLL"), os.path.join(folder, "UNZDLL.DLL"))
            exe = os.path.join(folder, "unzrun.exe")
            contenders[label + "-engine"] = ((lambda e=exe: self.wine(e, *unz_args)), unz_out, True)

        ini = ["\\" + TITLE, TITLE, TITLE + " 1.0", ":INSTALL"] + [os.path.basename(n) for n in names] + [":"]
        for label, dist in self.args.dists:
            for mode in ("loose", "package", "parts4", "single"):
                if mode != "package" and not flat:
                    continue  # the installation list copies into the destination folder only
                if mode in ("parts4", "single"):
                    if self.args.setupcheck and not (mode == "parts4" and shape == "one"):
                        run = self.packed(base, label, dist, mode, ini, source)
                        contenders["%s-%s" % (label, mode)] = (run, os.path.join(self.drive_c, DEST), True)
                    continue
                folder = os.path.join(base, "%s-%s" % (label, mode))
                os.makedirs(folder)
                for f in ("setup.exe", "UNZDLL.DLL"):
                    shutil.copyfile(os.path.join(dist, f), os.path.join(folder, f))
                for marker in ("autoin.dat", "batch.dat"):  # unattended, and no closing box
                    open(os.path.join(folder, marker), "w").close()
                write_crlf(os.path.join(folder, "setup.ini"), ini)
                if mode == "loose":
                    link_tree(source, folder, True)
                else:
                    os.link(package, os.path.join(folder, "bench.pk1"))
                    write_crlf(os.path.join(folder, "setup.lst"), [":EXTRA", "setup.ini", ":", ":PACKAGE", "bench.pk1", ":"])
                exe = os.path.join(folder, "setup.exe")
                contenders["%s-%s" % (label, mode)] = ((lambda e=exe: self.wine(e)),
                                                      os.path.join(self.drive_c, DEST), True)
        return contenders, expected_flat, expected_layout

    def packed(self, base, label, dist, mode, ini, source):
        """Ours from what setupcheck --pack makes of the loose folder: four disks' files gathered in
        one folder ("parts4"), or the single file ("single"); returns the run."""
        loose = os.path.join(base, "%s-%s-loose" % (label, mode))
        os.makedirs(loose)
        for f in ("setup.exe", "UNZDLL.DLL"):
            shutil.copyfile(os.path.join(dist, f), os.path.join(loose, f))
        for marker in ("autoin.dat", "batch.dat"):
            open(os.path.join(loose, marker), "w").close()
        write_crlf(os.path.join(loose, "setup.ini"), ini)
        link_tree(source, loose, True)
        disks = os.path.join(base, "%s-%s-disks" % (label, mode))
        pack = [self.args.setupcheck, "--pack", disks]
        if mode == "single":
            exe = os.path.join(base, "%s-single.exe" % label)
            pack += ["--disk-size", "650M", "--single-file", exe, "--stub", os.path.join(dist, "setupsfx.exe")]
        else:
            # Four disks: a quarter of the archive and the files beside it each, with a little room
            # for the lists; the archive's size comes from a first packing on one disk.
            once = subprocess.run([self.args.setupcheck, "--pack", disks, "--disk-size", "650M", loose],
                                  check=True, stdout=subprocess.PIPE).stdout.decode()
            shutil.rmtree(disks)
            archive = int(re.search(r"archive ([\d,]+) bytes", once).group(1).replace(",", ""))
            beside = sum(os.path.getsize(os.path.join(dist, f)) for f in ("setup.exe", "UNZDLL.DLL"))
            pack += ["--disk-size", str((archive + beside) // 4 + 16 * 1024)]
        subprocess.run(pack + [loose], check=True, stdout=subprocess.DEVNULL)
        if mode == "single":
            return lambda e=exe: self.wine(e)
        numbered = sorted(os.listdir(disks))
        if len(numbered) != 4:
            sys.exit("%s: setupcheck made %d disks, not 4" % (disks, len(numbered)))
        folder = os.path.join(base, "%s-parts4" % label)
        os.makedirs(folder)
        for disk in numbered:
            for name in os.listdir(os.path.join(disks, disk)):
                os.link(os.path.join(disks, disk, name), os.path.join(folder, name))
        exe = os.path.join(folder, "setup.exe")
        return lambda e=exe: self.wine(e)

    def clean(self):
        for path in (os.path.join(self.root, "out-copy"), os.path.join(self.root, "out-nsis"),
                     os.path.join(self.root, "out-unz"), os.path.join(self.root, "out-twice-temp"),
                     os.path.join(self.drive_c, DEST)):
            shutil.rmtree(path, ignore_errors=True)
        os.makedirs(os.path.join(self.root, "out-unz"))  # the extractors write into a folder that exists
        temp = os.path.join(self.drive_c, "windows", "temp")
        for name in os.listdir(temp) if os.path.isdir(temp) else []:
            if name.upper().startswith(("QVINST", "QVSFX")):
                shutil.rmtree(os.path.join(temp, name), ignore_errors=True)
        subprocess.run(["sync"])

    def run(self):
        print("load before: %s" % open("/proc/loadavg").read().strip())
        summary = {}
        for shape in self.args.shapes:
            contenders, expected_flat, expected_layout = self.prepare(shape)
            order = list(contenders)
            times = {c: [] for c in order}
            for r in range(self.args.rounds):
                for c in order[r % len(order):] + order[: r % len(order)]:
                    self.clean()
                    run, output, flat = contenders[c]
                    elapsed, rc, err = run()
                    if output is None:  # the window floor writes nothing
                        if rc != 0:
                            sys.exit("%s/%s: exit %d\n%s" % (shape, c, rc, err[-2000:]))
                        times[c].append(elapsed)
                        continue
                    got = checksums(output, flat) if os.path.isdir(output) else {}
                    want = expected_flat if flat else expected_layout
                    if got != want:
                        missing = len(set(want) - set(got))
                        wrong = sum(1 for k in want if k in got and got[k] != want[k])
                        sys.exit("%s/%s: output differs from the payload (%d files of %d, %d missing, %d wrong), "
                                 "exit %d\n%s" % (shape, c, len(got), len(want), missing, wrong, rc, err[-2000:]))
                    times[c].append(elapsed)
            self.clean()
            medians = {c: statistics.median(v) for c, v in times.items()}
            summary[shape] = medians
            size = sum(os.path.getsize(os.path.join(d, f)) for d, _, fs in
                       os.walk(os.path.join(self.root, shape, "payload")) for f in fs)
            print("\n%s: %d files, %.1f MB%s" % (shape, len(expected_flat), size / 1e6,
                                                "" if shape != "tree" else " (peers in 40 folders, ours flat)"))
            for c in order:
                print("  %-18s median %7.3f s   runs %s" % (c, medians[c], " ".join("%.3f" % x for x in times[c])))
            for label, _ in self.args.dists:
                for mode, anchor in (("loose", "copyloop"), ("package", "nsis"), ("parts4", "nsis"),
                                     ("single", "nsis"), ("engine", "bareunzip")):
                    ours = "%s-%s" % (label, mode)
                    if ours in medians and anchor in medians:
                        print("  %-18s / %-9s %.2fx" % (ours, anchor, medians[ours] / medians[anchor]))
            pairs = [("writes-twice", "writes-once"), ("nsis", "writes-once")]
            pairs += [("%s-package" % label, "writes-twice") for label, _ in self.args.dists]
            for a, b in pairs:
                if a in medians and b in medians:
                    print("  %-18s / %-9s %.2fx" % (a, b, medians[a] / medians[b]))
            if "window" in medians:
                for label, _ in self.args.dists:
                    ours = "%s-loose" % label
                    if ours in medians and "copyloop" in medians:
                        print("  %-18s beyond the window: %.3f s (copyloop %.3f s)"
                              % (ours, medians[ours] - medians["window"], medians["copyloop"]))
            if len(self.args.dists) > 1:
                first = self.args.dists[0][0]
                for label, _ in self.args.dists[1:]:
                    for mode in ("loose", "package", "parts4", "single", "engine"):
                        a, b = "%s-%s" % (label, mode), "%s-%s" % (first, mode)
                        if a in medians and b in medians:
                            print("  %-18s / %-9s %.2fx" % (a, b, medians[a] / medians[b]))
        print("\nload after: %s" % open("/proc/loadavg").read().strip())


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--prefix", required=True, help="Wine prefix to work in (its drive_c gets a bench folder)")
    parser.add_argument("--work", required=True, help="folder where the payloads are made and kept")
    parser.add_argument("--anchors", required=True,
                        help="folder of the anchor programs: copyloop.exe, bareunzip.exe and unzrun.exe")
    parser.add_argument("--dist", action="append", default=[], metavar="LABEL=DIR",
                        help="a folder holding setup.exe and UNZDLL.DLL; give several to compare builds")
    parser.add_argument("--rounds", type=int, default=3)
    parser.add_argument("--shapes", default="flat,tree,large,one")
    parser.add_argument("--no-nsis", action="store_true")
    parser.add_argument("--setupcheck", help="the packer, for the four-part package and the single file")
    args = parser.parse_args()
    args.dists = [tuple(d.split("=", 1)) for d in args.dist] or [("ours", "dist")]
    args.shapes = args.shapes.split(",")
    Bench(args).run()


if __name__ == "__main__":
    main()
