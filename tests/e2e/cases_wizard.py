"""Start-up and wizard cases: setup.exe on a setup folder written right here,
under the Windows version each case names, observed through the UI driver."""

import textwrap
import time

from harness import FIXTURES, ROOT, case, expect, expect_eq

INTRO = ("This utility will install {}.  It is recommended that you close all other "
         "windows programs.  You can switch to other Windows programs by pressing CTRL and TAB.")

DEMO_INI = """
    \\Demo Writer
    Demo Writer
    Demo Writer 2.1
    """


def intro_text(c, title):
    """The intro memo's text: the one visible edit that holds the intro."""
    memos = [x["text"] for x in c.visible(c.controls(title), "Edit")
             if x["text"].startswith("This utility will install")]
    expect_eq(len(memos), 1, "visible edits holding the intro text")
    return memos[0].rstrip("\r\n")


def background(c):
    """setup.exe's visible window captioned "Setup": the background window."""
    ws = c.driver.must("windows", caption="Setup", exe="setup.exe")["windows"]
    expect_eq(len(ws), 1, "visible windows captioned 'Setup'")
    return ws[0]


def nothing_installed(c, folder_name):
    expect(not c.c_path("C:\\Program Files\\" + folder_name).exists(),
           f"C:\\Program Files\\{folder_name} was created")
    logs = list(c.c_path("C:\\windows\\temp").glob("qvsetup_*"))
    expect(not logs, f"an install log was written: {logs}")


def cancel_and_end(c, title):
    c.click(title, "Cancel")
    c.expect_ended(15)
    c.driver.must("wait-gone", caption=title, exe="setup.exe", timeout=3000)


@case("wizard: caption is the title, intro text, background")
def wizard_appears(c):
    c.lay_out({"setup.ini": DEMO_INI})
    c.start()
    w = c.wait_wizard("Demo Writer 2.1")
    expect_eq(intro_text(c, "Demo Writer 2.1"), INTRO.format("Demo Writer 2.1"), "intro text")
    buttons = sorted(x["text"] for x in c.visible(c.controls("Demo Writer 2.1"), "Button"))
    expect_eq(buttons, ["Back", "Cancel", "Next"], "visible buttons of the intro page")
    # The focus settles once the wizard is activated, a moment after it shows.
    focus, deadline = w["focus"], time.time() + 3
    while focus != "Next" and time.time() < deadline:
        time.sleep(0.05)
        shown = c.driver.call("windows", caption="Demo Writer 2.1", exe="setup.exe").get("windows", [])
        focus = shown[0]["focus"] if shown else focus
    expect_eq(focus, "Next", "control with the focus")

    sw, sh = c.screen
    l, t, r, b = w["rect"]
    expect_eq((l, t), (int(sw / 2 - (r - l) / 2), int(sh / 2 - (b - t) / 2)), "wizard position (centred)")

    back = background(c)
    expect_eq(back["rect"], [0, 0, sw, sh], "background window rectangle")
    labels = [x["text"] for x in c.controls("Setup")]
    expect("Demo Writer 2.1" in labels, f"background window does not show the title: {labels}")
    cancel_and_end(c, "Demo Writer 2.1")


TITLE_LINE = "|Acme Mail* for NT 4"

for version, line, shown in [
    ("nt40", TITLE_LINE, "Acme Mail for NT 4"),
    ("winxp", TITLE_LINE, "Acme Mail"),
    ("win98", TITLE_LINE, "Acme Mail"),
    ("nt40", "Acme*Pro", "Acme*Pro"),
]:
    def title_rule(c, line=line, shown=shown):
        c.lay_out({"setup.ini": f"""
            \\Acme
            Acme
            {line}
            """})
        c.start()
        c.wait_wizard(shown)
        expect_eq(intro_text(c, shown), INTRO.format(shown), "intro text")
        labels = [x["text"] for x in c.controls("Setup")]
        expect(shown in labels, f"background window does not show {shown!r}: {labels}")
        cancel_and_end(c, shown)

    case(f"title rule: {line} on {version}", version=version)(title_rule)


NEEDS_NT = """
    \\Demo Writer
    Demo Writer
    Demo Writer 2.1
    :OS
    WIN_NT
    WIN_XP
    Demo Writer needs Windows NT 4, 2000 or XP.
    """

