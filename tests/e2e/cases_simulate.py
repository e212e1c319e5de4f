"""The dry run against the real thing: the demo folder installed by setup.exe
under Wine in automatic mode, compared with what `setupcheck --simulate`
says the same installation leaves on the in-memory Windows of that version.

Compared: the installed files with their sizes, the shortcuts (names, target,
working folder, arguments, description, icon), the registry values with
their types and data, the boxes shown, and the exit code. Left out, because Wine and the in-memory Windows differ there by
design: where each keeps its Windows and Start Menu folders (paths are
compared below those folders and letter case is ignored), the uninstall data
file's and the log's content (they hold those paths; the uninstall data is
compared by its number of lines), the size of the .lnk files (the shell's own
format; the in-memory Windows keeps only the fields), letter case in paths
and registry data, and whatever Wine itself keeps in its registry."""

import json
import os
import re
import struct
import subprocess

from harness import ROOT, case, expect, expect_eq

SETUPCHECK = ROOT / "build" / "native" / "tools" / "setupcheck" / "setupcheck"
DEMO = ROOT / "examples" / "demo"
INSTALL_DIR = "C:\\Program Files\\Quillpad"
QUESTION = "would you like to run"
# 1 June 1975, noon UTC: a date that has no MS-DOS form.
DATED_1975 = 170337600


def simulate(version, folder=DEMO, answers=(QUESTION + "=No",)):
    args = [str(SETUPCHECK), "--simulate", version]
    for a in answers:
        args += ["--answer", a]
    out = subprocess.run(args + ["--json", str(folder)], capture_output=True, check=True, timeout=120)
    return json.loads(out.stdout.decode("latin-1"))


def write_folder(folder, files, dated):
    """A setup folder on the host: name to bytes, the names in `dated` given the 1975 date."""
    folder.mkdir(parents=True, exist_ok=True)
    for name, content in files.items():
        (folder / name).write_bytes(content)
        if name in dated:
            os.utime(folder / name, (DATED_1975, DATED_1975))


def prefix_path(c, windows_path):
    """The Linux path of a path on the prefix's drive C:, each part matched
    in any letter case as Windows would match it."""
    path = c.wine.drive_c
    for part in windows_path[3:].split("\\"):
        if not part:
            continue
        match = [p for p in path.iterdir() if p.name.lower() == part.lower()] if path.is_dir() else []
        path = match[0] if match else path / part
    return path


def provide_accessories(c, simulated, install_dir):
    """Wine is not a fresh Windows 98 or XP: the accessories that the dry
    run's shortcuts found where that Windows keeps them, and that Wine lacks
    there, are put in those places before the real run."""
    for s in simulated["shortcuts"]:
        target = s["target"]
        if target.lower().startswith(install_dir.lower() + "\\"):
            continue
        path = prefix_path(c, target)
        if not path.exists():
            path.parent.mkdir(parents=True, exist_ok=True)
            path.write_bytes(b"MZ")
            c.note(f"accessory {target} provided")


def link_fields(data):
    """The fields of a .lnk file (the shell's link format): the target from
    its link information, then the strings that follow; None when the file
    carries no link information."""
    flags = struct.unpack_from("<I", data, 0x14)[0]
    fields = {"icon_index": struct.unpack_from("<i", data, 0x38)[0]}
    pos = 0x4C
    if flags & 0x1:  # the item-ID list
        pos += 2 + struct.unpack_from("<H", data, pos)[0]
    if not flags & 0x2:
        return None
    size = struct.unpack_from("<I", data, pos)[0]
    info = data[pos:pos + size]
    base = struct.unpack_from("<I", info, 16)[0]
    fields["target"] = info[base:info.index(b"\0", base)].decode("latin-1")
    pos += size
    for bit, name in ((0x4, "description"), (0x8, None), (0x10, "working_folder"), (0x20, "arguments"),
                      (0x40, "icon_file")):
        if flags & bit:
            count = struct.unpack_from("<H", data, pos)[0]
            pos += 2
            width = 2 if flags & 0x80 else 1
            text = data[pos:pos + count * width].decode("utf-16-le" if width == 2 else "latin-1")
            pos += count * width
            if name:
                fields[name] = text.rstrip("\0")
    return fields


