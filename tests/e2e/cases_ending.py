"""How the program ends: a failure inside a handler becomes the "Dialog"
warning and the ordinary end; crashes inside the publisher's libraries, a
COM server and the unzip engine end only the call; the exit code says what
happened."""

import subprocess
import time

from cases_package import package_parts
from harness import FIXTURES, ROOT, CaseFailure, case, expect, expect_eq

CRASH_DLL = FIXTURES / "sys" / "qvcrash.dll"
HEAD = "\\Crash Demo\nCrash Demo\nCrash Demo 1.0\n"
MALFORMED = "The installation list is malformed: :NRMSG"


def install_log(c):
    log = c.c_path("C:\\windows\\temp\\qvsetup_CrashDemo1.0.txt")
    expect(log.exists(), "no install log was written")
    return log.read_text("latin-1").splitlines()


def expect_exit(c, code):
    # Wine hands Linux only the low byte of a Windows exit code.
    expect_eq(c.program.returncode, code & 0xFF, f"exit code (the low byte of {code})")


def temp_folders(c):
    return list(c.c_path("C:\\windows\\temp").glob("QVINST*"))


REAL_ENGINE = ROOT / "dist" / "UNZDLL.DLL"


def package(setup_ini, engine, *, automatic=True, trailing=b""):
    """A package of two parts holding setup_ini and a.txt, its list, and the engine."""
    parts = package_parts({"setup.ini": setup_ini, "a.txt": "a\n"}, 2)
    parts[0] += trailing
    files = {f"crash.p0{i + 1}": part for i, part in enumerate(parts)}
    files["setup.lst"] = ":PACKAGE\ncrash.p01\ncrash.p02\n:\n"
    files["UNZDLL.DLL"] = engine.read_bytes()
    if automatic:
        files["autoin.dat"] = ""
    return files


def run_to_end(c, code):
    """Runs setup.exe under watch to its end, every box answered; the boxes' texts."""
    seen = c.start_watched(timeout=60000)
    expect(seen["ended"], "setup.exe did not end by itself")
    c.expect_ended(10)
    expect_exit(c, code)
    return [b["box"]["text"] for b in seen["boxes"]]


@case("a handler's failure: the Dialog warning, the ordinary end, exit 1603")
def handler_failure(c):
    # The running-program check reads the line after a header that ends the list.
    c.lay_out({"setup.ini": HEAD + ":NRMSG\n"})
    seen = c.start_watched()
    expect(seen["ended"], "setup.exe did not end")
    boxes = [b["box"] for b in seen["boxes"]]
    expect_eq(len(boxes), 1, "message boxes")
    expect(boxes[0]["text"].startswith(MALFORMED), f"box text: {boxes[0]['text']}")
    expect_eq(boxes[0]["caption"], "Dialog", "box caption")
    c.expect_ended(10)
    expect_exit(c, 1603)


@case("package mode: a handler's failure still removes the temporary folder", timeout=120)
def handler_failure_in_package(c):
    c.lay_out(package(HEAD + ":NRMSG\n", REAL_ENGINE, automatic=False))
    expect_eq([t.startswith(MALFORMED) for t in run_to_end(c, 1603)], [True], "boxes shown")
    expect(not temp_folders(c), "the temporary installation folder was left behind")


@case("crashing _setup.dll and COM server: logged, the run goes on, exit 0", timeout=120)
def crashing_libraries(c):
    crash = CRASH_DLL.read_bytes()
    c.lay_out({"setup.ini": HEAD + ":INSTALL\n_setup.dll\n:\n:REGSVR\ncrashsrv.dll\n:\n",
               "_setup.dll": crash, "autoin.dat": ""})
    c.c_path("C:\\windows\\crashsrv.dll").write_bytes(crash)
    expect_eq(run_to_end(c, 0), ["Installation is complete"], "boxes shown")
    log = install_log(c)
    for line in ("Register Server failed: crashsrv.dll (exception C0000005)",
                 "DoSetup failed (exception C0000005)", "Install Complete"):
        expect(line in log, f"log line missing: {line}\n{log}")
    called = c.c_path("C:\\Program Files\\Crash Demo\\_setup.dll.log").read_text().split()
    # The library's own frame around the crash was unwound: what it held was released.
    expect_eq(called, ["DoSetup", "unwound"], "the crashing library was called and unwound")