NEEDS_9X = """
    \\Demo Writer
    Demo Writer
    Demo Writer 2.1
    :OS
    WIN_95A
    WIN_ME
    Demo Writer runs on Windows 95, 98 and ME only.
    """

for version, ini, bounds, text in [
    ("win98", NEEDS_NT, "WIN_NT..WIN_XP", "Demo Writer needs Windows NT 4, 2000 or XP."),
    ("winxp", NEEDS_9X, "WIN_95A..WIN_ME", "Demo Writer runs on Windows 95, 98 and ME only."),
]:
    def os_refused(c, ini=ini, text=text):
        c.lay_out({"setup.ini": ini})
        seen = c.start_watched()
        expect(seen["ended"], "setup.exe did not end after the refusal")
        expect_eq([(b["box"]["text"], b["box"]["buttons"], b["box"]["owner"]) for b in seen["boxes"]],
                  [(text, ["OK"], "")], "message boxes (text, buttons, owner)")
        wizard = [e for e in seen["events"]
                  if e["window"]["text"] == "Demo Writer 2.1" and e["window"]["visible"]]
        expect(not wizard, "the wizard was shown")
        c.expect_ended(10)
        nothing_installed(c, "Demo Writer")

    case(f":OS {bounds} refuses {version}", version=version)(os_refused)

for version, ini, bounds in [
    ("nt40", NEEDS_NT, "WIN_NT..WIN_XP"),
    ("winxp", NEEDS_NT, "WIN_NT..WIN_XP"),
    ("win98", NEEDS_9X, "WIN_95A..WIN_ME"),
]:
    def os_passes(c, ini=ini):
        c.lay_out({"setup.ini": ini})
        seen = c.start_watched(until_caption="Demo Writer 2.1")
        expect(seen["stopped"], "the wizard did not appear")
        expect_eq(seen["boxes"], [], "message boxes")
        cancel_and_end(c, "Demo Writer 2.1")

    case(f":OS {bounds} lets {version} pass", version=version)(os_passes)


@case(":MESSAGE is shown before the wizard")
def message_box(c):
    c.lay_out({"setup.ini": """
        \\Demo Writer
        Demo Writer
        Demo Writer 2.1
        :MESSAGE
        Please close Demo Writer 2.0 before you go on.
        """})
    seen = c.start_watched(until_caption="Demo Writer 2.1")
    expect(seen["stopped"], "the wizard did not appear after the message")
    boxes = seen["boxes"]
    expect_eq([(b["box"]["text"], b["box"]["buttons"], b["box"]["owner"]) for b in boxes],
              [("Please close Demo Writer 2.0 before you go on.", ["OK"], "")],
              "message boxes (text, buttons, owner)")
    shown = [e["t"] for e in seen["events"]
             if e["window"]["text"] == "Demo Writer 2.1" and e["window"]["visible"]]
    expect(shown and min(shown) >= boxes[0]["t"], "the wizard was on the screen before the message was answered")
    expect_eq(intro_text(c, "Demo Writer 2.1"), INTRO.format("Demo Writer 2.1"), "intro text")
    cancel_and_end(c, "Demo Writer 2.1")


@case("no setup.ini: the list is reported missing and setup ends")
def missing_list(c):
    c.lay_out({"readme.txt": "A setup folder without its installation list.\n"})
    seen = c.start_watched()
    expect(seen["ended"], "setup.exe did not end")
    expect_eq([(b["box"]["text"], b["box"]["buttons"]) for b in seen["boxes"]],
              [("Could not find installation list", ["OK"])], "message boxes")
    # Only the box, and at most a glimpse of the background window before
    # it closes (full screen, or already shrunk into the top-left corner);
    # the wizard (captioned "Setup" too, as no title was read) never shows.
    sw, sh = c.screen
    backs = {e["window"]["hwnd"] for e in seen["events"]
             if e["window"]["visible"] and e["window"]["rect"][:2] == [0, 0]}
    others = [e["window"] for e in seen["events"] if e["window"]["visible"]
              and e["window"]["class"] != "#32770" and e["window"]["hwnd"] not in backs]
    expect(not others, f"another window was shown: {others}")
    c.expect_ended(10)