def reg_value(c, key, name):
    """(type, data) of a value in the case's prefix, as reg.exe shows it; None when missing."""
    out = c.workdir / "reg-query.txt"
    with open(out, "wb") as f:
        args = ["wine", "reg", "query", key] + (["/v", name] if name else ["/ve"])
        subprocess.run(args, env=c.wine.env, stdout=f, stderr=subprocess.DEVNULL, timeout=60,
                       cwd=c.wine.drive_c)
    for line in out.read_text(errors="replace").splitlines():
        m = re.match(r"\s+(.*?)\s{4}(REG_\w+)\s{4}?(.*)$", line)
        if m and (m.group(1).lower() == name.lower() or (not name and m.group(1) == "(Default)")):
            data = m.group(3)
            if m.group(2) == "REG_DWORD":
                data = str(int(data, 16))
            return m.group(2), data
    return None


def compare(c, version, folder=DEMO, install_dir=INSTALL_DIR, menu="Quillpad", dated=(), wine_answer="No,OK"):
    """Installs the folder under Wine and compares with the dry run; an
    install_dir or menu of None is taken from the dry run."""
    files = {str(p.relative_to(folder)): p.read_bytes() for p in folder.rglob("*") if p.is_file()}
    simulated = simulate(version, folder)
    if install_dir is None:
        install_dir = next(line[len("Destination: "):] for line in simulated["log"]["lines"]
                           if line.startswith("Destination: "))
    if menu is None:  # the Start Menu folder, as the run wrote it down
        folders = [v["data"] for v in simulated["registry"] if v["name"] == "smpath"]
        folders += [s["file"].rsplit("\\", 1)[0] for s in simulated["shortcuts"]]
        menu = folders[0].rsplit("\\", 1)[1] if folders else "-"
    provide_accessories(c, simulated, install_dir)
    c.lay_out(files | {"autoin.dat": b""})
    for name in dated:
        os.utime(c.setup_dir / name, (DATED_1975, DATED_1975))
    seen = c.start_watched(answer=wine_answer, timeout=60000)
    expect(seen["ended"], "setup.exe did not end by itself")
    c.expect_ended(10)
    expect_installed_as_simulated(c, simulated, [b["box"]["text"] for b in seen["boxes"]], c.program.returncode,
                                  install_dir, menu)
    return simulated


def expect_installed_as_simulated(c, simulated, boxes, returncode, install_dir=INSTALL_DIR, menu="Quillpad"):
    """What an installation (of the demo, unless told otherwise) left in the
    case's prefix, against the dry run's account of it."""
    expect_eq(boxes, [b["text"] for b in simulated["boxes"]], "boxes shown")
    # Wine hands Linux only the low byte of the exit code (3010 and 1602 do not fit).
    expect_eq(returncode, simulated["exit"] & 0xFF, "exit code (its low byte)")

    # Files of the install folder, by name and size.
    prefix = install_dir.lower() + "\\"
    want = {f["path"][len(prefix):].lower(): f["size"] for f in simulated["files"]
            if f["path"].lower().startswith(prefix)}
    dest = c.c_path(install_dir)
    have = {p.name.lower(): p.stat().st_size for p in dest.iterdir() if p.is_file()}
    if simulated["uninstall_data"]["file"]:
        # The uninstall data holds the Start Menu paths: its size differs, its lines count the same.
        data_file = simulated["uninstall_data"]["file"].rsplit("\\", 1)[1].lower()
        expect(data_file in have, "no uninstall data file under Wine")
        expect_eq(len((dest / data_file).read_bytes().split(b"\r\n")) - 1,
                  len(simulated["uninstall_data"]["lines"]), "lines of the uninstall data")
        have[data_file] = want.get(data_file)
    expect_eq(have, want, "installed files and sizes")

    # Shortcuts: the names in the Start Menu folder, each naming its target.
    links = {p.name.lower(): p.read_bytes() for p in c.wine.drive_c.glob(f"users/*/**/Programs/{menu}/*.lnk")}
    expect_eq(sorted(links), sorted(s["file"].rsplit("\\", 1)[1].lower() for s in simulated["shortcuts"]), "shortcuts")
    for s in simulated["shortcuts"]:
        name = s["file"].rsplit("\\", 1)[1].lower()
        got = link_fields(links[name])
        expect(got is not None, f"shortcut {name} carries no link information")
        for field in ("target", "working_folder", "arguments", "description", "icon_file", "icon_index"):
            mine, theirs = s[field], got.get(field, "")
            if isinstance(mine, str):
                mine, theirs = mine.lower(), theirs.lower()
            expect_eq(theirs, mine, f"shortcut {name}: {field}")

    # Registry values: type and data; paths below the Windows and Start Menu folders by their tail.
    for v in simulated["registry"]:
        got = reg_value(c, v["key"], v["name"])
        expect(got is not None, f"{v['key']}\\{v['name']} was not written under Wine")
        data = v["data"]
        if v["name"] == "smpath":
            expect(got[1].lower().endswith(f"\\programs\\{menu.lower()}"), f"smpath: {got[1]!r}")
            continue
        if v["name"] == "UninstallDataDigest":
            continue  # the digest of a data file that names this machine's folders
        if v["name"] == "UninstallString":
            data = re.sub(r'^"C:\\WINDOWS', r'"C:\\windows', data)
        expect_eq((got[0], got[1].lower()), (v["type"], data.lower()), f"{v['key']}\\{v['name']}")


