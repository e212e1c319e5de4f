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
import re
import struct
import subprocess

from harness import ROOT, case, expect, expect_eq

SETUPCHECK = ROOT / "build" / "native" / "tools" / "setupcheck" / "setupcheck"
DEMO = ROOT / "examples" / "demo"
INSTALL_DIR = "C:\\Program Files\\Quillpad"
QUESTION = "would you like to run"


def simulate(version):
    out = subprocess.run([str(SETUPCHECK), "--simulate", version, "--answer", QUESTION + "=No", "--json",
                          str(DEMO)], capture_output=True, check=True, timeout=120)
    return json.loads(out.stdout.decode("latin-1"))


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


def compare(c, version):
    simulated = simulate(version)
    c.lay_out({p.name: p.read_bytes() for p in DEMO.iterdir() if p.is_file()} | {"autoin.dat": b""})
    seen = c.start_watched(answer="No,OK", timeout=60000)
    expect(seen["ended"], "setup.exe did not end by itself")
    c.expect_ended(10)
    expect_installed_as_simulated(c, simulated, [b["box"]["text"] for b in seen["boxes"]], c.program.returncode)


def expect_installed_as_simulated(c, simulated, boxes, returncode):
    """What an installation of the demo left in the case's prefix, against
    the dry run's account of it."""
    expect_eq(boxes, [b["text"] for b in simulated["boxes"]], "boxes shown")
    # Wine hands Linux only the low byte of the exit code (3010 and 1602 do not fit).
    expect_eq(returncode, simulated["exit"] & 0xFF, "exit code (its low byte)")

    # Files of the install folder, by name and size.
    prefix = INSTALL_DIR.lower() + "\\"
    want = {f["path"][len(prefix):].lower(): f["size"] for f in simulated["files"]
            if f["path"].lower().startswith(prefix)}
    dest = c.c_path(INSTALL_DIR)
    have = {p.name.lower(): p.stat().st_size for p in dest.iterdir() if p.is_file()}
    # The uninstall data holds the Start Menu paths: its size differs, its lines count the same.
    data_file = simulated["uninstall_data"]["file"].rsplit("\\", 1)[1].lower()
    expect(data_file in have, "no uninstall data file under Wine")
    expect_eq(len((dest / data_file).read_bytes().split(b"\r\n")) - 1, len(simulated["uninstall_data"]["lines"]),
              "lines of the uninstall data")
    have[data_file] = want.get(data_file)
    expect_eq(have, want, "installed files and sizes")

    # Shortcuts: the names in the Start Menu folder, each naming its target.
    links = {p.name.lower(): p.read_bytes() for p in c.wine.drive_c.glob("users/*/**/Programs/Quillpad/*.lnk")}
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
            expect(got[1].lower().endswith("\\programs\\quillpad"), f"smpath: {got[1]!r}")
            continue
        if v["name"] == "UninstallString":
            data = re.sub(r"^C:\\WINDOWS", r"C:\\windows", data)
        expect_eq((got[0], got[1].lower()), (v["type"], data.lower()), f"{v['key']}\\{v['name']}")


@case("dry run: the demo on win98 leaves what setupcheck --simulate WIN_98 says", version="win98", timeout=150)
def simulate_win98(c):
    compare(c, "WIN_98")


@case("dry run: the demo on winxp leaves what setupcheck --simulate WIN_XP says", version="winxp", timeout=150)
def simulate_winxp(c):
    compare(c, "WIN_XP")


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
