"""A 400-file install that replaces a file in the System folder and registry
values, cancelled after its files, and the same install killed half-way and
started again: either way the drive and the registry are as before."""

import os
import signal
import time
from pathlib import Path

from harness import FIXTURES, case, crlf, expect, expect_eq
from cases_uninstall import snapshot

FILES = 400
TITLE = "Qvs Rollback 1.0"
INSTALL_DIR = "C:\\Program Files\\Qvs Rollback"
SHARED = "C:\\windows\\system32\\qvshared.dll"
ENTRY = "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\QvsRollback"
PROGRAM_KEY = "HKEY_LOCAL_MACHINE\\Software\\QvsRollback"
# Written by the fixture server itself, not by the installation.
SERVER_LOG = "windows/qvsrvcancel.dll.log"


def lay_out(c, servers):
    """The setup folder, and a machine where the run replaces a System file,
    an uninstall entry's name and a value of the program key."""
    files = {f"f{n:03}.dat": bytes([n % 251]) * 65536 for n in range(FILES)}
    files["qvshared.dll"] = b"the new shared library"
    win = regsvr = ""
    if servers:
        for name in ("qvsrvcancel.dll", "qvsrvboth.dll"):
            files[name] = (FIXTURES / "sys" / name).read_bytes()
        win = ":WIN\nqvsrvcancel.dll\nqvsrvboth.dll\n:\n"
        regsvr = ":REGSVR\nqvsrvcancel.dll\nqvsrvboth.dll\n:\n"
    names = "\n".join(f"f{n:03}.dat" for n in range(FILES))
    files["setup.ini"] = crlf(
        "\\Qvs Rollback\nQvs Rollback\nQvs Rollback 1.0\n"
        ":UNINSTALL\nQvsRollback\nQvs Rollback 1.0\nuninst.exe\nr\n"
        f":INSTALL\n{names}\n:\n{win}:SYSTEM\nqvshared.dll\n:\n{regsvr}"
        ":reg\nHKEY_LOCAL_MACHINE\nSoftware\\QvsRollback\nVersion\n1.0\n:\n")
    files["autoin.dat"] = b""
    c.lay_out(files)
    c.c_path(SHARED).write_bytes(b"the shared library another program installed")
    for key, name, data in ((ENTRY, "DisplayName", "An older Qvs Rollback"), (PROGRAM_KEY, "Version", "0.9")):
        expect_eq(c.wine.run(["reg", "add", key, "/v", name, "/d", data, "/f"]), 0, f"reg add {key}")
    return snapshot(c)


def expect_restored(c, before, steps):
    files, registry = snapshot(c)
    left = sorted(files - before[0] - {SERVER_LOG})
    gone = sorted(before[0] - files)
    expect(not left and not gone, f"files differ from before: left {left[:10]}, gone {gone[:10]}")
    expect(registry == before[1], f"registry differs: left {sorted(registry - before[1])[:10]}, "
           f"gone {sorted(before[1] - registry)[:10]}")
    expect_eq(c.c_path(SHARED).read_bytes(), b"the shared library another program installed", "the System file")
    log = c.c_path("C:\\windows\\temp\\qvsetup_QvsRollback1.0.txt").read_text(errors="replace")
    for line in steps:
        expect(line.lower() in log.lower(), f"the log lacks {line!r}:\n{log[-2000:]}")


def cancelled(c):
    before = lay_out(c, servers=True)
    seen = c.start_watched(answer="Yes,OK", timeout=120000)
    expect(seen["ended"], "setup.exe did not end")
    expect_eq([b["box"]["text"] for b in seen["boxes"]], ["Cancel Setup?", "Setup did not complete."], "boxes")
    expect_eq(c.program.wait(10), 1602 & 0xFF, "exit code (Wine hands on its low byte)")
    calls = c.c_path("C:\\windows\\qvsrvcancel.dll.log").read_text(errors="replace").split()
    expect("unregister" in calls, f"the server was not unregistered: {calls}")
    expect_restored(c, before, [f"Restored: {SHARED}", f"Removed: {INSTALL_DIR}\\f399.dat",
                                "Unregister Server: C:\\windows\\qvsrvcancel.dll",
                                f"Restored: HKEY_LOCAL_MACHINE\\{ENTRY.split(chr(92), 1)[1]}\\DisplayName"])


@case("rollback: a cancel after 400 files puts Windows 98 back as it was", version="win98", timeout=120)
def cancelled_98(c):
    cancelled(c)


@case("rollback: a cancel after 400 files puts Windows XP back as it was", version="winxp", timeout=120)
def cancelled_xp(c):
    cancelled(c)


def setup_processes(c):
    """The process ids of the setup.exe this case started in its prefix."""
    wanted = f"WINEPREFIX={c.wine.prefix}".encode()
    pids = []
    for d in Path("/proc").iterdir():
        try:
            if d.name.isdigit() and b"setup.exe" in (d / "cmdline").read_bytes().lower() and \
                    wanted in (d / "environ").read_bytes().split(b"\0"):
                pids.append(int(d.name))
        except OSError:
            continue
    return pids


def killed(c):
    before = lay_out(c, servers=False)
    c.start()
    folder = c.c_path(INSTALL_DIR)
    deadline = time.time() + 90
    while time.time() < deadline and len(list(folder.glob("*.dat"))) < FILES // 4:
        time.sleep(0.005)
    # The setup process ends at once, as at a crash or a power loss: Wine goes on.
    for pid in setup_processes(c):
        os.kill(pid, signal.SIGKILL)
    c.expect_ended(20)
    copied = len(list(folder.glob("*.dat")))
    expect(0 < copied < FILES, f"setup was not stopped half-way ({copied} of {FILES} files)")
    # Started again by a user (no automatic mode): it offers the restore, then shows its wizard.
    c.c_path("C:\\setup\\autoin.dat").unlink()
    seen = c.start_watched(answer="Yes", until_caption=TITLE, timeout=60000)
    texts = [b["box"]["text"] for b in seen["boxes"]]
    expect_eq(texts[:1], [f"Setup of {TITLE} into {INSTALL_DIR} did not finish. "
                          "Restore this computer as it was before it?"], "boxes")
    # Compared while the wizard waits: the restore came before it.
    expect_restored(c, before, [f"Removed: {INSTALL_DIR}\\f000.dat", "Restoring after an unfinished setup"])


@case("rollback: setup killed half-way is undone at its next start on Windows 98", version="win98", timeout=120)
def killed_98(c):
    killed(c)


@case("rollback: setup killed half-way is undone at its next start on Windows XP", version="winxp", timeout=120)
def killed_xp(c):
    killed(c)
