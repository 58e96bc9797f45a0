"""Files through the real dialogs: "Open Wave" loads a wave into a slot and "No Wave" empties
one; the Frequency question answered No changes nothing, Yes empties the slots, stops playback
and moves the check mark; a session saved through the save dialog holds what it should, loads
back (labels, red and green squares) and saves again as the same bytes; a missing setup file
gives "File Error" captioned with its path and a broken one its message, and neither changes
anything; Quit answered OK ends the program with exit code 0."""
import os

import e2e
from e2e import check

QUESTION = ("All the waves will be unloaded\nbefore changing frequency.\nWarning : if the "
            "frequency is too high,\nand your computer too slow,\nMixorama may hang ! Continue ?")
LABELS = ["BD7525.", "", "CP.", "", "", "", "", ""]
SPOT = (100, 100)


def saved_lines(path):
    """The lines of a setup file but its comments."""
    text = open(e2e.wait(lambda: path if os.path.exists(path) else None, path), "rb").read()
    return [line for line in text.decode("latin-1").split("\r\n") if not line.startswith("#")]


def quiet(p):
    """Checks that no box follows the last one: the next box is Help's, asked for now."""
    p.command(e2e.HELP)
    check(p.answer(e2e.IDOK)[0] == "Help", "no other box came first")
    p.answer(e2e.IDOK)


def scenario():
    with e2e.Program("files") as p:
        e2e.wait(lambda: p.title() == "Mixorama Demo", "the program is up")
        p.click(e2e.LOAD(2))
        p.choose_file("Open Wave", "MA.WAV")
        e2e.wait(lambda: p.text(e2e.LABEL(2)) == "MA.", "Open Wave puts MA.WAV into slot 2")
        p.click(e2e.NO_WAVE(4))
        e2e.wait(lambda: p.text(e2e.LABEL(4)) == "", "No Wave empties slot 4's label")
        labels = p.labels()

        p.click(e2e.PLAY)
        p.command(e2e.RATE_22050)
        check(p.answer(e2e.IDNO) == ("", QUESTION), "another rate asks first, without caption")
        check(p.labels() == labels and p.text(e2e.PLAY) == "Press here to cut sound" and
              p.rate_marks() == [True, False, False], "No changes nothing")
        p.command(e2e.RATE_22050)
        p.answer(e2e.IDYES, QUESTION)
        e2e.wait(lambda: p.labels() == [""] * 8, "Yes empties every slot")
        check(p.text(e2e.PLAY) == "Press here to play", "Yes stops playback")
        check(p.rate_marks() == [False, True, False], "Yes moves the check mark to 22050")

        for slot, name in ((1, "BD7525.WAV"), (3, "CP.WAV")):
            p.click(e2e.LOAD(slot))
            p.choose_file("Open Wave", name)
        e2e.wait(lambda: p.labels() == LABELS, "two waves loaded at 22050")
        p.move(*SPOT)
        p.map_click("l", 1, e2e.RED, keypad=1)
        p.map_click("r", 3, e2e.GREEN, keypad=3)

        p.command(e2e.SAVE_SETUP)
        p.choose_file("Save Setup", "session")
        want = ["MIXORAMA-SETUP 1.0", "rate = 22050"]
        for n, path in enumerate(["BD7525.WAV", "", "CP.WAV", "", "", "", "", ""], 1):
            level = 350 - int(((SPOT[0] - 87) ** 2 + SPOT[1] ** 2) ** 0.5) if n == 1 else 1
            want += ["", ("slot%d.path = %s" % (n, path)).rstrip(),
                     "slot%d.level = %d" % (n, level), "slot%d.locked = %d" % (n, n == 1),
                     "slot%d.muted = %d" % (n, n == 3)]
        want += ["", "end", ""]
        session = os.path.join(p.dir, "session.st")
        got = saved_lines(session)
        check(got == want, "the saved session" + ("" if got == want else ": %r" % got))

        p.command(e2e.SAVE_SETUP)
        dialog = p.choose_file("Save Setup", "session.st")
        check(p.answer(e2e.IDNO)[0] == "Save Setup", "the save dialog asks before it replaces")
        p.driver("post", dialog, e2e.WM_COMMAND, e2e.IDCANCEL, 0)
        e2e.wait(lambda: dialog not in [w[0] for w in p.windows()], "Cancel closes the dialog")
        check(saved_lines(session) == got, "No, then Cancel, leave the file as it was")

        p.click(e2e.NO_WAVE(1))
        p.click(e2e.LOAD(2))
        p.choose_file("Open Wave", "CH.WAV")
        e2e.wait(lambda: p.text(e2e.LABEL(2)) == "CH.", "the session changed")
        p.command(e2e.LOAD_SETUP)
        p.choose_file("Open Setup", "session.st")
        e2e.wait(lambda: p.labels() == LABELS, "loading the session restores the labels")
        check((p.square(1), p.square(3)) == (e2e.RED, e2e.GREEN), "and the red and green squares")
        quiet(p)
        p.command(e2e.SAVE_SETUP)
        p.choose_file("Save Setup", "again")
        again = os.path.join(p.dir, "again.st")
        saved_lines(again)
        check(open(again, "rb").read() == open(session, "rb").read(), "saved again: same bytes")

        p.command(e2e.LOAD_SETUP)
        p.choose_file("Open Setup", "NOFILE.ST")
        caption, text = p.answer(e2e.IDOK)
        check(text == "File Error" and caption.upper().endswith("\\NOFILE.ST"),
              "a missing file: %r captioned %r" % (text, caption))
        open(os.path.join(p.dir, "BROKEN.ST"), "wb").write(
            b"MIXORAMA-SETUP 1.0\r\nrate = 12345\r\nend\r\n")
        p.command(e2e.LOAD_SETUP)
        p.choose_file("Open Setup", "BROKEN.ST")
        box = p.answer(e2e.IDOK)
        check(box == (e2e.PROGRAM_TITLE, "Setup file error, line 2 : the rate must be 11025, "
                      "22050 or 44100"), "a broken file: %r" % (box,))
        quiet(p)
        check(p.labels() == LABELS and p.rate_marks() == [False, True, False],
              "neither changed anything")

        p.command(e2e.QUIT)
        check(p.answer(e2e.IDOK) == (e2e.PROGRAM_TITLE, "Quit ?"), "Quit asks")
        check(p.exit_code() == 0, "OK ends the program with exit code 0")


e2e.run(scenario)
