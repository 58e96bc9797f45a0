"""Harness of the end-to-end scenarios: the real mixorama.exe under Wine, driven by driver.exe
(see its header), heard through a recording of the null sink.

    with e2e.Program("name") as p:      # runs the program in build/e2e/name with the demo set
        p.wait(lambda: p.title() == "Mixorama Demo", "the title")
        p.click(e2e.PLAY)

A scenario is scenario_<name>.py; check() counts a failure and goes on, need() stops.
Paths come from the environment ctest sets (MIXO_EXE, MIXO_DRIVER, MIXO_DEMO, MIXO_WORK); the
Wine environment is scripts/wine_env.py, brought up here when the caller did not.
"""
import os
import re
import select
import shutil
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "../../scripts"))
import sound  # noqa: E402
import wine_env  # noqa: E402

STARTUP_SET = ["BD7525.WAV", "CP.WAV", "MA.WAV", "LT50.WAV", "SD0010.WAV", "BD7525.WAV",
               "CH.WAV", "HC50.WAV"]
PROGRAM_TITLE = "Mixorama V\xb01.00"      # the degree sign is the ANSI byte 0xB0
PLAY, SYNC, MAP = 189, 133, 200
def LABEL(slot): return 124 + slot        # noqa: E704
def LOAD(slot): return 100 + slot         # noqa: E704
def NO_WAVE(slot): return 108 + slot      # noqa: E704
LOAD_SETUP, SAVE_SETUP, QUIT, HELP, RATE_11025, RATE_22050, RATE_44100 = range(900, 907)
WM_CLOSE, WM_COMMAND = 0x10, 0x111
IDOK, IDCANCEL, IDYES, IDNO = 1, 2, 6, 7
VK_RETURN, VK_ESCAPE, VK_MENU = 0x0D, 0x1B, 0x12
def VK_NUMPAD(n): return 0x60 + n         # noqa: E704
SLOT_POINT = {1: (87, 0), 2: (0, 87), 3: (0, 262), 4: (87, 350), 5: (262, 350),
              6: (350, 262), 7: (350, 87), 8: (262, 0)}
RED, GREEN, IDLE = (255, 0, 0), (0, 255, 0), (0, 0, 255)
RATE = wine_env.SINK_RATE     # of the recording: the sink's own, so nothing resamples it
LOOP = 22048 * RATE // 11025  # the demo set's loop: 22048 frames at the start-up rate
TIMEOUT = 30                  # seconds: generous bounds on every wait, never a pause

failures = []


def check(cond, what):
    print(("  ok    " if cond else "  FAIL  ") + what, flush=True)
    if not cond:
        failures.append(what)
    return cond


def need(cond, what):
    """A step the scenario cannot go on without: counted only when it fails."""
    if not cond:
        check(False, what)
        raise AssertionError(what)


def figure(name, value, unit=""):
    print("  figure %s = %s %s" % (name, value, unit), flush=True)


def wait(get, what, timeout=TIMEOUT):
    """Polls get() until it returns something true; returns it, or stops the scenario."""
    deadline = time.monotonic() + timeout
    while True:
        got = get()
        if got:
            return got
        need(time.monotonic() < deadline, "within %d s: %s" % (timeout, what))
        time.sleep(0.1)


def level_colour(x, y, slot):
    """A square's colour for the cursor at map pixel (x, y): level v = 350 - distance."""
    px, py = SLOT_POINT[slot]
    f = max(1, 350 - int(((x - px) ** 2 + (y - py) ** 2) ** 0.5)) * 255 // 350
    return (f, f, 255 - f)


