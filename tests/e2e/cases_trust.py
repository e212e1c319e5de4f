"""What the elevated programs trust: each case plants what an ordinary user
could have put into a shared or user-writable folder (a hard link at a log's
name, a program at C:\\Program.exe, libraries and programs in an install
folder that existed before, an install folder swapped for a link, an edited
uninstall data file) and shows that setup.exe and uninst.exe do no harm
with it."""

import os
import shutil
import time

from cases_uninstall import reg_export, reg_string
from harness import FIXTURES, case, expect, expect_eq

WINPROG = FIXTURES / "sys" / "qvwinprog.exe"
CRASH_DLL = FIXTURES / "sys" / "qvcrash.dll"
ENTRY = "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"


def plant_victim(c, windows_path, text="system file, not to be touched\r\n"):
    victim = c.c_path(windows_path)
    victim.parent.mkdir(parents=True, exist_ok=True)
    victim.write_text(text)
    return victim


def hard_link(c, windows_path, victim):
    link = c.c_path(windows_path)
    link.parent.mkdir(parents=True, exist_ok=True)
    link.unlink(missing_ok=True)
    os.link(victim, link)


def wait_for(path, seconds=15):
    deadline = time.time() + seconds
    while time.time() < deadline and not path.exists():
        time.sleep(0.3)
    return path.exists()


def reg_default(c, key):
    for _, line in reg_export(c, key):
        if line.startswith('@="'):
            return line[3:-1].replace('\\"', '"').replace("\\\\", "\\")
    return None


def data_file_of(c, key):
    command = reg_string(c, ENTRY + key, "UninstallString")
    expect(command and command.endswith('"'), f"no usable uninstall command: {command!r}")
    return command[command.rindex('"', 0, -1) + 1:-1]


@case("trust: the install writes no log through a planted link, starts nothing it did not install "
      "and quotes every command", version="winxp", timeout=150)
def install_trusts_nothing_planted(c):
    folder = "C:\\Program Files\\Qvs Trust"
    c.lay_out({"autoin.dat": "", "app.exe": WINPROG.read_bytes(), "winexit.exe": WINPROG.read_bytes(),
               "setup.ini": """
        \\Qvs Trust
        Qvs Trust
        Qvs Trust 1.0
        :INSTALL
        app.exe
        winexit.exe
        :
        :RUNFILE
        app.exe
        :reg
        HKEY_CLASSES_ROOT
        .qvt
        
        QvsTrust.Document
        HKEY_CLASSES_ROOT
        QvsTrust.Document\\shell\\open\\command
        
        p
        HKEY_CLASSES_ROOT
        QvsTrust.Document\\shell\\print\\command
        
        <EXEPARAMS1>
        :
        :REBOOT
        """})
    # The log's name is a hard link to a system file; the install folder exists already with a
    # library and a program someone put there; C:\\Program.exe waits for an unquoted command.
    victim = plant_victim(c, "C:\\windows\\system32\\qvvictim.dll")
    hard_link(c, "C:\\windows\\temp\\qvsetup_QvsTrust1.0.txt", victim)
    c.c_path(folder).mkdir(parents=True)
    shutil.copy(CRASH_DLL, c.c_path(folder + "\\_setup.dll"))
    shutil.copy(WINPROG, c.c_path(folder + "\\_setup.exe"))
    shutil.copy(WINPROG, c.c_path("C:\\Program.exe"))
    seen = c.start_watched(answer="OK,No", timeout=60000)
    expect(seen["ended"], "setup.exe did not end")
    expect_eq([b["box"]["text"] for b in seen["boxes"]], ["Installation must reboot your computer."], "boxes")
    # The restart program this run installed runs, as one quoted program with its switch.
    expect(wait_for(c.c_path(folder + "\\winexit.exe.log")), "the restart program did not run")
    expect("args=/rb" in c.c_path(folder + "\\winexit.exe.log").read_text(errors="replace"),
           "the restart program did not get /rb")
    expect_eq(victim.read_text(), "system file, not to be touched\n", "the file behind the planted link")
    log = c.c_path("C:\\windows\\temp\\qvsetup_QvsTrust1.0.txt").read_text(errors="replace")
    expect(log.startswith("Title: Qvs Trust 1.0"), f"the log was not written anew:\n{log[:300]}")
    for line in ("_setup.dll not installed by this run", "_setup.exe not installed by this run"):
        expect(line in log, f"the log lacks {line!r}:\n{log}")
    expect("loading _setup.dll" not in log, "the planted library was loaded")
    expect(not c.c_path(folder + "\\_setup.exe.log").exists(), "the planted _setup.exe was started")
    # The document commands name the program in quotes; opening a document starts it, not C:\\Program.exe.
    expect_eq(reg_default(c, "HKEY_CLASSES_ROOT\\QvsTrust.Document\\shell\\open\\command"),
              f'"{folder}\\app.exe" %1', "open command")
    expect_eq(reg_default(c, "HKEY_CLASSES_ROOT\\QvsTrust.Document\\shell\\print\\command"),
              f'"{folder}\\app.exe" "%1"', "print command")
    c.c_path("C:\\letter.qvt").write_text("a document")
    c.wine.run(["cmd", "/c", "start", "", "C:\\letter.qvt"])
    expect(wait_for(c.c_path(folder + "\\app.exe.log")), "opening a document did not start the program")
    expect(not c.c_path("C:\\Program.exe.log").exists(), "C:\\Program.exe was started")


