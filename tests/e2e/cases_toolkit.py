"""The toolkit as a publisher meets it: installed into a prefix with cmake
--install, `setupcheck --new` starts a folder, `--pack --method lzma` makes
its disks, and they install under Wine as the dry run says; and the demo
packed with LZMA entries and the exhaustive search installs from its disks."""

import subprocess

from cases_pack import check_disks_install, install_from_disks, pack
from cases_simulate import expect_installed_as_simulated, simulate
from harness import ROOT, case, expect, expect_eq


def expect_lzma_entries(c, disks):
    """The parts joined as Setup joins them (the last-listed part first) make
    an archive that 7-Zip tests whole and that holds LZMA entries."""
    listing = (disks[0] / "setup.lst").read_text().splitlines()
    parts = listing[listing.index(":PACKAGE") + 1:]
    parts = parts[:parts.index(":")]
    where = {p.name: p for d in disks for p in d.iterdir()}
    whole = c.workdir / "whole.zip"
    whole.write_bytes(b"".join(where[p].read_bytes() for p in reversed(parts)))
    subprocess.run(["7z", "t", str(whole)], check=True, capture_output=True, timeout=60)
    listed = subprocess.run(["7z", "l", "-slt", str(whole)], check=True, capture_output=True, timeout=60).stdout
    expect(b"Method = LZMA" in listed, "no LZMA entry in the package")


@case("toolkit: cmake --install, setupcheck --new, then --pack --method lzma: the disks install on win98 as "
      "the dry run says", version="win98", timeout=240)
def new_folder_packed_and_installed(c):
    prefix = c.workdir / "prefix"
    subprocess.run(["cmake", "--install", str(ROOT / "build" / "native"), "--prefix", str(prefix)],
                   check=True, capture_output=True, timeout=120)
    tool = prefix / "bin" / "setupcheck"
    version = subprocess.run([str(tool), "--version"], capture_output=True, check=True, text=True).stdout
    expect(version.startswith("setupcheck "), f"--version said {version!r}")
    expect((prefix / "share" / "man" / "man1" / "setupcheck.1.gz").exists(), "no manual page in the prefix")
    # The Windows build of the tool, with the same search built in.
    windows = subprocess.run(["wine", str(prefix / "share" / "qvsetup" / "win32" / "setupcheck.exe"), "--version"],
                             env=c.wine.env, capture_output=True, timeout=60).stdout.decode().strip()
    expect_eq(windows, version.strip(), "setupcheck.exe --version under Wine")
    folder = c.workdir / "mysetup"
    subprocess.run([str(tool), "--new", str(folder)], check=True, capture_output=True, timeout=60)
    expect_eq((folder / "setup.exe").read_bytes(), (prefix / "share" / "qvsetup" / "win32" / "setup.exe").read_bytes(),
              "setup.exe copied from the prefix")
    (folder / "autoin.dat").write_bytes(b"")
    check = subprocess.run([str(tool), str(folder)], capture_output=True, timeout=120)
    expect_eq((check.returncode, check.stdout), (0, b""), "the checker on the new folder")
    simulated = simulate("WIN_98", folder)
    disks = pack(c, folder, "--method", "lzma")
    expect_lzma_entries(c, disks)
    boxes, asked = install_from_disks(c, disks)
    expect_eq((len(disks), asked), (1, []), "disks, and disks asked for")
    expect_installed_as_simulated(c, simulated, boxes, c.program.returncode,
                                  install_dir="C:\\Program Files\\My Program", menu="My Company")


@case("pack --method lzma --smallest: the demo on 1.44 MB disks installs through the disk prompts on win98 as "
      "the loose demo does", version="win98", timeout=300)
def lzma_disks_win98(c):
    expect_lzma_entries(c, check_disks_install(c, "WIN_98", "--method", "lzma", "--smallest"))


@case("pack --method lzma --smallest: the demo on 1.44 MB disks installs through the disk prompts on winxp as "
      "the loose demo does", version="winxp", timeout=300)
def lzma_disks_winxp(c):
    expect_lzma_entries(c, check_disks_install(c, "WIN_XP", "--method", "lzma", "--smallest"))
