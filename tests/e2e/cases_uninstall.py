"""Removal: the demo installed through setup.exe (uninst.exe under :WIN),
then the uninstall entry's command run as Windows runs it; the prefix's
files, registry and Start Menu must be as before the install. Also a file
held open during the removal, and hostile data files."""

import hashlib
import subprocess
import time

from harness import FIXTURES, ROOT, case, expect, expect_eq

DEMO = ROOT / "examples" / "demo"
TITLE = "Quillpad 1.4"
INSTALL_DIR = "C:\\Program Files\\Quillpad"
ENTRY = "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Quillpad"
QUESTION = f"Are you sure you want to completely remove {TITLE} and all of its components?"
# What the install leaves on purpose and what is not ours to compare: the
# shared uninstaller in the Windows folder, the logs, the setup folder, and
# what Wine itself keeps changing.
NOT_COMPARED = ("windows/uninst.exe", "windows/temp/", "setup/", "held.txt",
                "windows/system32/wbem/", "users/")


def install_demo(c, server=False):
    """The demo setup folder, installed in automatic mode (the offer to open
    the readme answered No), with a COM server of ours registered when asked;
    answers the file and registry state before."""
    files = {p.name: p.read_bytes() for p in DEMO.iterdir() if p.is_file()}
    files["autoin.dat"] = b""
    if server:
        files["qvsrvboth.dll"] = (FIXTURES / "sys" / "qvsrvboth.dll").read_bytes()
        files["setup.ini"] = files["setup.ini"].replace(
            b":WIN\r\nuninst.exe\r\n", b":WIN\r\nuninst.exe\r\nqvsrvboth.dll\r\n") + b":REGSVR\r\nqvsrvboth.dll\r\n:\r\n"
    c.lay_out(files)
    before = snapshot(c)
    seen = c.start_watched(answer="No,OK", timeout=60000)
    expect(seen["ended"], "setup.exe did not end after the install")
    expect(c.c_path(INSTALL_DIR + "\\readme.txt").exists(), "the demo was not installed")
    expect(c.c_path("C:\\windows\\uninst.exe").exists(), "uninst.exe was not put into the Windows folder")
    return before


def reg_export(c, key):
    """The key's subtree as (key, value line) pairs; empty when it is missing."""
    out = c.workdir / "export.reg"
    out.unlink(missing_ok=True)
    if c.wine.run(["reg", "export", key, "Z:" + str(out).replace("/", "\\"), "/y"]) != 0 or not out.exists():
        return []
    lines, current = [], ""
    # A long value goes on over lines that end with a backslash.
    text = out.read_bytes().decode("utf-16").replace("\\\r\n  ", "").replace("\\\n  ", "")
    for line in text.splitlines():
        if line.startswith("["):
            current = line
            lines.append((current, ""))
        elif line.strip():
            lines.append((current, line))
    return lines


def reg_string(c, key, name):
    for k, line in reg_export(c, key):
        prefix = f'"{name}"="'
        if line.startswith(prefix):
            return line[len(prefix):-1].replace('\\"', '"').replace("\\\\", "\\")
    return None


def seal(c, data_file, install_dir, key="Hostile"):
    """Records a data file made by hand as an install records the one it
    writes (the command, the install folder, the file's digest), so that
    what it names meets the removal rules."""
    def text(value):
        return '"' + value.replace("\\", "\\\\").replace('"', '\\"') + '"'
    digest = hashlib.sha256(c.c_path(data_file).read_bytes()).hexdigest()
    values = {"UninstallString": f'"C:\\windows\\uninst.exe" "{data_file}"', "InstallLocation": install_dir,
              "UninstallDataDigest": digest}
    reg = c.workdir / "seal.reg"
    reg.write_bytes(("REGEDIT4\r\n\r\n[" + ENTRY.rsplit("\\", 1)[0] + "\\" + key + "]\r\n" +
                     "".join(f"{text(n)}={text(v)}\r\n" for n, v in values.items())).encode("latin-1"))
    expect_eq(c.wine.run(["regedit", "/s", "Z:" + str(reg).replace("/", "\\")]), 0, "regedit's exit code")


