"""setupcheck --pack against the real thing: the demo packed for 1.44 MB disks
and installed through the disk prompts, a damaged part, and the single file
for a download (setupsfx.exe with the demo appended), whole and cut short;
and the Windows build of the packer, which must write the same bytes.
What an installation leaves is compared with `setupcheck --simulate` of the
loose demo folder, which cases_simulate.py holds to the loose install."""

import random
import shutil
import struct
import subprocess
import time
import zlib

from cases_simulate import DEMO, QUESTION, SETUPCHECK, expect_installed_as_simulated, simulate
from harness import FIXTURES, ROOT, case, expect, expect_eq

DIST = ROOT / "dist"
PROMPT = "Please insert setup disk number "
REPROMPT = "Please re-insert setup disk number 1"


def demo_folder(c, extra=None):
    """The demo as a publisher ships it loose: its files, setup.exe, the
    engine and the uninstaller, in automatic mode; extra files beside them."""
    folder = c.workdir / "demo"
    folder.mkdir()
    for p in DEMO.iterdir():
        if p.is_file():
            shutil.copy(p, folder / p.name)
    for name in ("setup.exe", "UNZDLL.DLL", "uninst.exe"):
        shutil.copy(DIST / name, folder / name)
    (folder / "autoin.dat").write_bytes(b"")
    for name, content in (extra or {}).items():
        (folder / name).write_bytes(content)
    return folder


def pack(c, folder, *args):
    out = subprocess.run([str(SETUPCHECK), "--pack", str(c.workdir / "disks"), *args, str(folder)],
                         capture_output=True, timeout=120)
    (c.workdir / "pack-output.txt").write_bytes(out.stdout + out.stderr)
    expect_eq(out.returncode, 0, f"setupcheck --pack exit code ({out.stderr.decode(errors='replace')})")
    return sorted((c.workdir / "disks").iterdir(), key=lambda d: int(d.name[4:]))


def insert(c, disk):
    """The setup folder holds one disk's files, as a floppy drive would."""
    for p in c.setup_dir.iterdir():
        p.unlink()
    for p in disk.iterdir():
        shutil.copy(p, c.setup_dir / p.name)


# Data that does not compress, which the list does not install: it takes the
# demo over three 1.44 MB disks and leaves the installation as it is.
BALLAST = {"ballast.bin": random.Random(21).randbytes(2_800_000)}


def install_from_disks(c, disks):
    """Starts setup.exe from disk 1 and serves its boxes: each disk it asks
    for goes into the drive, the question of the demo gets No, any other box
    OK. Answers the texts of the boxes other than the disk prompts."""
    c.setup_dir.mkdir(parents=True)
    insert(c, disks[0])
    c.start()
    boxes, asked = [], []
    deadline = time.time() + 90
    while c.program.poll() is None:
        expect(time.time() < deadline, "setup.exe did not end within 90 s")
        # A button no box has: the driver reads the box and presses nothing.
        peek = c.driver.call("answer", exe="setup.exe", button="-", timeout=2000)
        if "box" not in peek:
            continue
        text = peek["box"]["text"]
        button = "OK"
        if text.startswith(PROMPT):
            asked.append(int(text[len(PROMPT):]))
            insert(c, disks[asked[-1] - 1])
        elif text == REPROMPT:
            asked.append(1)
            insert(c, disks[0])
        else:
            boxes.append(text)
            button = "No" if QUESTION in text.lower() else "OK"
        c.driver.must("answer", exe="setup.exe", button=button)
    return boxes, asked


def check_disks_install(c, version, *pack_args):
    simulated = simulate(version)
    disks = pack(c, demo_folder(c, BALLAST), "--disk-size", "1.44M", *pack_args)
    expect(len(disks) >= 3, f"the demo took {len(disks)} disks, not at least three")
    boxes, asked = install_from_disks(c, disks)
    expect_eq(asked, list(range(2, len(disks) + 1)) + [1], "disks asked for")
    expect_installed_as_simulated(c, simulated, boxes, c.program.returncode)
    expect(not list(c.c_path("C:\\windows\\temp").glob("QVINST*")), "the temporary installation folder was left")
    return disks