@case("crashing unzip engine: no box of the component, the package is not extracted, exit 1", timeout=120)
def crashing_engine(c):
    c.lay_out(package(HEAD, CRASH_DLL))
    expect_eq(run_to_end(c, 1), ["Error decompressing install package."], "boxes shown")
    expect(not temp_folders(c), "the temporary installation folder was left behind")


@case("damaged package or no engine: the archive component shows no box of its own", timeout=150)
def component_is_silent(c):
    c.lay_out(package(HEAD + ":INSTALL\na.txt\n:\n", REAL_ENGINE, trailing=b"bytes after the end record"))
    expect_eq(run_to_end(c, 0), ["Installation is complete"], "boxes shown")
    (c.setup_dir / "UNZDLL.DLL").unlink()
    expect_eq(run_to_end(c, 1), ["Error decompressing install package."], "boxes shown without an engine")
    expect(not temp_folders(c), "the temporary installation folder was left behind")


# ---- files in use, replaced at the next start of Windows ----------------------

LOCKER = FIXTURES / "sys" / "qvlocker.exe"
LOCK_DIR = "C:\\Program Files\\Lock Demo"
LOCK_HEAD = "\\Lock Demo\nLock Demo\nLock Demo 1.0\n"


def hold(c, names):
    """Holds the destination files open until release(c) is called."""
    (c.setup_dir / "qvlocker.exe").write_bytes(LOCKER.read_bytes())
    flag = c.c_path("C:\\setup\\release")
    ready = c.c_path("C:\\setup\\release.ready")
    c.wine.start(["C:\\setup\\qvlocker.exe", "C:\\setup\\release"] + [f"{LOCK_DIR}\\{n}" for n in names],
                 stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    for _ in range(200):
        if ready.exists():
            return flag
        time.sleep(0.1)
    raise CaseFailure("the locker did not take the files")


def release(flag):
    flag.write_bytes(b"")
    time.sleep(1.5)


def restart_windows(c):
    """Ends the Wine session; the next one carries out what waits for a restart."""
    c.wine.kill()
    c.wine.run(["wineboot"])


def install(c, answer="Cancel,OK"):
    seen = c.start_watched(answer=answer, timeout=60000)
    expect(seen["ended"], "setup.exe did not end")
    c.expect_ended(10)
    return seen


def destination(c, name):
    """A file's bytes; its name in any letter case, as Windows finds it (the
    95 family's restart writes the short, upper-case name)."""
    folder = c.c_path(LOCK_DIR)
    found = [p for p in folder.iterdir() if p.name.upper() == name.upper()]
    expect_eq(len(found), 1, f"files named {name} in {LOCK_DIR}")
    return found[0].read_bytes()


for version in ("winxp", "win98"):
    def one_base_name(c):
        c.lay_out({"setup.ini": LOCK_HEAD + ":INSTALL\napp.dll\napp.ex_\n:\n", "app.dll": b"new dll",
                   "app.ex_": b"new exe", "autoin.dat": ""})
        folder = c.c_path(LOCK_DIR)
        folder.mkdir(parents=True)
        (folder / "app.dll").write_bytes(b"old dll")
        (folder / "app.exe").write_bytes(b"old exe")
        flag = hold(c, ["app.dll", "app.exe"])
        install(c)
        code = c.program.returncode
        release(flag)
        restart_windows(c)
        expect_eq((destination(c, "app.dll"), destination(c, "app.exe")), (b"new dll", b"new exe"),
                  "the files after the restart")
        expect_eq(code, 3010 & 0xFF, "exit code (the low byte of 3010: installed, a restart is needed)")

    case(f"two files of one base name in use get their own bytes at the restart ({version})",
         version=version, timeout=150)(one_base_name)


@case("a file freed before the restart keeps the newest bytes (win98)", version="win98", timeout=150)
def freed_before_restart(c):
    c.lay_out({"setup.ini": LOCK_HEAD + ":INSTALL\na.dll\n:\n", "a.dll": b"first", "autoin.dat": ""})
    folder = c.c_path(LOCK_DIR)
    folder.mkdir(parents=True)
    (folder / "a.dll").write_bytes(b"old")
    flag = hold(c, ["a.dll"])
    install(c)
    release(flag)
    (c.setup_dir / "a.dll").write_bytes(b"second")
    install(c)
    expect_exit(c, 0)
    expect_eq(destination(c, "a.dll"), b"second", "copied straight")
    restart_windows(c)
    expect_eq(destination(c, "a.dll"), b"second", "the file after the restart")
