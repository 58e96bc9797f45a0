"""Setup files through the real dialogs: a session (rate 22050, three waves, one slot locked,
one muted) saved with "Save a file" and loaded back with "Load a file" after everything was
changed; saving the loaded session again gives the same bytes. The save dialog asks before it
replaces a file. A broken file and a foreign file give one message and change nothing. A
read-only setup file loads. Loading keeps playback running at the same rate, and restarts it
at the new rate when the file has another."""
import os
import stat
import subprocess
import time

import e2e
import panel_dialogs as pd
from e2e import check, require

WAVES = {1: "BD7525.WAV", 3: "CP.WAV", 8: "MA.WAV"}
LABELS = ["BD7525.", "", "CP.", "", "", "", "", "MA."]


def find_file(folder, name, timeout=15.0):
    """The file of that name in folder, in whatever letter case the dialog gave it, once it
    exists (the program writes it after its dialog has closed); None after timeout seconds."""
    deadline = time.time() + timeout
    while True:
        for f in os.listdir(folder):
            if f.lower() == name.lower():
                return os.path.join(folder, f)
        if time.time() > deadline:
            return None
        time.sleep(0.2)


def read(path):
    with open(path, "rb") as f:
        return f.read()


def make_read_only(path):
    """Makes path read-only; returns True when it was also made immutable (then the caller
    must undo that). Wine marks a file without write permission read-only but, run as root,
    still opens it for writing: only an immutable file refuses root, as a read-only medium
    refuses everyone."""
    os.chmod(path, stat.S_IRUSR | stat.S_IRGRP | stat.S_IROTH)
    if os.geteuid() != 0:
        return False
    r = subprocess.run(["chattr", "+i", path], capture_output=True, timeout=20)
    e2e.figure("immutable setup file", r.returncode == 0)
    return r.returncode == 0


def load_setup(s, name):
    s.command(pd.CMD_LOAD_SETUP)
    return pd.choose_file(s, "Open Setup", name)


def save_setup(s, name):
    s.command(pd.CMD_SAVE_SETUP)
    return pd.choose_file(s, "Save Setup", name)


def change_rate(s, command):
    s.command(command)
    s.answer(pd.RATE_QUESTION, "yes")


