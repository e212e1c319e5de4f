"""The machinery of the end-to-end cases: a Wine prefix per case, the UI
driver as a long-lived helper process, and the case context that lays out a
setup folder, starts setup.exe and checks what happened."""

import json
import os
import queue
import re
import shutil
import signal
import subprocess
import textwrap
import threading
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
SETUP_EXE = ROOT / "dist" / "setup.exe"
UNINST_EXE = ROOT / "dist" / "uninst.exe"
FIXTURES = ROOT / "build" / "fixtures"
DRIVER_EXE = FIXTURES / "uidriver.exe"
WORK = ROOT / "build" / "e2e"
# Locales compiled for the cases that run Wine in another ANSI code page.
LOCALES = ROOT / "build" / "locale"

# Where a case's setup folder lives inside its prefix, as Windows sees it.
SETUP_FOLDER = "C:\\setup"


class CaseFailure(Exception):
    """A check of a case did not hold; the message says which and why."""


def crlf(text):
    """An inline text block as a file's content: common indentation removed,
    a leading newline dropped, lines ended with CR LF."""
    body = textwrap.dedent(text)
    if body.startswith("\n"):
        body = body[1:]
    return body.replace("\r\n", "\n").replace("\n", "\r\n")


def expect(condition, message):
    if not condition:
        raise CaseFailure(message)


def expect_eq(actual, expected, what):
    if actual != expected:
        raise CaseFailure(f"{what}: expected {expected!r}, got {actual!r}")