@case("automatic mode: wizard and background stay off the screen", timeout=120)
def automatic_mode(c):
    # Enough files that the copy window stays up long enough to be seen.
    # Enough files that the copy window stays up long enough to be seen.
    files = [f"part{i:03}.txt" for i in range(800)]
    c.lay_out({"setup.ini": textwrap.dedent(DEMO_INI) + ":INSTALL\n" + "".join(f + "\n" for f in files) + ":\n",
               "autoin.dat": "", **{f: f"part {f}\n" for f in files}})
    # Whatever the run asks at its end is answered, so the program ends by itself.
    seen = c.start_watched(answer="OK,Yes,No", timeout=60000)
    expect(seen["ended"], "setup.exe did not end by itself in automatic mode")
    sw, sh = c.screen
    for what, caption in (("wizard", "Demo Writer 2.1"), ("background window", "Setup")):
        shown = [e["window"]["rect"] for e in seen["events"]
                 if e["window"]["text"] == caption and e["window"]["visible"]
                 and e["window"]["class"] != "#32770"]
        expect(shown, f"the {what} was never shown")
        for rect in shown:
            expect_eq(rect[:2], [sw + 1, sh + 1], f"{what}'s top-left corner while shown")
    # The copy window of the install run stays at the screen's centre.
    copying = [e["window"]["rect"] for e in seen["events"]
               if e["window"]["text"] == "Copying" and e["window"]["visible"]]
    expect(copying, "the copy window was never shown")
    for l, t, r, b in copying:
        expect_eq([l, t], [sw // 2 - (r - l) // 2, sh // 2 - (b - t) // 2], "copy window position")
    texts = [b["box"]["text"] for b in seen["boxes"]]
    expect(not any("license agreement" in t for t in texts), f"automatic mode asked for the licence: {texts}")
    expect(c.c_path("C:\\Program Files\\Demo Writer\\part799.txt").exists(), "the files were not installed")
    c.expect_ended(10)


@case("Cancel on the intro page ends the program")
def cancel_on_intro(c):
    c.lay_out({"setup.ini": DEMO_INI})
    c.start()
    c.wait_wizard("Demo Writer 2.1")
    cancel_and_end(c, "Demo Writer 2.1")
    c.driver.must("wait-exit", exe="setup.exe", timeout=3000)
    nothing_installed(c, "Demo Writer")


@case("the Escape key ends the program")
def escape_key(c):
    c.lay_out({"setup.ini": DEMO_INI})
    c.start()
    c.wait_wizard("Demo Writer 2.1")
    c.driver.must("key", caption="Demo Writer 2.1", exe="setup.exe", vk=0x1B)
    c.expect_ended(15)
    nothing_installed(c, "Demo Writer")


@case("the system menu's Close ends the program")
def system_close(c):
    c.lay_out({"setup.ini": DEMO_INI})
    c.start()
    c.wait_wizard("Demo Writer 2.1")
    c.driver.must("system-close", caption="Demo Writer 2.1", exe="setup.exe")
    c.expect_ended(15)
    nothing_installed(c, "Demo Writer")


@case("Cancel on the licence page ends the program")
def cancel_on_licence(c):
    c.lay_out({"setup.ini": DEMO_INI,
               "license.txt": "Demo Writer licence.\nUse it well.\n"})
    c.start()
    c.wait_wizard("Demo Writer 2.1")
    c.click("Demo Writer 2.1", "Next")
    shown = c.wait_page("Demo Writer 2.1", ("Static", "License Agreement"))
    expect(("Edit", "Demo Writer licence.\r\nUse it well.") in shown, f"licence text not shown: {shown}")
    cancel_and_end(c, "Demo Writer 2.1")
    nothing_installed(c, "Demo Writer")


# A program that must be closed first: our fixture window stands in for it.
RUNNING_PROGRAM = ["--caption", "Quillpad Editor"]
NOT_RUNNING = """
    \\Demo Writer
    Demo Writer
    Demo Writer 2.1
    :NOTRUNNING
    NoSuchClass,No Such Window,Nothing
    QvFixtureWindow,Quillpad Editor,Quillpad
    :
    """
NOT_RUNNING_NRMSG = """
    \\Demo Writer
    Demo Writer
    Demo Writer 2.1
    :NRMSG
    Close Quillpad, then start setup again.
    :NOTRUNNING
    NoSuchClass,No Such Window,Nothing
    QvFixtureWindow,Quillpad Editor,Quillpad
    :
    """
EXIT_FIRST = ("You must exit Quillpad before setup may continue. To exit the program, right click on "
              "its icon from in the system tray and select Exit.")

for label, ini, running, text in [
    ("the second line matches: its name is in the warning", NOT_RUNNING, True, EXIT_FIRST),
    (":NRMSG replaces the warning", NOT_RUNNING_NRMSG, True, "Close Quillpad, then start setup again."),
    ("nothing matches: the wizard goes on", NOT_RUNNING, False, None),
]:
    def not_running(c, ini=ini, running=running, text=text):
        c.lay_out({"setup.ini": ini})
        if running:
            c.start(str(FIXTURES / "fixturewindow.exe"), RUNNING_PROGRAM)
            c.driver.must("wait-window", caption="Quillpad Editor", timeout=15000)
        if text is None:
            seen = c.start_watched(until_caption="Demo Writer 2.1")
            expect(seen["stopped"], "the wizard did not appear")
            expect_eq(seen["boxes"], [], "message boxes")
            cancel_and_end(c, "Demo Writer 2.1")
            return
        seen = c.start_watched()
        expect(seen["ended"], "setup.exe did not end after the warning")
        expect_eq([(b["box"]["text"], b["box"]["buttons"], b["box"]["owner"]) for b in seen["boxes"]],
                  [(text, ["OK"], "")], "message boxes (text, buttons, owner)")
        nothing_installed(c, "Demo Writer")

    case(f":NOTRUNNING, {label}")(not_running)


@case("setup files: the notice, the credits and the logo are shown")
def setup_files(c):
    logo = (ROOT / "examples" / "demo" / "logo.bmp").read_bytes()  # 117 x 108 pixels
    c.lay_out({"setup.ini": DEMO_INI, "logo.bmp": logo,
               "copyWren.txt": """
                   Demo Writer is shareware.
                   Please register after 30 days.
                   """,
               "copyQuill.txt": """
                   Packed by the Demo Writer team.
                   """})
    c.start()
    c.wait_wizard("Demo Writer 2.1")
    controls = c.visible(c.controls("Demo Writer 2.1"))
    texts = [(x["class"], x["text"].rstrip("\r\n")) for x in controls]
    expect(("Edit", "Demo Writer is shareware.\r\nPlease register after 30 days.") in texts,
           f"the notice is not shown: {texts}")
    expect(("Edit", "Packed by the Demo Writer team.") in texts, f"the credits are not shown: {texts}")
    pictures = [x for x in controls if x["class"] == "Static" and x["text"] == ""
                and (x["rect"][2] - x["rect"][0], x["rect"][3] - x["rect"][1]) == (117, 108)]
    expect(pictures, f"no picture of the logo's size: {[(x['class'], x['rect']) for x in controls]}")
    cancel_and_end(c, "Demo Writer 2.1")


@case(":NOTRUNNING without a match runs _IN242.exe INSTALL before the wizard goes on")
def pre_install_program(c):
    c.lay_out({"setup.ini": """
        \\Demo Writer
        Demo Writer
        Demo Writer 2.1
        :NOTRUNNING
        NoSuchClass,No Such Window,Nothing
        :
        """, "_IN242.exe": (FIXTURES / "fixturewindow.exe").read_bytes()})
    c.start()
    c.driver.must("wait-window", caption="Fixture Window", exe="_IN242.exe", timeout=20000)
    labels = [t for cls, t in c.page("Fixture Window", exe="_IN242.exe") if cls == "Static"]
    expect_eq(labels, ["Fixture label INSTALL"], "the pre-install program's arguments")
    # Once the program has ended the wizard is there to be used.
    c.click("Fixture Window", "Cancel", exe="_IN242.exe")
    c.wait_wizard("Demo Writer 2.1")
    cancel_and_end(c, "Demo Writer 2.1")