@case("pack: the demo on 1.44 MB disks, installed through the disk prompts on win98, leaves what the loose "
      "install leaves", version="win98", timeout=200)
def disks_win98(c):
    check_disks_install(c, "WIN_98")


@case("pack: the demo on 1.44 MB disks, installed through the disk prompts on winxp, leaves what the loose "
      "install leaves", version="winxp", timeout=200)
def disks_winxp(c):
    check_disks_install(c, "WIN_XP")


@case("pack: a disk set with a damaged part is refused as the package stage refuses it", timeout=150)
def damaged_part(c):
    disks = pack(c, demo_folder(c, BALLAST))
    # The last disk holds the archive's start: setup.ini's data, a few bytes in.
    part = next(disks[-1].iterdir())
    data = bytearray(part.read_bytes())
    data[30 + len("setup.ini") + 8] ^= 0xFF
    part.write_bytes(bytes(data))
    boxes, asked = install_from_disks(c, disks)
    expect_eq(asked, list(range(2, len(disks) + 1)) + [1], "disks asked for")
    # setup.ini does not come out of the package whole: the package stage stops.
    expect_eq(boxes, ["Error decompressing install package."], "boxes shown")
    expect(c.program.returncode != 0, "setup.exe ended as if it had installed")
    expect(not c.c_path("C:\\Program Files\\Quillpad").exists(), "something was installed from a damaged package")
    expect(not list(c.c_path("C:\\windows\\temp").glob("QVINST*")), "the temporary installation folder was left")
    # The checker finds the damage too, naming the entry.
    gathered = c.workdir / "gathered"
    gathered.mkdir()
    for d in disks:
        for p in d.iterdir():
            shutil.copy(p, gathered / p.name)
    out = subprocess.run([str(SETUPCHECK), str(gathered)], capture_output=True, timeout=120)
    expect_eq(out.returncode, 1, "setupcheck's exit code for the damaged set")
    expect(b"setup.ini" in out.stdout, f"setupcheck said {out.stdout!r}")


def single_file(c, folder):
    pack(c, folder, "--single-file", str(c.wine.drive_c / "demo-setup.exe"))
    return "C:\\demo-setup.exe"


def sfx_folders(c):
    roots = [c.wine.drive_c / "users", c.c_path("C:\\windows\\temp")]
    return [p for r in roots if r.exists() for p in r.rglob("QVSFX*")]


def run_single_file(c, exe, version):
    simulated = simulate(version)
    c.driver.send("watch", exe="setup.exe", answer="No,OK", timeout=60000)
    c.start(exe)
    seen = c.driver.receive("watch", wait_ms=60000)
    expect(seen.get("seen_process"), "setup.exe never started")
    expect(seen["ended"], "setup.exe did not end by itself")
    c.expect_ended(20)
    expect_installed_as_simulated(c, simulated, [b["box"]["text"] for b in seen["boxes"]], c.program.returncode)
    expect_eq(sfx_folders(c), [], "folders the single file left")


@case("pack: the single file of the demo installs on win98 as the loose demo does and leaves no folder",
      version="win98", timeout=200)
def single_win98(c):
    run_single_file(c, single_file(c, demo_folder(c)), "WIN_98")


@case("pack: the single file of the demo installs on winxp as the loose demo does and leaves no folder",
      version="winxp", timeout=200)
def single_winxp(c):
    run_single_file(c, single_file(c, demo_folder(c)), "WIN_XP")


def one_file_folder(c, title, automatic=False):
    """setup.exe, the engine and one file, which the list installs under
    \\TITLE as "TITLE 1.0"; in automatic mode when asked."""
    folder = c.workdir / title.lower()
    folder.mkdir()
    for name in ("setup.exe", "UNZDLL.DLL"):
        shutil.copy(DIST / name, folder / name)
    if automatic:
        (folder / "autoin.dat").write_bytes(b"")
    file = title.lower() + ".txt"
    (folder / file).write_bytes(title.encode() + b"\r\n")
    (folder / "setup.ini").write_bytes(f"\\{title}\r\n{title}\r\n{title} 1.0\r\n:INSTALL\r\n{file}\r\n:\r\n".encode())
    return folder


