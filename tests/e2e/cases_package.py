"""Package mode: setup.exe beside a package list, the parts of a zip package
made by Python's zipfile, and the real unzip engine; automatic mode runs it
through to the end."""

import io
import textwrap
import zipfile

from harness import ROOT, case, expect, expect_eq

ENGINE = ROOT / "dist" / "UNZDLL.DLL"

SETUP_INI = textwrap.dedent("""\
    \\Packed Demo
    Packed Demo
    Packed Demo 3.0
    :INSTALL
    packed.txt
    readme.txt
    :
    """)


def package_parts(files, count):
    """A zip archive of the files, cut into count parts; the list names the
    part with the archive's end first, since the parts are joined last first."""
    data = io.BytesIO()
    with zipfile.ZipFile(data, "w", zipfile.ZIP_DEFLATED) as z:
        for name, text in files.items():
            z.writestr(name, text.replace("\n", "\r\n"))
    whole = data.getvalue()
    size = -(-len(whole) // count)
    pieces = [whole[i * size:(i + 1) * size] for i in range(count)]
    return list(reversed(pieces))


@case("package: three disks joined, extracted by the engine, installed", timeout=120)
def package_installs(c):
    parts = package_parts({"setup.ini": SETUP_INI, "packed.txt": "from the package\n" * 200,
                           "readme.txt": "packaged readme\n"}, 3)
    files = {f"demo.p0{i + 1}": part for i, part in enumerate(parts)}
    files["setup.lst"] = ":EXTRA\nreadme.txt\n:\n:PACKAGE\ndemo.p01\ndemo.p02\ndemo.p03\n:\n"
    files["readme.txt"] = "loose readme\n"
    files["autoin.dat"] = ""
    files["UNZDLL.DLL"] = ENGINE.read_bytes()
    c.lay_out(files)
    seen = c.start_watched(answer="OK", timeout=60000)
    expect(seen["ended"], "setup.exe did not end by itself")
    expect_eq([b["box"]["text"] for b in seen["boxes"]], ["Installation is complete"], "boxes shown")
    extracting = [e for e in seen["events"] if e["window"]["text"] == "Extracting Setup Files"]
    expect(extracting, "the extraction window was never seen")
    dest = c.c_path("C:\\Program Files\\Packed Demo")
    expect_eq((dest / "packed.txt").read_bytes(), b"from the package\r\n" * 200, "installed packed.txt")
    expect_eq((dest / "readme.txt").read_bytes(), b"loose readme\r\n", "the loose extra file wins")
    temp = c.c_path("C:\\windows\\temp")
    expect(not list(temp.glob("QVINST*")), "the temporary installation folder was left behind")
    c.expect_ended(10)