@case("dry run: the demo on win98 leaves what setupcheck --simulate WIN_98 says", version="win98", timeout=150)
def simulate_win98(c):
    compare(c, "WIN_98")


@case("dry run: the demo on winxp leaves what setupcheck --simulate WIN_XP says", version="winxp", timeout=150)
def simulate_winxp(c):
    compare(c, "WIN_XP")


# A list in code page 1252 with a non-ASCII file name, shortcuts to it, to a
# file dated 1975 (copied, but Setup's file test counts it as absent: no
# link) and to accessories that each Windows keeps in its own place.
MIXED = {
    "setup.ini": ("\\Mixed\r\nMixed\r\nMixed 1.0\r\n:INSTALL\r\ncaf\xe9.txt\r\nold.txt\r\n:\r\n"
                  ":SHORTCUTS\r\nCaf\xe9\r\ncaf\xe9.txt\r\nOld\r\nold.txt\r\nPrompt\r\ncmd.exe\r\n"
                  "Notes\r\nnotepad.exe\r\nWordPad\r\nwordpad.exe\r\nPaint\r\nmspaint.exe\r\n:\r\n").encode("latin-1"),
    "café.txt": b"caf\xe9 au lait\r\n",
    "old.txt": b"stamped by a build system\r\n",
}


def compare_mixed(c, version):
    folder = c.workdir / "mixed"
    write_folder(folder, MIXED, ("old.txt",))
    simulated = compare(c, version, folder, "C:\\Program Files\\Mixed", "Mixed", ("old.txt",), "OK")
    names = sorted(s["file"].rsplit("\\", 1)[1] for s in simulated["shortcuts"])
    expect_eq(names, sorted(["Caf\xe9.lnk", "Prompt.lnk", "Notes.lnk", "WordPad.lnk", "Paint.lnk"]),
              "shortcuts of the dry run")


@case("dry run: a non-ASCII name, accessories and a file dated 1975 on win98 as setupcheck --simulate says", version="win98", timeout=150)
def simulate_mixed_win98(c):
    compare_mixed(c, "WIN_98")


@case("dry run: a non-ASCII name, accessories and a file dated 1975 on winxp as setupcheck --simulate says", version="winxp", timeout=150)
def simulate_mixed_winxp(c):
    compare_mixed(c, "WIN_XP")


@case("dry run: setupcheck --simulate ends on a package with a part missing, where setup.exe asks again and again", version="winxp",
      timeout=150)
def simulate_missing_part(c):
    # The first part holds only the package's end record (a package of 122 bytes); the second is
    # asked for next.
    end_record = b"PK\x05\x06" + bytes(8) + (0).to_bytes(4, "little") + (100).to_bytes(4, "little") + bytes(2)
    files = {"setup.lst": b":PACKAGE\r\npkg.p01\r\npkg.p02\r\n:\r\n", "pkg.p01": end_record}
    folder = c.workdir / "package"
    write_folder(folder, files, ())
    (folder / "UNZDLL.DLL").write_bytes((ROOT / "dist" / "UNZDLL.DLL").read_bytes())
    simulated = simulate("WIN_XP", folder, ())
    prompt = "Please insert setup disk number 2"
    expect(simulated["loop"] is not None and prompt in simulated["loop"], f"no loop reported: {simulated['loop']!r}")
    expect_eq([b["text"] for b in simulated["boxes"]][:3], [prompt] * 3, "boxes of the dry run")
    # The real one, answered OK, asks the same again and again.
    c.lay_out(files | {"UNZDLL.DLL": (ROOT / "dist" / "UNZDLL.DLL").read_bytes()})
    seen = c.start_watched(answer="OK", timeout=8000)
    asked = [b["box"]["text"] for b in seen["boxes"]]
    expect(len(asked) >= 3 and set(asked) == {prompt}, f"setup.exe asked {asked!r}")
    expect(not seen["ended"], "setup.exe ended by itself")