@case("pack: the single file ends with setup's own exit code", timeout=150)
def single_exit_code(c):
    c.start(single_file(c, one_file_folder(c, "Tiny")))
    # The wizard closed before Finish: setup ends as cancelled (1602), a code the stub never makes itself.
    c.wait_wizard("Tiny 1.0")
    c.driver.must("system-close", caption="Tiny 1.0", exe="setup.exe")
    c.expect_ended(20)
    expect_eq(c.program.returncode, 1602 & 0xFF, "exit code of the single file (the low byte of 1602)")
    expect_eq(sfx_folders(c), [], "folders the single file left")


@case("pack: a single file cut short is refused and runs nothing", timeout=120)
def single_truncated(c):
    exe = single_file(c, demo_folder(c))
    path = c.wine.drive_c / "demo-setup.exe"
    data = path.read_bytes()
    path.write_bytes(data[:len(data) * 2 // 3])
    seen = c.start_watched(exe=exe, answer="OK", timeout=30000)
    c.expect_ended(20)
    expect_eq([b["box"]["text"] for b in seen["boxes"]],
              ["This setup program is damaged or incomplete, so nothing was installed. Please download it again."],
              "boxes shown")
    expect(c.program.returncode != 0, "the cut single file ended as if it had installed")
    expect_eq(sfx_folders(c), [], "folders the cut single file left")
    expect(not c.c_path("C:\\Program Files\\Quillpad").exists(), "something was installed")



def signed(c, exe):
    """The single file signed as a publisher signs it, with a test certificate."""
    key, cert, out = c.workdir / "key.pem", c.workdir / "cert.pem", c.workdir / "signed.exe"
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", str(key), "-out",
                    str(cert), "-days", "2", "-subj", "/CN=Test Publisher"], check=True, capture_output=True)
    subprocess.run(["osslsigncode", "sign", "-certs", str(cert), "-key", str(key), "-n", "Demo", "-in",
                    str(exe), "-out", str(out)], check=True, capture_output=True)
    return out.read_bytes()


@case("pack: the single file signed with osslsigncode installs on winxp as the loose demo does", version="winxp",
      timeout=200)
def single_signed(c):
    folder = demo_folder(c)
    pack(c, folder, "--single-file", str(c.workdir / "demo-setup.exe"))
    data = signed(c, c.workdir / "demo-setup.exe")
    expect(len(data) > (c.workdir / "demo-setup.exe").stat().st_size, "signing appended nothing")
    (c.wine.drive_c / "demo-setup.exe").write_bytes(data)
    run_single_file(c, "C:\\demo-setup.exe", "WIN_XP")


