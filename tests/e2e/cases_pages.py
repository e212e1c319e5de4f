"""Walking the wizard's pages with the UI driver: the licence check, the
Yes/No licence, the destination rules and the summary, and a Finish that
installs."""

import textwrap

from harness import case, expect, expect_eq

TITLE = "Demo Writer 2.1"
CHECK_BOX = "I have read and accept this license agreement."
REMINDER = ("Please accept this license agreement by placing a mark in the check box. If you do not "
            "accept this license agreement, please click the Cancel button.")
ROOT_MESSAGE = ("You may not install this software to the root of a hard disk.  Please select a valid "
                "folder on this drive to continue.")

LICENSE = """
    Demo Writer licence.
    Use it well.
    """
README = """
    Demo Writer read me.
    """


def page(c):
    return c.page(TITLE)


def wait_page(c, marker):
    return c.wait_page(TITLE, marker)


def buttons(shown):
    return sorted(t for cls, t in shown if cls == "Button" and t in ("Back", "Next", "Cancel", "Yes", "No", "Finish"))


def check_box(c):
    found = [x for x in c.visible(c.controls(TITLE), "Button") if x["text"] == CHECK_BOX]
    expect_eq(len(found), 1, "visible licence check boxes")
    return found[0]


def to_licence(c):
    c.start()
    c.wait_wizard(TITLE)
    c.click(TITLE, "Next")
    return wait_page(c, ("Static", "License Agreement"))


def to_paths(c):
    to_licence(c)
    c.click(TITLE, CHECK_BOX)
    c.click(TITLE, "Next")
    wait_page(c, ("Static", "Program Readme File"))
    c.click(TITLE, "Next")
    return wait_page(c, ("Static", "Start Menu folder will be created as:"))


def end_with_cancel(c, caption="Cancel"):
    c.click(TITLE, caption)
    c.expect_ended(15)
    expect(not c.c_path("C:\\Program Files\\Demo Writer").exists(), "something was installed")


@case("licence: reminder until the box is ticked, then the readme")
def licence_reminder(c):
    c.lay_out({"setup.ini": "\\Demo Writer\nDemo Writer\nDemo Writer 2.1\n",
               "license.txt": LICENSE, "readme.txt": README})
    shown = to_licence(c)
    expect(("Edit", "Demo Writer licence.\r\nUse it well.") in shown, f"licence text not shown: {shown}")
    expect_eq(buttons(shown), ["Back", "Cancel", "Next"], "licence page buttons")
    expect(not check_box(c)["checked"], "the check box starts ticked")

    c.click(TITLE, "Next")
    box = c.driver.must("answer", button="OK")["box"]
    expect_eq(box["text"], REMINDER, "reminder text")
    expect_eq(box["owner"], TITLE, "owner of the reminder")
    wait_page(c, ("Static", "License Agreement"))

    c.click(TITLE, CHECK_BOX)
    c.click(TITLE, "Next")
    shown = wait_page(c, ("Static", "Program Readme File"))
    expect(("Edit", "Demo Writer read me.") in shown, f"readme text not shown: {shown}")

    # Back and forth keeps the tick; Next then needs no reminder.
    c.click(TITLE, "Back")
    wait_page(c, ("Static", "License Agreement"))
    expect(check_box(c)["checked"], "the tick was lost on the way back")
    c.click(TITLE, "Next")
    wait_page(c, ("Static", "Program Readme File"))
    seen = c.driver.call("wait-window", caption="Dialog", cls="#32770", exe="setup.exe", timeout=500)
    expect(not seen["ok"], "a box came up although the licence was accepted")
    end_with_cancel(c)


@case(":NEXTLICENSE: the licence page asks Yes or No; No ends the program")
def next_license(c):
    c.lay_out({"setup.ini": """
        \\Demo Writer
        Demo Writer
        Demo Writer 2.1
        :NEXTLICENSE
        """, "license.txt": LICENSE, "readme.txt": README})
    shown = to_licence(c)
    expect_eq(buttons(shown), ["Back", "No", "Yes"], "licence page buttons")
    expect(("Button", CHECK_BOX) not in shown, "the check box is shown")
    c.click(TITLE, "Yes")
    wait_page(c, ("Static", "Program Readme File"))
    c.click(TITLE, "Back")
    shown = wait_page(c, ("Static", "License Agreement"))
    expect_eq(buttons(shown), ["Back", "No", "Yes"], "licence page buttons after Back")
    end_with_cancel(c, "No")


