"""Cases that prove the UI driver against a window program of our own
(fixturewindow.exe), so a failing setup case points at the setup program and
not at the tooling."""

from harness import FIXTURES, case, expect, expect_eq

FIXTURE = str(FIXTURES / "fixturewindow.exe")
EXE = "fixturewindow.exe"


def edit_text(c, caption, control_id):
    for ctl in c.controls(caption, exe=EXE):
        if ctl["id"] == control_id:
            return ctl["text"]
    raise AssertionError(f"no control {control_id}")


@case("driver: finds, reads, clicks and answers", version=None)
def driver_reads_and_clicks(c):
    c.start(FIXTURE, ["--caption", "Fixture One"])
    w = c.driver.must("wait-window", caption="Fixture One", exe=EXE, timeout=15000)["window"]
    sw, sh = c.screen
    l, t, r, b = w["rect"]
    expect_eq((r - l, b - t), (400, 300), "window size")
    expect_eq((l, t), (sw // 2 - 200, sh // 2 - 150), "window position")

    ctls = c.controls("Fixture One", exe=EXE)
    texts = {(x["class"], x["text"]) for x in ctls}
    expect(("Edit", "First line\r\nSecond line") in texts, f"memo text not read: {texts}")
    expect(("Static", "Fixture label") in texts, "label text not read")
    later = [x for x in ctls if x["text"] == "Later"]
    expect(later and not later[0]["enabled"], "the disabled button reads as enabled")

    # A click reaches the program: Back writes into the edit.
    c.click("Fixture One", "Back", exe=EXE)
    expect_eq(edit_text(c, "Fixture One", 10), "Back was pressed", "edit after Back")

    # Text put into an edit is what the program reads back.
    c.driver.must("set-text", caption="Fixture One", exe=EXE, old="Back was pressed", new="D:\\Other")
    expect_eq(edit_text(c, "Fixture One", 10), "D:\\Other", "edit after set-text")

    # A disabled button is never pressed.
    refused = c.driver.call("click", caption="Fixture One", exe=EXE, button="Later", timeout=300)
    expect(not refused["ok"] and "disabled" in refused["error"], f"disabled button pressed: {refused}")

    # A box raised by a click is read and answered; the program sees the answer.
    c.click("Fixture One", "Next", exe=EXE)
    a = c.driver.must("answer", button="Cancel")
    expect_eq(a["box"]["text"], "Next was pressed.", "box text")
    expect_eq(a["box"]["buttons"], ["OK", "Cancel"], "box buttons")
    expect_eq(edit_text(c, "Fixture One", 10), "declined", "edit after the box")

    # A box without the asked button is left alone and reported.
    c.click("Fixture One", "Next", exe=EXE)
    wrong = c.driver.call("answer", button="Yes")
    expect(not wrong["ok"] and "no button 'Yes'" in wrong["error"], f"missing button not reported: {wrong}")
    c.driver.must("answer", button="OK")
    expect_eq(edit_text(c, "Fixture One", 10), "accepted", "edit after OK")

    c.click("Fixture One", "Cancel", exe=EXE)
    c.expect_ended(10)
    c.driver.must("wait-gone", caption="Fixture One", exe=EXE, timeout=2000)


@case("driver: watches windows and boxes to the end", version=None)
def driver_watches(c):
    w = c.start_watched(FIXTURE, ["--caption", "Fixture Two", "--offscreen",
                                  "--box-at-start", "Starting up", "--exit-after-box"],
                        answer="Yes,OK", timeout=20000)
    expect(w["ended"], "the watch did not see the program end")
    boxes = [(b["box"]["text"], b["pressed"]) for b in w["boxes"]]
    expect_eq(boxes, [("Starting up", "OK")], "boxes seen")
    sw, sh = c.screen
    rects = {tuple(e["window"]["rect"][:2]) for e in w["events"]
             if e["window"]["text"] == "Fixture Two" and e["window"]["visible"]}
    expect_eq(rects, {(sw + 1, sh + 1)}, "positions of the off-screen window")
    c.expect_ended(10)