@case("pack: a signed single file with a byte changed inside is refused and runs nothing", timeout=150)
def single_signed_changed(c):
    pack(c, demo_folder(c), "--single-file", str(c.workdir / "demo-setup.exe"))
    data = bytearray(signed(c, c.workdir / "demo-setup.exe"))
    data[len(data) * 2 // 3] ^= 0x01
    (c.wine.drive_c / "demo-setup.exe").write_bytes(bytes(data))
    seen = c.start_watched(exe="C:\\demo-setup.exe", answer="OK", timeout=30000)
    c.expect_ended(20)
    expect_eq([b["box"]["text"] for b in seen["boxes"]],
              ["This setup program is damaged or incomplete, so nothing was installed. Please download it again."],
              "boxes shown")
    expect(not c.c_path("C:\\Program Files\\Quillpad").exists(), "something was installed")


def trailer(stub_size, engine_size, archive_size, crc):
    fields = struct.pack("<5I", stub_size, engine_size, stub_size + engine_size, archive_size, crc)
    return fields + struct.pack("<I", zlib.crc32(fields)) + b"QVSFX\r\n\x1a"


def same_layout(good, evil):
    """The evil download laid out like the good one: same stub and engine, its
    archive at the end of a region as long as the good archive's, so that a
    stub that reads the good trailer's offsets from the evil file gets it."""
    stub_size, engine_size, _, archive_size = struct.unpack("<4I", good[-32:-16])
    e_stub, e_engine, _, e_archive_size = struct.unpack("<4I", evil[-32:-16])
    archive = evil[e_stub + e_engine:e_stub + e_engine + e_archive_size]
    expect(len(archive) < archive_size, "the evil archive is not the smaller one")
    payload = good[stub_size:stub_size + engine_size] + bytes(archive_size - len(archive)) + archive
    return good[:stub_size] + payload + trailer(stub_size, engine_size, archive_size, zlib.crc32(payload))


@case("pack: the single file holds itself from its check to the end of its unpacking: a file moved over it "
      "the moment it lets go is never run", version="winxp", timeout=250)
def single_swapped(c):
    good = c.workdir / "good.exe"
    pack(c, demo_folder(c, {"ballast.bin": random.Random(7).randbytes(24_000_000)}), "--single-file", str(good))
    evil_folder = one_file_folder(c, "Evil", automatic=True)
    out = subprocess.run([str(SETUPCHECK), "--pack", str(c.workdir / "evil-disks"), "--single-file",
                          str(c.workdir / "evil.exe"), str(evil_folder)], capture_output=True, timeout=120)
    expect_eq(out.returncode, 0, "packing the evil folder")
    (c.wine.drive_c / "demo-setup.exe").write_bytes(good.read_bytes())
    (c.wine.drive_c / "evil.exe").write_bytes(same_layout(good.read_bytes(), (c.workdir / "evil.exe").read_bytes()))
    swapper = c.wine.start([str(FIXTURES / "swapper.exe"), "C:\\demo-setup.exe", "C:\\evil.exe", "C:\\swap.txt",
                            "90"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    time.sleep(2)
    run_single_file(c, "C:\\demo-setup.exe", "WIN_XP")
    swapper.wait(timeout=120)
    report = (c.wine.drive_c / "swap.txt").read_text()
    c.note(f"swapper: {report.strip()}")
    expect(report.startswith("held 1"), f"the swapper never saw the file held: {report}")
    expect(not c.c_path("C:\\Program Files\\Evil").exists(), "the swapped-in setup.exe ran")


@case("pack: setupcheck.exe under Wine writes the same disks and single file as the Linux build", version=None,
      timeout=150)
def windows_build_packs_the_same(c):
    exe = DIST / "setupcheck.exe"
    expect(exe.exists(), f"{exe} is missing; build first")
    folder = demo_folder(c)
    native = pack(c, folder, "--disk-size", "720K", "--single-file", str(c.workdir / "native.exe"))
    # The Windows build, with its stub beside it, writes into the prefix.
    out = c.workdir / "windows-output.txt"
    with open(out, "wb") as f:
        rc = subprocess.run(["wine", str(exe), "--pack", "C:\\disks", "--disk-size", "720K", "--single-file",
                             "C:\\windows.exe", "Z:" + str(folder).replace("/", "\\")], env=c.wine.env, stdout=f,
                            stderr=subprocess.STDOUT, timeout=120, cwd=c.wine.drive_c).returncode
    expect_eq(rc, 0, f"exit code of setupcheck.exe --pack ({out.read_bytes()[-300:]!r})")
    expect_eq((c.wine.drive_c / "windows.exe").read_bytes(), (c.workdir / "native.exe").read_bytes(), "single file")
    for disk in native:
        theirs = c.wine.drive_c / "disks" / disk.name
        expect_eq(sorted(p.name for p in theirs.iterdir()), sorted(p.name for p in disk.iterdir()), disk.name)
        for p in disk.iterdir():
            expect((theirs / p.name).read_bytes() == p.read_bytes(), f"{disk.name}/{p.name} differs")