@case("paths: a root is refused, :DEFPATH is added, the summary shows the choices")
def paths_and_summary(c):
    c.lay_out({"setup.ini": """
        \\Demo Writer
        Demo Writer
        Demo Writer 2.1
        :DEFPATH
        Demo Writer
        """})
    shown = to_paths(c)
    for item in [("Static", "Setup will install Demo Writer 2.1 to the following folder:"),
                 ("Edit", "C:\\Program Files\\Demo Writer"), ("Edit", "Demo Writer")]:
        expect(item in shown, f"paths page lacks {item}: {shown}")

    c.driver.must("set-text", caption=TITLE, exe="setup.exe", old="C:\\Program Files\\Demo Writer", new="C:\\")
    c.click(TITLE, "Next")
    box = c.driver.must("answer", button="OK")["box"]
    expect_eq(box["text"], ROOT_MESSAGE, "root message")
    wait_page(c, ("Edit", "C:\\"))

    c.driver.must("set-text", caption=TITLE, exe="setup.exe", old="C:\\", new="C:\\Apps")
    c.driver.must("set-text", caption=TITLE, exe="setup.exe", old="Demo Writer", new="Tools\\Demo")
    c.click(TITLE, "Next")
    shown = wait_page(c, ("Static", "Setup is about to install:"))
    for item in [("Static", TITLE), ("Static", "C:\\Apps\\Demo Writer"), ("Static", "Tools\\Demo")]:
        expect(item in shown, f"summary lacks {item}: {shown}")
    expect_eq(buttons(shown), ["Back", "Cancel", "Finish"], "summary buttons")

    # Back shows the destination as Next wrote it back, and Next again.
    c.click(TITLE, "Back")
    shown = wait_page(c, ("Edit", "C:\\Apps\\Demo Writer"))
    expect_eq(buttons(shown), ["Back", "Cancel", "Next"], "paths page buttons after Back")
    end_with_cancel(c)


@case("Finish installs the files and ends with the closing message", timeout=120)
def finish_installs(c):
    # Besides the two files, enough parts that the copy window stays up
    # long enough to be seen: small files install in well under a millisecond.
    parts = [f"part{i:03}.txt" for i in range(800)]
    c.lay_out({"setup.ini": textwrap.dedent("""
        \\Demo Writer
        Demo Writer
        Demo Writer 2.1
        :INSTALL
        writer.txt
        *writer.ini
        """) + "".join(p + "\n" for p in parts) + ":\n",
        "writer.txt": "Demo Writer's program file.\n", "writer.ini": "[Writer]\nFont=Courier\n",
        **{p: f"{p}\n" for p in parts}})
    to_paths(c)
    c.click(TITLE, "Next")
    wait_page(c, ("Static", "Setup is about to install:"))
    # The watch is set up before Finish is pressed (by a second driver) so
    # it sees the run's windows and answers its closing message.
    c.driver.send("watch", exe="setup.exe", answer="OK", timeout=60000)
    expect(c.driver_once("click", caption=TITLE, exe="setup.exe", button="Finish"), "Finish was not pressed")
    seen = c.driver.receive("watch", wait_ms=60000)
    expect(seen["ended"], "setup.exe did not end after the install")
    expect_eq([b["box"]["text"] for b in seen["boxes"]], ["Installation is complete"], "boxes at the end")
    # The copy window sits directly below the wizard.
    wizard = [e["window"]["rect"] for e in seen["events"] if e["window"]["text"] == TITLE]
    copying = [e["window"]["rect"] for e in seen["events"]
               if e["window"]["text"] == "Copying" and e["window"]["visible"]]
    expect(wizard and copying, "the wizard or the copy window was not seen")
    expect_eq(copying[0][1], wizard[0][3], "copy window's top (the wizard's bottom)")
    dest = c.c_path("C:\\Program Files\\Demo Writer")
    expect_eq((dest / "writer.txt").read_bytes(), b"Demo Writer's program file.\r\n", "installed writer.txt")
    expect((dest / "writer.ini").exists(), "writer.ini was not installed")
    logs = list(c.c_path("C:\\windows\\temp").glob("qvsetup_*"))
    expect(logs, "no install log was written")