def install_with_uninstaller(c, name, files):
    """Installs the files into C:\\Program Files\\<name> with uninst.exe and
    an uninstall entry of that name; answers the install folder and the data
    file the entry's command names."""
    entries = "".join(f"        {f}\n" for f in files)
    c.lay_out({"autoin.dat": "", **files, "setup.ini": f"""
        \\{name}
        {name}
        {name} 1.0
        :INSTALL
{entries}        :
        :WIN
        uninst.exe
        :
        :UNINSTALL
        {name}
        {name} 1.0
        uninst.exe
        r
        """})
    seen = c.start_watched(answer="OK", timeout=60000)
    expect(seen["ended"], "setup.exe did not end")
    folder = "C:\\Program Files\\" + name
    expect(all(c.c_path(folder + "\\" + f).exists() for f in files), "the program was not installed")
    return folder, data_file_of(c, name)


@case("trust: the removal deletes nothing through an install folder swapped for a link "
      "and writes no log through a planted link", version="winxp", timeout=150)
def removal_follows_no_link(c):
    folder, data = install_with_uninstaller(c, "Qvs Link", {"a.dll": "installed a\r\n", "b.dat": "installed b\r\n"})
    # Where users may write the install folder's parent (a folder in a drive's root), one swaps
    # the install folder for a link to a system folder holding files of the same names (and the
    # data file, which the removal then reads through the link).
    victims = c.c_path("C:\\windows\\system32\\qvlinked")
    victims.mkdir(parents=True)
    for name in ("a.dll", "b.dat"):
        (victims / name).write_text("system file\n")
    shutil.copy(c.c_path(folder + "\\unin.ini"), victims / "unin.ini")
    shutil.rmtree(c.c_path(folder))
    c.c_path(folder).symlink_to(victims)
    victim = plant_victim(c, "C:\\windows\\system32\\qvvictim.dll")
    hard_link(c, "C:\\windows\\temp\\qvuninst_QvsLink1.0.txt", victim)
    seen = c.start_watched(exe="C:\\windows\\uninst.exe", args=[data, "/S"], timeout=60000)
    expect(seen["ended"], "uninst.exe did not end")
    for name in ("a.dll", "b.dat"):
        expect((victims / name).exists(), f"{name} was deleted through the link")
    expect_eq(victim.read_text(), "system file, not to be touched\n", "the file behind the planted link")
    log = c.c_path("C:\\windows\\temp\\qvuninst_QvsLink1.0.txt").read_text(errors="replace")
    expect(f"Kept, a link is on the way: {folder}\\a.dll" in log, f"the removal log:\n{log}")


@case("trust: an uninstall data file edited after the install removes nothing", version="winxp", timeout=120)
def edited_data_file(c):
    folder, data = install_with_uninstaller(c, "Qvs Edit", {"a.txt": "a\r\n"})
    font = plant_victim(c, "C:\\windows\\Fonts\\qvfont.ttf", "a font\r\n")
    # The data file lies in a folder users may write: rewritten to name the Fonts folder.
    c.c_path(data).write_bytes(b"Qvs Edit 1.0\r\nC:\\windows\\Fonts\r\nC:\\windows\\Fonts\\qvfont.ttf\r\n\r\n")
    seen = c.start_watched(exe="C:\\windows\\uninst.exe", args=[data], answer="OK", timeout=60000)
    expect(seen["ended"], "uninst.exe did not end")
    expect_eq([b["box"]["text"] for b in seen["boxes"]],
              [f"The uninstall data file {data} is not the one the installation recorded, or it was "
               "changed since. Nothing was removed."], "boxes")
    expect_eq(c.program.wait(10), 1, "exit code (refused)")
    expect(font.exists(), "the font was removed")
    expect(c.c_path(folder + "\\a.txt").exists(), "the program's own file was removed")
