"""Double-byte code pages: Wine run in a Japanese (932), Traditional Chinese
(950) and Korean (949) locale, with names whose second bytes read as "\\",
"|" or letters. The lists are written in the code page; every check looks at
the names Wine wrote on the Unix side (UTF-8), so a file that landed under a
cut or garbled name fails the case."""

import io
import json
import subprocess
import zipfile

from cases_simulate import SETUPCHECK
from cases_uninstall import expect_as_before, reg_string, snapshot, split_command
from harness import ROOT, case, expect, expect_eq

ENGINE = ROOT / "dist" / "UNZDLL.DLL"
UNINSTALL = "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"


def encoded(text, codepage):
    """A list's text in the code page, lines ended with CR LF."""
    return text.replace("\n", "\r\n").encode(codepage)


def installed(c, folder, names):
    """Checks the files are in the install folder under their Unix names, and
    that the folder holds nothing else."""
    dest = c.c_path(folder)
    expect(dest.is_dir(), f"no install folder {dest}")
    found = sorted(p.name for p in dest.iterdir())
    expect_eq(found, sorted(names), f"files in {dest}")


def new_entries(before, after):
    return sorted(after - before)


def program_files(c):
    return {p.name for p in c.c_path("C:\\Program Files").iterdir()}


def programs_menu(c):
    menus = list(c.wine.drive_c.glob("users/*/**/Start Menu/Programs"))
    expect(menus, "no Start Menu Programs folder in the prefix")
    return menus[0]


def install(c, codepage, files, answer="OK"):
    """Lays out the setup folder (names and the list in the code page) and
    runs setup.exe in automatic mode to its end."""
    layout = {name: data if isinstance(data, bytes) else encoded(data, codepage) for name, data in files.items()}
    layout["autoin.dat"] = b""
    c.lay_out(layout)
    seen = c.start_watched(answer=answer, timeout=60000)
    expect(seen["ended"], "setup.exe did not end by itself")
    expect_eq([b["box"]["text"] for b in seen["boxes"]], ["Installation is complete"], "boxes shown")
    return seen


JAPANESE_LIST = """\\成績表
成績表
成績表 1.0
:INSTALL
ソフト.txt
レポート.txt
十能.dl_
表示.ex_
:
:WIN
uninst.exe
:
:SHORTCUTS
レポート
レポート.txt
十能
表示.exe
:
:reg
HKEY_CURRENT_USER
Software\\成績表\\十能
Path
<RUN>
:
:UNINSTALL
成績表
成績表 1.0
uninst.exe
r
"""


@case("codepage: Japanese names ending in 0x5C installed and removed", timeout=150, locale="ja_JP.UTF-8")
def japanese_round_trip(c):
    files = {"setup.ini": JAPANESE_LIST, "ソフト.txt": b"soft", "レポート.txt": b"report",
             "十能.dl_": b"library", "表示.ex_": b"program"}
    c.lay_out({})
    before = snapshot(c)
    folders_before, menu_before = program_files(c), {p.name for p in programs_menu(c).iterdir()}
    install(c, "cp932", files)
    # The folder and group under their whole names, and nothing cut at a second byte beside them.
    expect_eq(new_entries(folders_before, program_files(c)), ["成績表"], "new folders in Program Files")
    installed(c, "C:\\Program Files\\成績表", ["ソフト.txt", "レポート.txt", "十能.dll", "表示.exe", "unin.ini"])
    expect_eq((c.c_path("C:\\Program Files\\成績表") / "レポート.txt").read_bytes(), b"report", "レポート.txt")
    menu = programs_menu(c)
    expect_eq(new_entries(menu_before, {p.name for p in menu.iterdir()}), ["成績表"], "new Start Menu entries")
    expect_eq(sorted(p.name for p in (menu / "成績表").iterdir()), ["レポート.lnk", "十能.lnk"], "shortcuts")
    expect(c.c_path("C:\\windows\\temp\\qvsetup_成績表1.0.txt").exists(), "the install log is not under its name")
    expect_eq(reg_string(c, "HKEY_CURRENT_USER\\Software\\成績表\\十能", "Path"), "C:\\Program Files\\成績表",
              "registry value under the Japanese key")
    # The checker's dry run in the same code page names the same files.
    out = subprocess.run([str(SETUPCHECK), "--simulate", "WIN_XP", "--codepage", "932", "--json", str(c.setup_dir)],
                         capture_output=True, check=True, timeout=120)
    simulated = [f["path"].encode("latin-1").decode("cp932", "replace") for f in json.loads(out.stdout.decode("latin-1"))["files"]]
    expect_eq(sorted(p for p in simulated if p.startswith("C:\\Program Files\\")),
              sorted("C:\\Program Files\\成績表\\" + n for n in ("ソフト.txt", "レポート.txt", "十能.dll", "表示.exe", "unin.ini")),
              "files of setupcheck --codepage 932 --simulate WIN_XP")

    exe, data = split_command(reg_string(c, UNINSTALL + "成績表", "UninstallString"))
    expect_eq(data, "C:\\Program Files\\成績表\\unin.ini", "data file in the command")
    seen = c.start_watched(exe=exe, args=[data], answer="Yes,OK", timeout=60000)
    expect(seen["ended"], "uninst.exe did not end")
    expect_eq(len(seen["boxes"]), 2, "boxes of the removal (the question and the report)")
    expect(seen["boxes"][1]["box"]["text"].endswith(" was removed."),
           f"the removal reported {seen['boxes'][1]['box']['text']!r}")
    expect_as_before(c, before)


