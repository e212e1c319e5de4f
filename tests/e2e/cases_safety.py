"""Safety: data files that name protected folders by their aliases, a
destination typed with a trailing backslash, what a removal must take back
(a file type, a vendor's folders), a temporary folder someone else made
beforehand, Cancel answered before the next entry, and failures that must
not end as a success."""

import io
import time
import zipfile

from cases_package import ENGINE, package_parts
from cases_uninstall import reg_export, reg_string, seal, split_command
from harness import FIXTURES, case, expect, expect_eq

UNINST = "C:\\setup\\uninst.exe"
PROGRAMS = "users/*/**/Start Menu/Programs"


def short_name(c, folder, name):
    """The 8.3 name Wine gives folder\\name, as a program would read it
    (from "dir /x"); empty when it shows none."""
    out = c.c_path("C:\\dirx.txt")
    c.c_path("C:\\dirx.bat").write_bytes(f'@dir /x "{folder}" > C:\\dirx.txt\r\n'.encode("latin-1"))
    c.wine.run(["cmd", "/c", "C:\\dirx.bat"])
    for line in (out.read_text(errors="replace").splitlines() if out.exists() else []):
        words = line.split()
        if line.rstrip().endswith(name) and "~" in line:
            short = [w for w in words if "~" in w]
            if short:
                return folder.rstrip("\\") + "\\" + short[0]
    return ""


def to_paths_page(c, title):
    marker = ("Static", "Start Menu folder will be created as:")
    for _ in range(4):
        shown = c.page(title)
        if marker in shown:
            break
        c.click(title, "Yes" if ("Button", "Yes") in shown else "Next")
        time.sleep(0.3)
    c.wait_page(title, marker)