def snapshot(c):
    """Files and folders of drive C: (names only) and the registry's
    software keys with their values."""
    files = set()
    for p in c.wine.drive_c.rglob("*"):
        rel = p.relative_to(c.wine.drive_c).as_posix().lower() + ("/" if p.is_dir() else "")
        if not rel.startswith(NOT_COMPARED):
            files.add(rel)
    # The Start Menu lies below users/: compare its Programs folder alone.
    for p in c.wine.drive_c.glob("users/*/**/Programs/**/*"):
        files.add(p.relative_to(c.wine.drive_c).as_posix().lower())
    registry = set()
    for root in ("HKEY_LOCAL_MACHINE\\Software", "HKEY_CURRENT_USER\\Software"):
        registry.update((k, v) for k, v in reg_export(c, root) if "\\Wine" not in k)
    return files, registry


def expect_as_before(c, before, also_left=()):
    files, registry = snapshot(c)
    left = sorted(files - before[0] - set(also_left))
    gone = sorted(before[0] - files)
    expect(not left and not gone, f"files differ from before the install: left {left}, gone {gone}")
    expect(registry == before[1], f"registry differs: left {sorted(registry - before[1])[:10]}, "
           f"gone {sorted(before[1] - registry)[:10]}")


def split_command(command):
    """An uninstall command split as Windows splits it: the quoted program,
    then the quoted data file."""
    expect(command and command.startswith('"') and command.count('"') == 4,
           f"no usable uninstall command: {command!r}")
    _, exe, _, data, _ = command.split('"')
    return exe, data


def uninstall_command(c):
    return split_command(reg_string(c, ENTRY, "UninstallString"))


def round_trip(c, user_file):
    before = install_demo(c, server=not user_file)
    installed = snapshot(c)
    # The comparison at the end means something only if the install showed in both.
    for kind, i in (("files", 0), ("registry", 1)):
        expect(len(installed[i] - before[i]) >= 5, f"the install added too little to the {kind}: "
               f"{sorted(installed[i] - before[i])}")
    if user_file:
        c.c_path(INSTALL_DIR + "\\mine.txt").write_text("made by the user meanwhile")
    exe, data = uninstall_command(c)
    expect_eq(exe.lower(), "c:\\windows\\uninst.exe", "uninstaller in the command")
    seen = c.start_watched(exe=exe, args=[data], answer="Yes,OK", timeout=60000)
    expect(seen["ended"], "uninst.exe did not end")
    texts = [b["box"]["text"] for b in seen["boxes"]]
    expect(any(e["window"]["text"] == "Removing" and e["window"]["visible"] for e in seen["events"]),
           "the progress window was not shown")
    if user_file:
        expect_eq(texts, [QUESTION, f"These items of {TITLE} could not be removed:\r\n{INSTALL_DIR}"], "boxes")
        expect_eq(c.program.wait(10), 1603 & 0xFF, "exit code (the low byte of 1603: items remain)")
        expect_as_before(c, before, {"program files/quillpad/", "program files/quillpad/mine.txt"})
    else:
        expect_eq(texts, [QUESTION, f"{TITLE} was removed."], "boxes")
        expect_eq(c.program.wait(10), 0, "exit code")
        # The server is a shared file in the Windows folder: unregistered, kept.
        calls = c.c_path("C:\\windows\\qvsrvboth.dll.log").read_text().split()
        expect_eq([x for x in calls if "register" in x], ["register", "unregister"], "server calls")
        expect_as_before(c, before, {"windows/qvsrvboth.dll", "windows/qvsrvboth.dll.log"})
    log = c.c_path("C:\\windows\\temp\\qvuninst_Quillpad1.4.txt").read_text(errors="replace")
    for line in ["Kept: C:\\windows\\uninst.exe", f"Remove: {INSTALL_DIR}\\readme.txt"]:
        expect(line.lower() in log.lower(), f"the removal log lacks {line!r}:\n{log}")


@case("uninstall: the demo removed again on Windows 98, a user's file stays", version="win98", timeout=90)
def round_trip_98(c):
    round_trip(c, user_file=True)


@case("uninstall: the demo removed again on Windows XP leaves nothing", version="winxp", timeout=90)
def round_trip_xp(c):
    round_trip(c, user_file=False)