def guide_examples():
    """The examples of the publisher's guide as setup folders (name to files),
    read from its markup as tests/setupcheck/GuideExamplesTest.cpp reads it:
    <!-- example: NAME [file: FILE] [files: FILE...] [run] --> before a block."""
    examples = {}
    lines = (ROOT / "docs" / "publishing.md").read_text(encoding="utf-8").splitlines()
    i = 0
    while i < len(lines):
        m = re.match(r"<!-- example: (\S+)(.*?)-->", lines[i])
        i += 1
        if not m:
            continue
        name, words = m.group(1), m.group(2).split()
        e = examples.setdefault(name, {"files": {}, "scripts": []})
        key, file, run = None, None, False
        for w in words:
            if w in ("file:", "files:"):
                key = w
            elif w == "run":
                run, key = True, None
            elif key == "file:":
                file = w
            elif key == "files:":
                e["files"].setdefault(w, f"MZ placeholder of {w}\n".encode())
        if not run and not file:
            continue
        while not lines[i].startswith("```"):
            i += 1
        j = i + 1
        while not lines[j].startswith("```"):
            j += 1
        block = "".join(line + "\n" for line in lines[i + 1:j])
        i = j + 1
        if run:
            e["scripts"].append(block)
        else:
            e["files"][file] = block.encode("latin-1")
    return examples


def install_guide_example(c, name):
    example = guide_examples()[name]
    folder = c.workdir / "example"
    folder.mkdir(parents=True, exist_ok=True)
    for file, content in example["files"].items():
        (folder / file).parent.mkdir(parents=True, exist_ok=True)
        (folder / file).write_bytes(content)
    for script in example["scripts"]:
        subprocess.run(["sh", "-c", script], cwd=folder, check=True, timeout=60)
    if (folder / "UNZDLL.DLL").exists():  # the real engine, for the real run
        (folder / "UNZDLL.DLL").write_bytes((ROOT / "dist" / "UNZDLL.DLL").read_bytes())
    if (folder / "msvcrt.dll").exists():  # a real C runtime library, as the guide tells to ship it
        (folder / "msvcrt.dll").write_bytes(prefix_path(c, "C:\\windows\\system32\\msvcrt.dll").read_bytes())
    simulated = compare(c, "WIN_XP", folder, None, None, (), "No,OK")
    expect(not any("aching failed" in line for line in simulated["log"]["lines"]), "the dry run's log has Caching failed")
    logs = list((prefix_path(c, "C:\\windows\\temp")).glob("qvsetup_*.txt"))
    expect(len(logs) == 1, f"install logs under Wine: {logs}")
    real = logs[0].read_bytes().decode("latin-1")
    expect("Caching failed" not in real.replace("Caching Failed", "Caching failed"), f"Wine's log: {real}")
    expect_eq(sum(line.startswith("Copy: ") for line in real.splitlines()),
              sum(line.startswith("Copy: ") for line in simulated["log"]["lines"]), "files copied")


for _example in ("smallest", "start-up", "files", "registry", "shortcuts", "package", "complete", "oldest"):
    case(f"guide: the example '{_example}' installs under Wine as setupcheck --simulate says", version="winxp",
         timeout=120)(lambda c, name=_example: install_guide_example(c, name))


@case("setupcheck.exe under Wine answers as the Linux build does", version=None, timeout=120)
def windows_build_agrees(c):
    exe = ROOT / "dist" / "setupcheck.exe"
    expect(exe.exists(), f"{exe} is missing; build first")
    c.lay_out({p.name: p.read_bytes() for p in DEMO.iterdir() if p.is_file()}
              | {"setup.ini": (DEMO / "setup.ini").read_bytes().replace(b"HKEY_CURRENT_USER", b"HKEY_CURENT_USER")},
              setup_exe=False)
    for args in (["--simulate", "WIN_98", "--json"], []):
        native = subprocess.run([str(SETUPCHECK)] + args + [str(c.setup_dir)], capture_output=True, timeout=120)
        out = c.workdir / "setupcheck-output.txt"
        with open(out, "wb") as f:
            rc = subprocess.run(["wine", str(exe)] + args + ["C:\\setup"], env=c.wine.env, stdout=f,
                                stderr=subprocess.DEVNULL, timeout=120, cwd=c.wine.drive_c).returncode
        expect_eq(rc, native.returncode, f"exit code of setupcheck.exe {' '.join(args)}")
        expect_eq(out.read_bytes().replace(b"\r\n", b"\n"), native.stdout, f"output of setupcheck.exe {' '.join(args)}")
    expect(b"HKEY_CURENT_USER" in native.stdout, "the misspelt root was not reported")