def shift_jis_package(files):
    """A zip package whose entry names are stored in Shift-JIS, without the
    UTF-8 flag, as a Japanese archiver writes them."""
    class ShiftJisName(zipfile.ZipInfo):
        def _encodeFilenameFlags(self):
            return self.filename.encode("cp932"), self.flag_bits
    data = io.BytesIO()
    with zipfile.ZipFile(data, "w", zipfile.ZIP_DEFLATED) as z:
        for name, content in files.items():
            info = ShiftJisName(name, date_time=(2020, 1, 2, 3, 4, 6))
            info.compress_type = zipfile.ZIP_DEFLATED
            z.writestr(info, content)
    return data.getvalue()


@case("codepage: a package with Shift-JIS entry names", timeout=120, locale="ja_JP.UTF-8")
def japanese_package(c):
    listing = encoded("\\能力表\n能力表\n能力表 2.0\n:INSTALL\nソフト.txt\nレポート.txt\n成績表\n:\n", "cp932")
    package = shift_jis_package({"setup.ini": listing, "ソフト.txt": b"soft", "レポート.txt": b"report",
                                 "成績表": b"a file whose name ends in 0x5C"})
    folders_before = program_files(c)
    install(c, "cp932", {"setup.lst": ":PACKAGE\npkg.p01\n:\n", "pkg.p01": package, "UNZDLL.DLL": ENGINE.read_bytes()})
    expect_eq(new_entries(folders_before, program_files(c)), ["能力表"], "new folders in Program Files")
    installed(c, "C:\\Program Files\\能力表", ["ソフト.txt", "レポート.txt", "成績表"])
    expect_eq((c.c_path("C:\\Program Files\\能力表") / "成績表").read_bytes(), b"a file whose name ends in 0x5C",
              "成績表")
    expect(not list(c.c_path("C:\\windows\\temp").glob("QVINST*")), "the temporary installation folder was left")


def plain_install(c, codepage, folder, names):
    """An install into the folder and Start Menu group of that name with a
    shortcut to the first file, then a second one over it with new contents,
    which must also find and delete the cached copy an earlier install left
    of the first file (found through a listing of the install folder, whose
    name must reach Windows as it is): the files under their Unix names, the
    group, the log."""
    listing = "\n".join([f"\\{folder}", folder, f"{folder} 1.0", ":INSTALL", *names, ":",
                         ":SHORTCUTS", names[0].split(".")[0], names[0], ":", ""])
    folders_before = program_files(c)
    for version in (b"1:", b"2:"):
        if version == b"2:":
            (c.c_path(f"C:\\Program Files\\{folder}") / (names[0].split(".")[0] + ".MCC")).write_bytes(b"stale")
        files = {"setup.ini": listing}
        files.update({name: version + name.encode(codepage) for name in names})
        install(c, codepage, files)
        expect_eq(new_entries(folders_before, program_files(c)), [folder], "new folders in Program Files")
        installed(c, f"C:\\Program Files\\{folder}", names)
        for name in names:
            expect_eq((c.c_path(f"C:\\Program Files\\{folder}") / name).read_bytes(),
                      version + name.encode(codepage), name)
    expect_eq(sorted(p.name for p in (programs_menu(c) / folder).iterdir()), [names[0].split(".")[0] + ".lnk"],
              "shortcuts")
    expect(c.c_path(f"C:\\windows\\temp\\qvsetup_{folder}1.0.txt").exists(), "the install log is not under its name")


@case("codepage: Traditional Chinese (950) names with 0x5C second bytes", timeout=120, locale="zh_TW.UTF-8")
def chinese_install(c):
    # 許 B3 5C, 功 A5 5C, 蓋 BB 5C: each ends in a byte that reads as a backslash.
    plain_install(c, "cp950", "許功蓋", ["功能說明.txt", "軟體許.txt"])


@case("codepage: Korean (949) names with letters as second bytes", timeout=120, locale="ko_KR.UTF-8")
def korean_install(c):
    # 똠 8C 63 ("c"), 햏 C1 64 ("d"), 쌰 9B 58 ("X"): upper case byte by byte would name other characters.
    plain_install(c, "cp949", "똠방각하", ["햏.txt", "쌰똠.txt"])