def uninstall_command(c, key):
    return split_command(reg_string(
        c, "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + key, "UninstallString"))


def key_exists(c, key):
    return bool(reg_export(c, key))


def programs_folder(c, *parts):
    found = list(c.wine.drive_c.glob(PROGRAMS))
    expect(found, "no Programs folder in the prefix")
    return found[0].joinpath(*parts)


@case("safety: aliases of protected folders in a hostile data file remove nothing", version="winxp", timeout=60)
def hostile_aliases(c):
    c.lay_out({})
    victims = ["C:\\Program Files\\Other\\victim.txt", "C:\\windows\\victim.ini"]
    for v in victims + ["C:\\hostile\\app\\own.txt"]:
        c.c_path(v).parent.mkdir(parents=True, exist_ok=True)
        c.c_path(v).write_text("keep")
    progra = short_name(c, "C:\\", "Program Files")
    expect(progra, "dir /x shows no short name for Program Files:\n" +
           c.c_path("C:\\dirx.txt").read_text(errors="replace")[:2000])

    def data_file(install_dir, paths):
        text = "Hostile\r\n" + install_dir + "\r\n" + "".join(p + "\r\n" for p in paths) + "\r\n"
        c.c_path("C:\\hostile\\unin.ini").write_bytes(text.encode("latin-1"))
        seal(c, "C:\\hostile\\unin.ini", install_dir)

    aliases = [progra + "\\Other\\victim.txt", "C:\\Program Files.\\Other\\victim.txt",
               "C:\\windows.\\victim.ini", "C:\\hostile\\app\\..\\..\\" + progra[3:] + "\\Other\\victim.txt"]
    for install_dir in (progra, "C:\\Program Files.", "C:\\windows.", "C:\\Program Files \\"):
        data_file(install_dir, aliases)
        expect_eq(c.wine.run([UNINST, "C:\\hostile\\unin.ini", "/S"]), 1, f"exit code for {install_dir} (refused)")
    data_file("C:\\hostile\\app", aliases + ["C:\\hostile\\app\\own.txt"])
    expect_eq(c.wine.run([UNINST, "C:\\hostile\\unin.ini", "/S"]), 1603 & 0xFF,
              "exit code with refused aliases (the low byte of 1603: items remain)")
    for v in victims:
        expect(c.c_path(v).exists(), f"{v} was removed")
    expect(not c.c_path("C:\\hostile\\app").exists(), "the data file's own install folder stayed")


@case("safety: a destination typed with a trailing backslash is removed by its uninstall command",
      version="winxp", timeout=90)
def trailing_backslash(c):
    title = "Qvs Slash 1.0"
    c.lay_out({"qvs.txt": "slash\n", "setup.ini": """
        \\Qvs Slash
        Qvs Slash
        Qvs Slash 1.0
        :NEXTLICENSE
        :INSTALL
        qvs.txt
        :
        :WIN
        uninst.exe
        :
        :UNINSTALL
        Qvs Slash
        Qvs Slash 1.0
        uninst.exe
        r
        :
        """})
    c.start()
    c.wait_wizard(title)
    to_paths_page(c, title)
    c.driver.must("set-text", caption=title, exe="setup.exe", old="C:\\Program Files\\Qvs Slash",
                  new="C:\\Program Files\\Qvs Slash\\")
    c.click(title, "Next")
    c.wait_page(title, ("Static", "Setup is about to install:"))
    c.driver.send("watch", exe="setup.exe", answer="OK", timeout=60000)
    expect(c.driver_once("click", caption=title, exe="setup.exe", button="Finish"), "Finish was not pressed")
    seen = c.driver.receive("watch", wait_ms=60000)
    expect(seen["ended"], "setup.exe did not end")
    expect(c.c_path("C:\\Program Files\\Qvs Slash\\qvs.txt").exists(), "not installed")
    exe, data = uninstall_command(c, "Qvs Slash")
    expect(data.endswith("Qvs Slash\\\\unin.ini"), f"the command does not name the folder as typed: {data!r}")
    seen = c.start_watched(exe=exe, args=[data], answer="Yes,OK", timeout=60000)
    expect(seen["ended"], "uninst.exe did not end")
    expect_eq([b["box"]["text"] for b in seen["boxes"]][-1:], ["Qvs Slash 1.0 was removed."], "closing box")
    expect_eq(c.program.wait(10), 0, "exit code")
    expect(not c.c_path("C:\\Program Files\\Qvs Slash").exists(), "the install folder stayed")


@case("safety: a file type and a vendor's nested folders go with the removal", version="winxp", timeout=90)
def file_type_round_trip(c):
    c.lay_out({"autoin.dat": "", "qvs.txt": "app\n", "setup.ini": """
        \\Qvs Vendor\\Qvs App
        Qvs Vendor\\Qvs App
        Qvs App 2.0
        :INSTALL
        qvs.txt
        :
        :WIN
        uninst.exe
        :
        :SHORTCUTS
        Qvs App
        qvs.txt
        :
        :reg
        HKEY_LOCAL_MACHINE
        Software\\Qvs Vendor\\Qvs App
        Path
        <INSTALLDIR>
        HKEY_CLASSES_ROOT
        .qvx
        
        Qvs.Document
        HKEY_CLASSES_ROOT
        Qvs.Document\\shell\\open\\command
        
        notepad.exe %1
        :
        :UNINSTALL
        Qvs App
        Qvs App 2.0
        uninst.exe
        r
        :
        """})
    seen = c.start_watched(answer="OK", timeout=60000)
    expect(seen["ended"], "setup.exe did not end")
    expect(key_exists(c, "HKEY_CLASSES_ROOT\\Qvs.Document"), "the class key was not written")
    expect(programs_folder(c, "Qvs Vendor", "Qvs App").exists(), "the Start Menu folder was not made")
    exe, data = uninstall_command(c, "Qvs App")
    expect_eq(c.wine.run([exe, data, "/S"]), 0, "exit code")
    for key in ("HKEY_CLASSES_ROOT\\Qvs.Document", "HKEY_CLASSES_ROOT\\.qvx",
                "HKEY_LOCAL_MACHINE\\Software\\Qvs Vendor"):
        expect(not key_exists(c, key), f"{key} stayed")
    expect(key_exists(c, "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion"),
           "a well-known key went")
    expect(not c.c_path("C:\\Program Files\\Qvs Vendor").exists(), "the vendor's folder stayed in Program Files")
    expect(not programs_folder(c, "Qvs Vendor").exists(), "the vendor's folder stayed in the Start Menu")
    expect(c.c_path("C:\\Program Files").exists() and programs_folder(c).exists(), "a system folder went")


PACKAGED_INI = """\\Qvs Packed
Qvs Packed
Qvs Packed 1.0
:INSTALL
packed.txt
:
"""


def package_folder(c, files):
    parts = package_parts(files, 1)
    c.lay_out({"demo.p01": parts[0], "autoin.dat": "", "UNZDLL.DLL": ENGINE.read_bytes(),
               "setup.lst": ":PACKAGE\ndemo.p01\n:\n"})


@case("safety: a QVINST1 made beforehand by someone else is left alone, the next free name is created",
      version="winxp", timeout=90)
def temp_folder_taken(c):
    package_folder(c, {"setup.ini": PACKAGED_INI, "packed.txt": "from the package\n"})
    planted = c.c_path("C:\\windows\\temp\\QVINST1\\_setup.dll")
    planted.parent.mkdir(parents=True, exist_ok=True)
    planted.write_bytes(b"planted")
    # A name that is free when looked at and taken when created (as when
    # someone creates it in between): a link to nowhere.
    racing = c.c_path("C:\\windows\\temp\\QVINST2")
    racing.symlink_to(c.workdir / "nowhere")
    seen = c.start_watched(answer="OK", timeout=60000)
    expect(seen["ended"], "setup.exe did not end")
    expect_eq([b["box"]["text"] for b in seen["boxes"]], ["Installation is complete"], "boxes shown")
    expect(c.c_path("C:\\Program Files\\Qvs Packed\\packed.txt").exists(), "the package was not installed")
    expect_eq(sorted(p.name for p in planted.parent.iterdir()), ["_setup.dll"], "QVINST1 after the setup")
    expect_eq(planted.read_bytes(), b"planted", "the planted file")
    expect(racing.is_symlink() and not (c.workdir / "nowhere").exists(), "the link was followed")
    expect(not c.c_path("C:\\windows\\temp\\QVINST3").exists(), "the setup's own folder stayed")


@case("safety: a package file that fails its check sum installs nothing", version="winxp", timeout=90)
def package_check_sum(c):
    data = io.BytesIO()
    with zipfile.ZipFile(data, "w", zipfile.ZIP_STORED) as z:
        z.writestr("setup.ini", PACKAGED_INI.replace("\n", "\r\n"))
        z.writestr("packed.txt", "QVS-CONTENT " * 20)
    whole = bytearray(data.getvalue())
    at = bytes(whole).index(b"QVS-CONTENT")
    whole[at] ^= 0x20  # the stored bytes no longer match their check sum
    c.lay_out({"demo.p01": bytes(whole), "autoin.dat": "", "UNZDLL.DLL": ENGINE.read_bytes(),
               "setup.lst": ":PACKAGE\ndemo.p01\n:\n"})
    seen = c.start_watched(answer="OK", timeout=60000)
    expect(seen["ended"], "setup.exe did not end")
    expect_eq([b["box"]["text"] for b in seen["boxes"]], ["Error decompressing install package."], "boxes shown")
    expect_eq(c.program.wait(10), 1, "exit code")
    expect(not c.c_path("C:\\Program Files\\Qvs Packed").exists(), "something was installed")
    expect(not list(c.c_path("C:\\windows\\temp").glob("QVINST*")), "the temporary folder stayed")


@case("safety: Next refuses a destination that cannot be created", version="winxp", timeout=60)
def destination_refused(c):
    title = "Qvs Dest 1.0"
    c.lay_out({"setup.ini": "\\Qvs Dest\nQvs Dest\nQvs Dest 1.0\n:NEXTLICENSE\n"})
    c.start()
    c.wait_wizard(title)
    to_paths_page(c, title)
    c.c_path("C:\\Qvs File").write_text("a file, not a folder")
    shown = "C:\\Program Files\\Qvs Dest"
    for bad in ("C:\\Qvs<Bad>|Name", "C:\\Qvs File\\Sub", "C:\\Qvs New\\Bad|Part"):
        c.driver.must("set-text", caption=title, exe="setup.exe", old=shown, new=bad)
        shown = bad
        c.click(title, "Next")
        box = c.driver.must("answer", button="OK")["box"]
        expect_eq(box["text"], f"The folder {bad} cannot be created.  Please select a valid folder to continue.",
                  "box for " + bad)
        c.wait_page(title, ("Edit", bad))
    expect(not c.c_path("C:\\Qvs New").exists(), "the test left a folder behind")
    c.click(title, "Cancel")
    c.expect_ended(15)


@case("safety: a Cancel clicked while a quick server registers is answered before the next one",
      version="winxp", timeout=90)
def cancel_before_next_entry(c):
    c.lay_out({"autoin.dat": "", "qvsrvcancel.dll": (FIXTURES / "sys" / "qvsrvcancel.dll").read_bytes(),
               "qvsrvboth.dll": (FIXTURES / "sys" / "qvsrvboth.dll").read_bytes(), "setup.ini": """
        \\Qvs Cancel
        Qvs Cancel
        Qvs Cancel 1.0
        :WIN
        qvsrvcancel.dll
        qvsrvboth.dll
        :
        :REGSVR
        qvsrvcancel.dll
        qvsrvboth.dll
        :
        :SHORTCUTS
        Qvs Cancel
        qvs.txt
        :
        """})
    seen = c.start_watched(answer="Yes,OK", timeout=60000)
    expect(seen["ended"], "setup.exe did not end")
    clicked = c.c_path("C:\\windows\\qvsrvcancel.dll.log").read_text(errors="replace").split("\n")
    expect(any("clicked Cancel" in line for line in clicked), f"the server did not click Cancel: {clicked}")
    expect_eq([b["box"]["text"] for b in seen["boxes"]], ["Cancel Setup?", "Setup did not complete."], "boxes")
    expect_eq(c.program.wait(10), 1602 & 0xFF, "exit code (Wine hands on its low byte)")
    other = c.c_path("C:\\windows\\qvsrvboth.dll.log")
    expect(not other.exists() or "register" not in other.read_text(errors="replace"),
           "the next server was registered before Cancel was answered")
    expect(not programs_folder(c, "Qvs Cancel").exists(), "shortcuts were begun")
