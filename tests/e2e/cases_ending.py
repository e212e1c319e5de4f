"""How the program ends: a failure inside a handler becomes the "Dialog"
warning and the ordinary end; crashes inside the publisher's libraries, a
COM server and the unzip engine end only the call; the exit code says what
happened."""

from cases_package import package_parts
from harness import FIXTURES, ROOT, case, expect, expect_eq

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
    parts = package_parts({"setup.ini": HEAD + ":NRMSG\n", "a.txt": "a\n"}, 2)
    files = {f"crash.p0{i + 1}": part for i, part in enumerate(parts)}
    files["setup.lst"] = ":PACKAGE\ncrash.p01\ncrash.p02\n:\n"
    files["UNZDLL.DLL"] = (ROOT / "dist" / "UNZDLL.DLL").read_bytes()
    c.lay_out(files)
    seen = c.start_watched(timeout=60000)
    expect(seen["ended"], "setup.exe did not end")
    expect_eq([b["box"]["text"].startswith(MALFORMED) for b in seen["boxes"]], [True], "boxes shown")
    c.expect_ended(10)
    expect_exit(c, 1603)
    expect(not temp_folders(c), "the temporary installation folder was left behind")


@case("crashing _setup.dll and COM server: logged, the run goes on, exit 0", timeout=120)
def crashing_libraries(c):
    crash = CRASH_DLL.read_bytes()
    c.lay_out({"setup.ini": HEAD + ":INSTALL\n_setup.dll\n:\n:REGSVR\ncrashsrv.dll\n:\n",
               "_setup.dll": crash, "autoin.dat": ""})
    c.c_path("C:\\windows\\crashsrv.dll").write_bytes(crash)
    seen = c.start_watched(timeout=60000)
    expect(seen["ended"], "setup.exe did not end by itself")
    expect_eq([b["box"]["text"] for b in seen["boxes"]], ["Installation is complete"], "boxes shown")
    c.expect_ended(10)
    expect_exit(c, 0)
    log = install_log(c)
    for line in ("Register Server failed: crashsrv.dll (exception C0000005)",
                 "DoSetup failed (exception C0000005)", "Install Complete"):
        expect(line in log, f"log line missing: {line}\n{log}")
    called = c.c_path("C:\\Program Files\\Crash Demo\\_setup.dll.log").read_text().split()
    expect_eq(called, ["DoSetup"], "the crashing library was called")


@case("crashing unzip engine: no box of the component, the list is missing, exit 1", timeout=120)
def crashing_engine(c):
    parts = package_parts({"setup.ini": HEAD, "a.txt": "a\n"}, 2)
    files = {f"crash.p0{i + 1}": part for i, part in enumerate(parts)}
    files["setup.lst"] = ":PACKAGE\ncrash.p01\ncrash.p02\n:\n"
    files["UNZDLL.DLL"] = CRASH_DLL.read_bytes()
    files["autoin.dat"] = ""
    c.lay_out(files)
    seen = c.start_watched(timeout=60000)
    expect(seen["ended"], "setup.exe did not end")
    expect_eq([b["box"]["text"] for b in seen["boxes"]], ["Could not find installation list"], "boxes shown")
    c.expect_ended(10)
    expect_exit(c, 1)
    expect(not temp_folders(c), "the temporary installation folder was left behind")


@case("damaged package or no engine: the archive component shows no box of its own", timeout=150)
def component_is_silent(c):
    parts = package_parts({"setup.ini": HEAD + ":INSTALL\na.txt\n:\n", "a.txt": "a\n"}, 2)
    parts[0] += b"trailing bytes after the end record"
    files = {f"crash.p0{i + 1}": part for i, part in enumerate(parts)}
    files["setup.lst"] = ":PACKAGE\ncrash.p01\ncrash.p02\n:\n"
    files["UNZDLL.DLL"] = (ROOT / "dist" / "UNZDLL.DLL").read_bytes()
    files["autoin.dat"] = ""
    c.lay_out(files)
    seen = c.start_watched(timeout=60000)
    expect(seen["ended"], "setup.exe did not end")
    expect_eq([b["box"]["text"] for b in seen["boxes"]], ["Installation is complete"], "boxes shown")
    c.expect_ended(10)
    expect_exit(c, 0)

    (c.setup_dir / "UNZDLL.DLL").unlink()
    seen = c.start_watched(timeout=60000)
    expect(seen["ended"], "setup.exe did not end without its engine")
    expect_eq([b["box"]["text"] for b in seen["boxes"]], ["Could not find installation list"], "boxes shown")
    c.expect_ended(10)
    expect_exit(c, 1)
    expect(not temp_folders(c), "the temporary installation folder was left behind")
