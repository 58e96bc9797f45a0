"""Files through the real dialogs: waves, the Frequency question, a session saved, checked on disk,
loaded back and saved again alike, a missing and a broken setup file, Quit."""
import os

import e2e
from e2e import LOAD, LOAD_SETUP, SAVE_SETUP, check

QUESTION = ("All the waves will be unloaded\nbefore changing frequency.\nWarning : if the "
            "frequency is too high,\nand your computer too slow,\nMixorama may hang ! Continue ?")
LABELS = ["BD7525.", "", "CP.", "", "", "", "", ""]


def saved(path):  # the bytes of a file once it exists
    return open(e2e.wait(lambda: path if os.path.exists(path) else None, path), "rb").read()


def quiet(p):  # no box follows the last one: the next is Help's, asked for now
    p.command(e2e.HELP)
    check(p.answer(e2e.IDOK)[0] == "Help", "no other box came first")
    p.answer(e2e.IDOK)


def scenario():
    with e2e.Program("files") as p:
        p.up()
        p.choose_file(LOAD(2), "MA.WAV")
        e2e.wait(lambda: p.text(e2e.LABEL(2)) == "MA.", "Open Wave puts MA.WAV into slot 2")
        p.click(e2e.NO_WAVE(4))
        e2e.wait(lambda: p.text(e2e.LABEL(4)) == "", "No Wave empties slot 4's label")
        labels = p.labels()

        p.click(e2e.PLAY)
        p.command(e2e.RATE_22050)
        p.asks(e2e.IDNO, "", QUESTION, "another rate asks first, without caption")
        check(p.labels() == labels and p.text(e2e.PLAY) == "Press here to cut sound" and
              p.rate_marks() == [True, False, False], "No changes nothing")
        p.command(e2e.RATE_22050)
        p.answer(e2e.IDYES, QUESTION)
        e2e.wait(lambda: p.labels() == [""] * 8, "Yes empties every slot")
        check(p.text(e2e.PLAY) == "Press here to play", "Yes stops playback")
        check(p.rate_marks() == [False, True, False], "Yes moves the check mark to 22050")

        p.choose_file(LOAD(1), "BD7525.WAV")
        p.choose_file(LOAD(3), "CP.WAV")
        e2e.wait(lambda: p.labels() == LABELS, "two waves loaded at 22050")
        p.move(100, 100)
        p.map_click("l", 1, e2e.RED, keypad=1)
        p.map_click("r", 3, e2e.GREEN, keypad=3)

        p.choose_file(SAVE_SETUP, "session")
        want = ["MIXORAMA-SETUP 1.0", "rate = 22050"]
        for n, path in enumerate(["BD7525.WAV", "", "CP.WAV", "", "", "", "", ""], 1):
            want += ["", ("slot%d.path = %s" % (n, path)).rstrip(),  # 250: 350 - the distance
                     "slot%d.level = %d" % (n, 250 if n == 1 else 1),  # from (100, 100) to (87, 0)
                     "slot%d.locked = %d" % (n, n == 1), "slot%d.muted = %d" % (n, n == 3)]
        session = os.path.join(p.dir, "session.st")
        first = saved(session)
        got = [s for s in first.decode("latin-1").split("\r\n") if not s.startswith("#")]
        check(got == want + ["", "end", ""], "the saved session, but comments: %r" % got)

        dialog = p.choose_file(SAVE_SETUP, "session.st")
        check(p.answer(e2e.IDNO)[0] == "Save Setup", "the save dialog asks before it replaces")
        p.driver("post", dialog, e2e.WM_COMMAND, e2e.IDCANCEL, 0)
        e2e.wait(lambda: p.gone(dialog), "Cancel closes the dialog")
        check(saved(session) == first, "No, then Cancel, leave the file as it was")

        p.click(e2e.NO_WAVE(1))
        p.choose_file(LOAD(2), "CH.WAV")
        e2e.wait(lambda: p.text(e2e.LABEL(2)) == "CH.", "the session changed")
        p.choose_file(LOAD_SETUP, "session.st")
        e2e.wait(lambda: p.labels() == LABELS, "loading the session restores the labels")
        check((p.square(1), p.square(3)) == (e2e.RED, e2e.GREEN), "and the red and green squares")
        quiet(p)
        p.choose_file(SAVE_SETUP, "again")
        check(saved(os.path.join(p.dir, "again.st")) == first, "saved again: the same bytes")

        p.choose_file(LOAD_SETUP, "NOFILE.ST")
        caption, text = p.answer(e2e.IDOK)
        check(text == "File Error" and caption.upper().endswith("\\NOFILE.ST"),
              "a missing file: %r captioned %r" % (text, caption))
        open(os.path.join(p.dir, "BROKEN.ST"), "wb").write(
            b"MIXORAMA-SETUP 1.0\r\nrate = 12345\r\nend\r\n")
        p.choose_file(LOAD_SETUP, "BROKEN.ST")
        p.asks(e2e.IDOK, e2e.PROGRAM_TITLE, "Setup file error, line 2 : the rate must be 11025, "
               "22050 or 44100", "a broken file")
        quiet(p)
        check(p.labels() == LABELS and p.rate_marks() == [False, True, False],
              "neither changed anything")

        p.command(e2e.QUIT)
        p.asks(e2e.IDOK, e2e.PROGRAM_TITLE, "Quit ?", "Quit asks")
        p.ends("OK ends the program")


e2e.run(scenario)