def scenario():
    with e2e.Session("panel_setup") as s:
        s.driver("wait-title", e2e.TITLE_DEMO, 20000)
        change_rate(s, e2e.CMD_22050)
        for slot, name in sorted(WAVES.items()):
            s.click(e2e.ID_LOAD(slot))
            require(pd.choose_file(s, "Open Wave", name), "wave %s chosen" % name)
        check(pd.labels(s) == LABELS, "three waves loaded (got %r)" % pd.labels(s))
        # Lock slot 1 and mute slot 3 from the map with their keypad keys held.
        s.move(100, 100)
        s.act("keydown", e2e.VK_NUMPAD(1), "+", "lclick", "+", "keyup", e2e.VK_NUMPAD(1))
        s.act("keydown", e2e.VK_NUMPAD(3), "+", "rclick", "+", "keyup", e2e.VK_NUMPAD(3))
        s.move_cursor_away()
        s.sleep(0.5)
        check(s.square_colour(1) == e2e.RED, "slot 1 is locked (red)")
        check(s.square_colour(3) == e2e.GREEN, "slot 3 is muted (green)")

        # Save: a file that says what the session is, with paths beside it relative.
        require(save_setup(s, "session"), "the save dialog closes")
        path = find_file(s.dir, "session.st")
        require(path is not None, "session.st is written (default extension ST)")
        text = read(path).decode("latin-1")
        lines = [l.strip() for l in text.split("\r\n")]
        check(lines[0] == "MIXORAMA-SETUP 1.0", "the file starts with its format and version")
        for want in ["rate = 22050", "slot1.path = BD7525.WAV", "slot1.locked = 1",
                     "slot1.level = %d" % e2e.closeness(100, 100, 1),
                     "slot3.path = CP.WAV", "slot3.muted = 1", "slot3.level = 1",
                     "slot8.path = MA.WAV", "slot2.path =", "end"]:
            check(want in lines, "the file holds %r" % want)
        saved = read(path)

        # Saving over it asks first; No leaves the file alone.
        s.command(pd.CMD_SAVE_SETUP)
        pd.enter_name("Save Setup", os.path.basename(path))
        box = s.wait_box("*", 10000)
        e2e.figure("replace question", box)
        check(box is not None and box[0] == "Save Setup",
              "the save dialog asks before it replaces a file (got %r)" % (box,))
        if box is not None:
            s.answer(box[1], "no")
        check(pd.cancel_dialog("Save Setup"), "the save dialog is cancelled")
        check(read(path) == saved, "the file is unchanged")

        # Change everything, then load the file back.
        change_rate(s, e2e.CMD_44100)
        s.click(e2e.ID_LOAD(2))
        require(pd.choose_file(s, "Open Wave", "CH.WAV"), "another wave chosen")
        require(load_setup(s, "session.st"), "the open dialog closes")
        check(s.driver("no-box", 1500)[0] == 0, "loading a setup asks nothing")
        check(pd.labels(s) == LABELS, "the labels are back (got %r)" % pd.labels(s))
        check(pd.rate_marks(s) == [False, True, False], "22050 is checked again")
        check(s.square_colour(1) == e2e.RED, "slot 1 is locked again")
        check(s.square_colour(3) == e2e.GREEN, "slot 3 is muted again")
        s.expect_text(e2e.ID_PLAY, e2e.PLAY, "stopped playback stays stopped")

        # Round trip: the loaded session saves as the same bytes.
        require(save_setup(s, "again"), "the save dialog closes")
        again = find_file(s.dir, "again.st")
        check(again is not None and read(again) == saved,
              "saving the loaded session gives the same file")

        # A name of no file: the open dialog accepts it, the file error box names it.
        require(load_setup(s, "NOFILE.ST"), "the open dialog accepts a name of no file")
        box = s.wait_box("File Error", 10000)
        check(box is not None and box[0].upper().endswith("\\NOFILE.ST"),
              "the file error box is captioned with the file's path (got %r)" % (box,))
        if box is not None:
            s.answer("File Error", "ok")
        check(pd.labels(s) == LABELS, "a missing file changes nothing")

        # A broken file and a foreign file: one message each, nothing changes.
        with open(os.path.join(s.dir, "BROKEN.ST"), "wb") as f:
            f.write(b"MIXORAMA-SETUP 1.0\r\nrate = 12345\r\nend\r\n")
        for name, message in [("BROKEN.ST", "Setup file error, line 2 : the rate must be "
                                            "11025, 22050 or 44100"),
                              ("CH.WAV", "This is not a Mixorama setup file")]:
            require(load_setup(s, name), "the open dialog closes")
            box = s.wait_box("*", 10000)
            check(box == (e2e.TITLE_AT_START, message), "%s: %r (got %r)" % (name, message, box))
            if box is not None:
                s.answer(box[1], "ok")
            check(s.driver("no-box", 1000)[0] == 0, "%s: one message only" % name)
            check(pd.labels(s) == LABELS, "%s: the labels are as they were" % name)
        check(pd.rate_marks(s) == [False, True, False], "the rate is as it was")

        # Playing at the same rate: the load keeps playing.
        s.click(e2e.ID_PLAY)
        s.move(20, 20)
        require(pd.wait_stream_rate(22050), "playing at 22050 Hz")
        s.move_cursor_away()
        s.click(e2e.ID_NOWAVE(1))
        immutable = make_read_only(path)
        try:
            require(load_setup(s, "session.st"), "the open dialog closes")
            check(s.driver("no-box", 1500)[0] == 0,
                  "a read-only setup file loads without a message")
            # Saving over it fails; the file keeps its content and no stray file is left.
            s.command(pd.CMD_SAVE_SETUP)
            pd.enter_name("Save Setup", os.path.basename(path))
            s.answer("*", "yes", 10000)  # the replace question
            pd.window_gone("Save Setup")
            box = s.wait_box("*", 10000)
            check(box == (e2e.TITLE_AT_START, "Error writing the setup file"),
                  "a failed save says so (got %r)" % (box,))
            if box is not None:
                s.answer(box[1], "ok")
            check(read(path) == saved, "the failed save left the file as it was")
            strays = [f for f in os.listdir(s.dir) if f.lower().endswith(".tmp")]
            check(strays == [], "no temporary file is left behind (got %r)" % strays)
        finally:
            if immutable:
                subprocess.run(["chattr", "-i", path], timeout=20)
        check(pd.labels(s) == LABELS, "the read-only file restored slot 1 (got %r)" %
              pd.labels(s))
        s.expect_text(e2e.ID_PLAY, e2e.CUT, "playback goes on")
        check(pd.stream_rates() == [22050], "one stream, still at 22050 Hz")

        # A hand-edited copy at 44100 while playing: playback restarts at the new rate.
        with open(os.path.join(s.dir, "FAST.ST"), "wb") as f:
            f.write(saved.replace(b"rate = 22050", b"rate = 44100"))
        require(load_setup(s, "FAST.ST"), "the open dialog closes")
        check(pd.wait_stream_rate(44100), "playback restarted at 44100 Hz")
        check(pd.stream_rates() == [44100], "one stream (got %r)" % pd.stream_rates())
        s.expect_text(e2e.ID_PLAY, e2e.CUT, "the play button")
        check(pd.labels(s) == LABELS, "the waves are loaded at the new rate")
        s.quit_with_ok()


e2e.run(scenario)