class Screen:
    """A virtual X screen for every case: the one in DISPLAY when it answers,
    else an Xvfb of our own."""

    def __init__(self):
        self.proc = None

    @staticmethod
    def _alive():
        if not os.environ.get("DISPLAY"):
            return False
        return subprocess.run(["xdpyinfo"], stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL).returncode == 0

    def start(self):
        if self._alive():
            return
        for n in range(120, 160):
            if Path(f"/tmp/.X{n}-lock").exists():
                continue
            self.proc = subprocess.Popen(
                ["Xvfb", f":{n}", "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            os.environ["DISPLAY"] = f":{n}"
            for _ in range(50):
                if self._alive():
                    return
                time.sleep(0.1)
            self.stop()
        raise RuntimeError("could not start Xvfb")

    def stop(self):
        if self.proc:
            self.proc.terminate()
            self.proc.wait(timeout=10)
            self.proc = None


def compiled_locale(name):
    """The folder for LOCPATH that holds the locale (for example ja_JP.UTF-8),
    compiled there from Debian's locale sources the first time. Wine takes its
    ANSI code page from the locale, and makes file names outside ASCII only
    when the locale exists."""
    if not (LOCALES / name).is_dir():
        LOCALES.mkdir(parents=True, exist_ok=True)
        language, charmap = name.split(".", 1)
        subprocess.run(["localedef", "-i", language, "-f", charmap, str(LOCALES / name)],
                       check=True, capture_output=True, timeout=300)
    return LOCALES


class Wine:
    """One prefix cloned from the cached base and one wineserver for a case,
    in the locale given (its code page) or the caller's."""

    def __init__(self, prefix: Path, locale=None):
        self.prefix = prefix
        out = subprocess.run(
            ["bash", "-c",
             'source "$1/scripts/lib/wine.sh" && qv_wine_clone "$2" && '
             'printf "%s\\n%s\\n%s\\n" "$WINEDEBUG" "$WINEARCH" "$WINEDLLOVERRIDES"',
             "_", str(ROOT), str(prefix)],
            check=True, capture_output=True, text=True, timeout=600).stdout.splitlines()
        self.env = dict(os.environ, WINEPREFIX=str(prefix), WINEDEBUG=out[0],
                        WINEARCH=out[1], WINEDLLOVERRIDES=out[2])
        if locale:
            for name in ("LC_ALL", "LC_CTYPE", "LANGUAGE"):
                self.env.pop(name, None)
            # System texts stay English: only the code page changes.
            self.env.update(LANG=locale, LOCPATH=str(compiled_locale(locale)), LC_MESSAGES="C")
        self.procs = []
        # A persistent server keeps the registry (and the Windows version
        # set below) alive between the programs of the case.
        subprocess.run(["wineserver", "-p"], env=self.env, check=True, timeout=60)

    @property
    def drive_c(self) -> Path:
        return self.prefix / "drive_c"

    def run(self, args, timeout=60):
        """Runs a program to its end. Its output goes to a file, never to a
        pipe: the Wine services it starts would hold a pipe open."""
        log = self.prefix.parent / "wine-output.txt"
        with open(log, "ab") as out:
            return subprocess.run(["wine"] + list(args), env=self.env, stdout=out,
                                  stderr=out, stdin=subprocess.DEVNULL,
                                  timeout=timeout, cwd=self.drive_c).returncode

    def start(self, args, **kw):
        p = subprocess.Popen(["wine"] + list(args), env=self.env, cwd=self.drive_c,
                             start_new_session=True, **kw)
        self.procs.append(p)
        return p

    def set_version(self, version):
        if self.run(["winecfg", "-v", version]) != 0:
            raise CaseFailure(f"winecfg -v {version} failed (see wine-output.txt)")

    def kill(self):
        subprocess.run(["wineserver", "-k"], env=self.env, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=30)
        for p in self.procs:
            if p.poll() is None:
                try:
                    os.killpg(p.pid, signal.SIGKILL)
                except ProcessLookupError:
                    pass
            try:
                p.wait(timeout=10)
            except subprocess.TimeoutExpired:
                pass


class Driver:
    """The UI driver (uidriver.exe serve) running in the case's prefix: one
    command a line out, one JSON answer a line back."""

    def __init__(self, wine: Wine, log):
        self.log = log
        self.proc = wine.start([str(DRIVER_EXE), "serve"], stdin=subprocess.PIPE,
                               stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        self.lines = queue.Queue()
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        for raw in self.proc.stdout:
            self.lines.put(raw)
        self.lines.put(None)

    def call(self, command, *, wait_ms=10000, **options):
        """Runs one command; options become "--name value" ("_" in names
        becomes "-", cls becomes class); True stands for a flag. Returns the answer, whether it
        reports success or not."""
        self.send(command, **options)
        return self.receive(command, wait_ms=int(options.get("timeout", wait_ms)))

    def send(self, command, **options):
        """Hands the driver a command without waiting for its answer."""
        args = [command]
        for name, value in options.items():
            if value is None or value is False:
                continue
            args.append("--" + ("class" if name == "cls" else name.replace("_", "-")))
            if value is not True:
                args.append(str(value))
        line = "\t".join(args)
        self.log(f"driver> {line}")
        try:
            self.proc.stdin.write(line.encode("latin-1") + b"\n")
            self.proc.stdin.flush()
        except OSError as e:
            raise CaseFailure(f"the UI driver is gone ({e})")

    def receive(self, command, wait_ms=10000):
        """The answer to the command sent last."""
        try:
            raw = self.lines.get(timeout=wait_ms / 1000 + 20)
        except queue.Empty:
            raise CaseFailure(f"the UI driver did not answer '{command}'")
        if raw is None:
            raise CaseFailure(f"the UI driver ended during '{command}'")
        text = raw.decode("latin-1").strip()
        self.log(f"driver< {text}")
        return json.loads(text)

    def must(self, command, **options):
        """Runs a command that has to succeed."""
        answer = self.call(command, **options)
        if not answer.get("ok"):
            raise CaseFailure(f"{command}: {answer.get('error', answer)}")
        return answer

    def close(self):
        if self.proc.poll() is None:
            try:
                self.proc.stdin.write(b"quit\n")
                self.proc.stdin.flush()
                self.proc.wait(timeout=10)
            except (OSError, subprocess.TimeoutExpired):
                pass


class Case:
    """What a case function works with: its prefix, its setup folder, the
    driver, and the running setup program."""

    def __init__(self, name, version, workdir: Path, locale=None):
        self.name = name
        self.workdir = workdir
        self.transcript = []
        self.wine = Wine(workdir / "prefix", locale)
        try:
            # Wine's own services start with the first program; let that be
            # one whose output goes to a file rather than the driver's pipe.
            if version:
                self.wine.set_version(version)
            else:
                self.wine.run(["wineboot"])
            self.driver = Driver(self.wine, self.note)
        except BaseException:
            self.wine.kill()
            raise
        self.program = None
        self._screen = None

    def note(self, line):
        self.transcript.append(line)

    # ---- the setup folder ---------------------------------------------------

    @property
    def setup_dir(self) -> Path:
        return self.wine.drive_c / "setup"

    def lay_out(self, files=None, *, setup_exe=True):
        """Writes the setup folder: setup.exe and uninst.exe (which a list
        may name under :WIN) beside the given files (name to text, written
        with CR LF line ends, or to bytes, written as they are)."""
        self.setup_dir.mkdir(parents=True, exist_ok=True)
        if setup_exe:
            for exe in (SETUP_EXE, UNINST_EXE):
                if not exe.exists():
                    raise CaseFailure(f"{exe} is missing; build first")
                shutil.copy(exe, self.setup_dir / exe.name)
        for name, content in (files or {}).items():
            path = self.setup_dir / name
            path.parent.mkdir(parents=True, exist_ok=True)
            if isinstance(content, bytes):
                path.write_bytes(content)
            else:
                path.write_bytes(crlf(content).encode("latin-1"))

    def c_path(self, windows_path) -> Path:
        """The Linux path of a path on the prefix's drive C:."""
        rest = windows_path[3:] if windows_path[1:3] == ":\\" else windows_path
        path = self.wine.drive_c
        for part in rest.split("\\"):
            if part:
                path = path / part
        return path

    # ---- the program --------------------------------------------------------

    def start(self, exe=None, args=()):
        """Starts setup.exe (or another program) from the setup folder."""
        exe = exe or SETUP_FOLDER + "\\setup.exe"
        self.note(f"start {exe} {' '.join(args)}")
        self.program = self.wine.start([exe] + list(args), stdout=subprocess.DEVNULL,
                                       stderr=subprocess.DEVNULL)
        return self.program

    def start_watched(self, exe=None, args=(), answer="OK", until_caption=None, timeout=30000):
        """Starts the program under the driver's watch, which is set up first
        so it sees every window from the start: the windows it showed (each
        change of a window noted with its time in ms), the boxes it raised
        (each answered with the first listed button it has), until the
        program ends or shows a window captioned until_caption."""
        self.driver.send("watch", exe=re.split(r"[\\/]", exe or "setup.exe")[-1], answer=answer,
                         until_caption=until_caption, timeout=timeout)
        self.start(exe, args)
        seen = self.driver.receive("watch", wait_ms=timeout)
        expect(seen.get("seen_process"), f"{exe or 'setup.exe'} never started")
        return seen

    def driver_once(self, command, **options):
        """Runs one driver command in a driver process of its own, for when
        the case's driver is busy watching; True when it succeeded."""
        args = [str(DRIVER_EXE), command]
        for name, value in options.items():
            args += ["--" + name.replace("_", "-"), str(value)]
        self.note(f"driver-once> {' '.join(args[1:])}")
        return self.wine.run(args) == 0

    def ended(self, timeout=15):
        """True when the started program has ended within the timeout."""
        try:
            self.program.wait(timeout=timeout)
            return True
        except subprocess.TimeoutExpired:
            return False

    def expect_ended(self, timeout=15):
        expect(self.ended(timeout), f"the program did not end within {timeout} s")

    @property
    def screen(self):
        if self._screen is None:
            s = self.driver.must("screen")
            self._screen = (s["width"], s["height"])
        return self._screen

    # ---- the wizard ---------------------------------------------------------

    def wait_wizard(self, title, timeout=20000):
        """The wizard: setup.exe's visible window whose caption is the title.
        Waits in slices so a program that has ended fails the case at once."""
        deadline = time.time() + timeout / 1000
        while True:
            found = self.driver.call("wait-window", caption=title, exe="setup.exe", timeout=1500)
            if found["ok"]:
                return found["window"]
            if self.program is not None and self.program.poll() is not None:
                raise CaseFailure(f"setup.exe ended (exit code {self.program.returncode}) "
                                  f"without showing a wizard captioned {title!r}")
            if time.time() > deadline:
                shown = self.driver.call("windows", exe="setup.exe").get("windows", [])
                raise CaseFailure(f"no wizard captioned {title!r}; setup.exe shows "
                                  f"{[w['text'] for w in shown]}")

    def controls(self, caption, exe="setup.exe"):
        return self.driver.must("controls", caption=caption, exe=exe)["controls"]

    def visible(self, controls, cls=None):
        return [c for c in controls
                if c["visible"] and (cls is None or c["class"].lower() == cls.lower())]

    def page(self, caption, exe="setup.exe"):
        """The visible controls of a window as (class, text) pairs, texts
        without a closing line end."""
        return [(x["class"], x["text"].rstrip("\r\n")) for x in self.visible(self.controls(caption, exe))]

    def wait_page(self, caption, marker, timeout=8, exe="setup.exe"):
        """Waits until the window shows the (class, text) pair that marks a
        page; returns what it then shows."""
        deadline = time.time() + timeout
        while True:
            shown = self.page(caption, exe)
            if marker in shown:
                return shown
            if time.time() > deadline:
                raise CaseFailure(f"the page with {marker!r} did not show; the window shows {shown}")
            time.sleep(0.1)

    def click(self, caption, button, exe="setup.exe", timeout=5000):
        return self.driver.must("click", caption=caption, exe=exe, button=button,
                                timeout=timeout)

    def finish(self):
        self.driver.close()
        self.wine.kill()

    def kill(self):
        self.wine.kill()


# ---- case registry ------------------------------------------------------------

CASES = []


def case(name, version="winxp", timeout=90, locale=None):
    """Registers a case function run in a fresh prefix set to the Windows
    version (None leaves the prefix's own), under the Unix locale given
    (which sets Wine's ANSI code page) or the caller's."""
    def register(fn):
        fn.locale = locale
        CASES.append((name, version, timeout, fn))
        return fn
    return register