class Driver:
    def __init__(self):
        self.proc = subprocess.Popen(["wine", os.environ["MIXO_DRIVER"]], stdin=subprocess.PIPE,
                                     stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        self.buf = b""

    def __call__(self, *fields):
        """The reply lines of one command, split into fields."""
        line = "\t".join(re.sub(r"[^ -\[\]-~]", lambda m: "\\x%02X" % ord(m.group()), str(f))
                         for f in fields)
        self.proc.stdin.write((line + "\n").encode("latin-1"))
        self.proc.stdin.flush()
        lines, deadline = [], time.monotonic() + TIMEOUT
        while True:
            while b"\n" not in self.buf:
                need(select.select([self.proc.stdout], [], [], deadline - time.monotonic())[0],
                     "the driver answers %r" % (fields,))
                chunk = os.read(self.proc.stdout.fileno(), 65536)
                need(chunk, "the driver runs")
                self.buf += chunk
            line, self.buf = self.buf.split(b"\n", 1)
            line = line.decode("latin-1").rstrip("\r")
            if line == "ok":
                return lines
            need(not line.startswith("err "), "driver %r: %s" % (fields, line))
            lines.append([re.sub(r"\\x([0-9A-F]{2})|\\\\", lambda m: chr(int(m.group(1), 16))
                                 if m.group(1) else "\\", f) for f in line.split("\t")])


class Program:
    def __init__(self, name, replaced=None):
        """replaced: demo file name -> bytes written instead (None: the file is left out)."""
        self.dir = os.path.join(os.environ["MIXO_WORK"], name)
        self.replaced, self.rec, self.proc = replaced or {}, None, None

    def __enter__(self):
        shutil.rmtree(self.dir, ignore_errors=True)
        os.makedirs(self.dir)
        for f in STARTUP_SET:
            shutil.copy(os.path.join(os.environ["MIXO_DEMO"], f), self.dir)
        for f, data in self.replaced.items():
            os.remove(os.path.join(self.dir, f))
            if data is not None:
                open(os.path.join(self.dir, f), "wb").write(data)
        self.driver = Driver()
        self.driver("move", 1000, 740)  # off the frame: a window under the pointer gets a move
        self.proc = subprocess.Popen(wine_env.realtime() + ["wine", os.environ["MIXO_EXE"]],
                                     cwd=self.dir,
                                     stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                     stderr=subprocess.DEVNULL, start_new_session=True)
        return self

    def __exit__(self, kind, exc, tb):
        if kind and kind is not AssertionError:
            check(False, "scenario raised %s: %s" % (kind.__name__, exc))
        if self.rec:
            self.rec.terminate()
        if self.proc.poll() is None:
            self.proc.kill()
        self.driver.proc.stdin.close()
        self.driver.proc.wait(timeout=TIMEOUT)
        return kind is AssertionError  # counted in failures; the scenario goes on

    # -- windows --------------------------------------------------------------------------
    def windows(self, cls=None):
        return [w for w in self.driver("windows") if cls is None or w[1] == cls]

    def frame(self):
        found = self.windows("MixoramaFrame")
        return found[0][0] if found else None

    def controls(self):
        """{control id: (hwnd, text)} of the panel, the dialog that holds the play button."""
        kids = self.driver("children", wait(self.frame, "the frame"))
        self.panel = next(k[1] for k in kids if k[2] == str(PLAY))
        return {int(k[2]): (k[0], k[4]) for k in kids if k[1] == self.panel}

    def text(self, control):
        return self.controls()[control][1]

    def labels(self):
        c = self.controls()
        return [c[LABEL(n)][1] for n in range(1, 9)]

    def title(self):
        found = self.windows("MixoramaFrame")
        return found[0][2] if found else None

    def click(self, control):
        """A press of the panel's button, as the button itself reports it."""
        button = self.controls()[control][0]
        self.driver("post", self.panel, WM_COMMAND, control, int(button, 16))

    def command(self, item):
        self.driver("post", self.frame(), WM_COMMAND, item, 0)

    def close(self):
        self.driver("post", self.frame(), WM_CLOSE, 0, 0)

    def boxes(self):
        """[(hwnd, caption, text)] of the open message boxes: dialogs holding the static
        text 0xFFFF and no edit field. Their texts have CR LF where the program gave LF."""
        out = []
        for hwnd, _, caption in self.windows("#32770"):
            kids = self.driver("children", hwnd)
            if any(k[2] == "65535" for k in kids) and not any(k[3] == "Edit" for k in kids):
                text = next(k[4] for k in kids if k[2] == "65535")
                out.append((hwnd, caption, text.replace("\r\n", "\n")))
        return out

    def answer(self, button, text=None):
        """Answers the one open box (with that text); returns (caption, text)."""
        box = wait(lambda: [b for b in self.boxes() if text in (None, b[2])], "a message box")
        need(len(box) == 1, "one message box is open (%r)" % (box,))
        self.driver("post", box[0][0], WM_COMMAND, button, 0)
        wait(lambda: not any(b[0] == box[0][0] for b in self.windows()), "the box closes")
        return box[0][1:]

    def choose_file(self, title, name):
        """Types name into the open file dialog titled title and confirms it."""
        dialog = wait(lambda: [w[0] for w in self.windows("#32770") if w[2] == title], title)[0]
        edit = next(k[0] for k in self.driver("children", dialog) if k[3] == "Edit")
        self.driver("settext", edit, name)
        self.driver("post", dialog, WM_COMMAND, IDOK, 0)
        wait(lambda: not any(w[0] == dialog for w in self.windows()), title + " closes")

    def exit_code(self):
        try:
            return self.proc.wait(timeout=TIMEOUT)
        except subprocess.TimeoutExpired:
            return None

    # -- mouse, keys, screen ----------------------------------------------------------------
    def map_origin(self):
        r = self.driver("rect", self.controls()[MAP][0])[0]
        return int(r[4]), int(r[5])

    def move(self, x, y):
        ox, oy = self.map_origin()
        self.driver("move", ox + x, oy + y)

    def keys(self, *steps):
        for vk, how in steps:
            self.driver("key", vk, how)

    def map_click(self, button, slot, colour, keypad=None):
        """A click where the cursor is (with a keypad key held) until the slot's square shows
        the colour: the program reads the key when it handles the click, so the key stays
        down until then."""
        if keypad:
            self.keys((VK_NUMPAD(keypad), "down"))
        self.driver("button", button, "down")
        self.driver("button", button, "up")
        wait(lambda: self.square(slot) == colour, "square %d turns %r" % (slot, colour))
        if keypad:
            self.keys((VK_NUMPAD(keypad), "up"))

    def grab(self, x, y, w, h):
        rows = self.driver("grab", x, y, w, h)
        return [[tuple(int(r[0][i:i + 2], 16) for i in (k, k + 2, k + 4))
                 for k in range(0, 6 * w, 6)] for r in rows]

    def square(self, slot):
        """A slot's square colour, read near its corner away from the slot's point."""
        ox, oy = self.map_origin()
        px, py = SLOT_POINT[slot]
        return self.grab(ox + max(px - 8, 2), oy + max(py - 8, 2), 1, 1)[0][0]

    def rate_marks(self):
        """Which Frequency items carry a check mark: the menu opened with Alt+F, its check
        column read from the screen, then closed with Escape and a tap of Alt (a second Escape
        would reach the panel, whose Cancel ends the program)."""
        self.keys((VK_MENU, "down"), (ord("F"), "down"), (ord("F"), "up"), (VK_MENU, "up"))
        menu = wait(lambda: self.windows("#32768"), "the Frequency menu opens")[0][0]
        left, top, right, bottom = map(int, self.driver("rect", menu)[0][:4])
        shots = [None, None]

        def drawn():  # three grabs alike, with the items' black text in them
            shots.append(self.grab(left, top, right - left, bottom - top))
            return shots[-1] == shots[-2] == shots[-3] and any((0, 0, 0) in r for r in shots[-1])

        wait(drawn, "the menu is drawn")
        px = shots[-1]
        self.keys((VK_ESCAPE, "down"), (VK_ESCAPE, "up"))
        wait(lambda: not self.windows("#32768"), "the menu closes")
        self.keys((VK_MENU, "down"), (VK_MENU, "up"))
        rows, marks = (len(px) - 6) / 3.0, []
        for i in range(3):
            ys = range(int(3 + i * rows) + 2, int(3 + (i + 1) * rows) - 2)
            bg = px[ys[len(ys) // 2]][-6]
            ink = sum(1 for y in ys for x in range(4, 18)
                      if sum(abs(a - b) for a, b in zip(px[y][x], bg)) > 150)
            marks.append(ink)
        figure("ink in the check column of 11025, 22050, 44100", marks, "pixels")
        return [ink >= 6 for ink in marks]

    # -- sound ----------------------------------------------------------------------------
    def record(self):
        """Starts recording the sink."""
        self.rec_path = os.path.join(self.dir, "sink.raw")
        self.rec = subprocess.Popen(wine_env.realtime() + [
            "parecord", "--raw", "--device=%s.monitor" % os.environ["MIXORAMA_SINK"],
             "--rate=%d" % RATE, "--channels=2", "--format=s16le", "--latency-msec=20",
             self.rec_path], stdin=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        wait(lambda: os.path.exists(self.rec_path) and os.path.getsize(self.rec_path) > 0,
             "the recording starts")

    def heard(self):
        """The frames recorded so far."""
        return sound.frames(open(self.rec_path, "rb").read())

    def until(self, find, what, timeout=TIMEOUT):
        """Waits until find(frames) tells something in the growing recording; returns it."""
        return wait(lambda: [r for r in [find(self.heard())] if r is not None], what,
                    timeout)[0]

    def loops(self, n, after):
        """The recording once it holds n loops after frame after."""
        return self.until(lambda x: x if len(x) > after + n * LOOP + sound.KEY else None,
                          "%d loops of sound" % n)


def run(scenario):
    """Runs the scenario inside the Wine environment, bringing it up when needed."""
    start = time.monotonic()
    if os.environ.get("MIXORAMA_WINE_ENV") == "1":
        scenario()
    else:
        with wine_env.environment():
            scenario()
    print("%d failed, %.1f s" % (len(failures), time.monotonic() - start))
    sys.exit(1 if failures else 0)