def held_open(c, nt):
    install_demo(c)
    exe, data = uninstall_command(c)
    held = INSTALL_DIR + "\\readme.txt"
    marker = c.c_path("C:\\held.txt")
    holder = c.wine.start([str(FIXTURES / "holdopen.exe"), held, "C:\\held.txt", "12"],
                          stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    for _ in range(100):
        if marker.exists():
            break
        time.sleep(0.1)
    expect(marker.exists(), "holdopen.exe did not open the file")
    # The NT family deletes the emptied folder at the restart too; WININIT.INI
    # cannot, so there the folder is reported as left; a restart is needed on both.
    expect_eq(c.wine.run([exe, data, "/S"]), 3010 & 0xFF, "exit code (the low byte of 3010: a restart is needed)")
    expect(c.c_path(held).exists(), "the file held open was lost")
    expect(not c.c_path(INSTALL_DIR + "\\license.txt").exists(), "a file not in use was not removed")
    if nt:
        pending = reg_export(c, "HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Control\\Session Manager")
        text = "".join(v for _, v in pending if v.startswith('"PendingFileRenameOperations"'))
        names = bytes.fromhex("".join(ch for ch in text.split(":", 1)[-1] if ch in "0123456789abcdef"))
        expect("readme.txt" in names.decode("utf-16", errors="replace").lower(), f"no delayed delete: {text[:200]}")
    else:
        wininit = c.c_path("C:\\windows\\WININIT.INI").read_text(errors="replace").upper()
        expect("[RENAME]\nNUL=C:\\" in wininit and "\\README.TXT\n" in wininit,
               f"no NUL= line in WININIT.INI: {wininit!r}")
    holder.wait(timeout=30)
    # Wine's restart carries out the scheduled deletes as Windows does at its start.
    c.wine.run(["wineboot", "-r"], timeout=60)
    expect(not c.c_path(held).exists(), "the scheduled file is still there after the restart")
    expect(c.c_path(INSTALL_DIR).exists() != nt, "the install folder after the restart")


@case("uninstall: a file held open on Windows XP goes at the restart", version="winxp", timeout=90)
def held_open_xp(c):
    held_open(c, nt=True)


@case("uninstall: a file held open on Windows 98 goes at the restart", version="win98", timeout=90)
def held_open_98(c):
    held_open(c, nt=False)


@case("uninstall: hostile data files remove nothing outside the rules", version="winxp", timeout=60)
def hostile(c):
    c.lay_out({})
    victims = ["C:\\victim.txt", "C:\\windows\\victim.ini", "C:\\hostile\\victim.txt",
               "C:\\Program Files\\Other\\victim.txt"]
    for v in victims + ["C:\\hostile\\app\\own.txt"]:
        c.c_path(v).parent.mkdir(parents=True, exist_ok=True)
        c.c_path(v).write_text("keep")
    uninst = "C:\\setup\\uninst.exe"

    def data_file(install_dir, paths):
        text = "Hostile\r\n" + install_dir + "\r\n" + "".join(p + "\r\n" for p in paths) + "\r\n"
        c.c_path("C:\\hostile\\unin.ini").write_bytes(text.encode("latin-1"))
        seal(c, "C:\\hostile\\unin.ini", install_dir)

    data_file("C:\\", victims)
    seen = c.start_watched(exe=uninst, args=["C:\\hostile\\unin.ini"], answer="OK", timeout=30000)
    expect_eq([b["box"]["text"] for b in seen["boxes"]],
              ["The uninstall data file C:\\hostile\\unin.ini names the install folder C:\\, which is the root "
               "of a drive. Nothing was removed."], "box for a drive root")
    expect_eq(c.program.wait(10), 1, "exit code for a drive root (refused)")
    data_file("C:\\windows", victims)
    expect_eq(c.wine.run([uninst, "C:\\hostile\\unin.ini", "/S"]), 1, "exit code for the Windows folder (refused)")
    data_file("C:\\hostile\\app", ["C:\\hostile\\app\\..\\victim.txt", "C:\\victim.txt", "victim.txt",
                                   "C:\\windows\\victim.ini", "C:\\hostile\\app\\own.txt",
                                   "C:\\Program Files\\Other\\victim.txt"])
    expect_eq(c.wine.run([uninst, "C:\\hostile\\unin.ini", "/S"]), 1603 & 0xFF,
              "exit code with refused paths (the low byte of 1603: items remain)")
    for v in victims:
        expect(c.c_path(v).exists(), f"{v} was removed")
    expect(not c.c_path("C:\\hostile\\app").exists(), "the data file's own install folder stayed")
    log = c.c_path("C:\\windows\\temp\\qvuninst_Hostile.txt").read_text(errors="replace")
    expect("Kept: C:\\hostile\\app\\..\\victim.txt" in log, f"the refused path is not logged as kept:\n{log}")
