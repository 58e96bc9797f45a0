"""Harness of the scenarios (scenario_*.py): the real mixorama.exe under Wine, played by
driver.exe (see its header), heard through a recording of the null sink. Paths come from
MIXO_EXE, MIXO_DRIVER, MIXO_DEMO and MIXO_WORK (set by ctest)."""
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
PROGRAM_TITLE = "Mixorama V\xb01.00"  # the degree sign is the ANSI byte 0xB0
PLAY, SYNC, MAP = 189, 133, 200
LOAD_SETUP, SAVE_SETUP, QUIT, HELP, RATE_11025, RATE_22050, RATE_44100 = range(900, 907)
WM_CLOSE, WM_COMMAND, IDOK, IDCANCEL, IDYES, IDNO = 0x10, 0x111, 1, 2, 6, 7
VK_RETURN, VK_ESCAPE, VK_MENU, VK_NUMPAD0 = 0x0D, 0x1B, 0x12, 0x60
SLOT_POINT = {1: (87, 0), 2: (0, 87), 3: (0, 262), 4: (87, 350), 5: (262, 350),
              6: (350, 262), 7: (350, 87), 8: (262, 0)}
RED, GREEN, IDLE = (255, 0, 0), (0, 255, 0), (0, 0, 255)
RATE = wine_env.SINK_RATE     # of the recording: the sink's own, so nothing resamples it
LOOP = 22048 * RATE // 11025  # the demo set's loop: 22048 frames at the start-up rate
TIMEOUT = 30                  # seconds: a generous bound on every wait, never a pause
failures = []


def LABEL(slot): return 124 + slot      # noqa: E302,E704 (slots 1 to 8)
def LOAD(slot): return 100 + slot       # noqa: E302,E704
def NO_WAVE(slot): return 108 + slot    # noqa: E302,E704


def check(cond, what):
    print(("  ok    " if cond else "  FAIL  ") + what, flush=True)
    failures.extend([] if cond else [what])
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
    while not (got := get()):
        need(time.monotonic() < deadline, "within %d s: %s" % (timeout, what))
        time.sleep(0.1)
    return got


class Driver:
    def __init__(self):
        self.proc, self.buf = subprocess.Popen(["wine", os.environ["MIXO_DRIVER"]],
                                               stdin=subprocess.PIPE, stdout=subprocess.PIPE), b""

    def __call__(self, *fields):
        """The reply lines of one command, split into fields."""
        self.proc.stdin.write(("\t".join(map(str, fields)) + "\n").encode("latin-1"))
        self.proc.stdin.flush()
        lines, deadline = [], time.monotonic() + TIMEOUT
        while True:
            while b"\n" not in self.buf:
                need(select.select([self.proc.stdout], [], [], deadline - time.monotonic())[0]
                     and self.grow(), "the driver answers %r" % (fields,))
            line, self.buf = self.buf.split(b"\n", 1)
            line = line.decode("latin-1").rstrip("\r")
            if line == "ok":
                return lines
            need(not line.startswith("err "), "driver %r: %s" % (fields, line))
            lines.append([re.sub(r"\\x(..)", lambda m: chr(int(m.group(1), 16)), f)
                          for f in line.split("\t")])

    def grow(self):
        self.buf += os.read(self.proc.stdout.fileno(), 65536)
        return self.buf


class Program:
    """mixorama.exe run in MIXO_WORK/name with the demo set; replaced: demo file name ->
    the bytes written instead, or None to leave it out."""

    def __init__(self, name, replaced=None):
        self.dir = os.path.join(os.environ["MIXO_WORK"], name)
        self.replaced, self.rec = replaced or {}, None

    def __enter__(self):
        shutil.rmtree(self.dir, ignore_errors=True)
        os.makedirs(self.dir)
        for f in STARTUP_SET:
            data = self.replaced.get(f, open(os.path.join(os.environ["MIXO_DEMO"], f), "rb").read())
            if data is not None:
                open(os.path.join(self.dir, f), "wb").write(data)
        self.driver = Driver()
        self.driver("move", 1000, 740)  # off the frame: a window under the pointer gets a move
        self.proc = subprocess.Popen([*wine_env.realtime(), "wine", os.environ["MIXO_EXE"]],
                                     cwd=self.dir, stdin=subprocess.DEVNULL,
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        return self

    def __exit__(self, kind, exc, tb):
        if kind and kind is not AssertionError:
            check(False, "scenario raised %s: %s" % (kind.__name__, exc))
        for proc in (self.rec, self.proc):
            if proc and proc.poll() is None:
                proc.kill()
        self.driver.proc.stdin.close()
        self.driver.proc.wait(timeout=TIMEOUT)
        return kind is AssertionError  # counted in failures already

    # -- windows --------------------------------------------------------------------------
    def windows(self, cls=None):
        return [w for w in self.driver("windows") if cls in (None, w[1])]

    def frame(self):  # (hwnd, title) of the main frame, or None
        return next(iter(w[::2] for w in self.windows("MixoramaFrame")), None)

    def title(self):
        return (self.frame() or (None, None))[1]

    def controls(self):
        """{control id: (hwnd, text)} of the panel, the dialog that holds the play button."""
        kids = self.driver("children", wait(self.frame, "the frame")[0])
        self.panel = next(k[1] for k in kids if k[2] == str(PLAY))
        return {int(k[2]): (k[0], k[4]) for k in kids if k[1] == self.panel}

    def text(self, control):
        return self.controls()[control][1]

    def labels(self):
        return [self.text(LABEL(n)) for n in range(1, 9)]

    def click(self, control):
        """A press of the panel's button, as the button itself reports it."""
        button = self.controls()[control][0]
        self.driver("post", self.panel, WM_COMMAND, control, int(button, 16))

    def command(self, item, message=WM_COMMAND):
        self.driver("post", self.frame()[0], message, item, 0)

    def close(self):
        self.command(0, WM_CLOSE)

    def boxes(self):
        """[(hwnd, caption, text)] of the open message boxes: dialogs with the static text
        0xFFFF and no edit field. Their texts have CR LF where the program gave LF."""
        out = []
        for hwnd, _, caption in self.windows("#32770"):
            kids = {k[2]: k for k in self.driver("children", hwnd)}
            if "65535" in kids and "Edit" not in [k[3] for k in kids.values()]:
                out.append((hwnd, caption, kids["65535"][4].replace("\r\n", "\n")))
        return out

    def answer(self, button, text=None):
        """Answers the one open box (with that text); returns (caption, text)."""
        box = wait(lambda: [b for b in self.boxes() if text in (None, b[2])], "a message box")
        need(len(box) == 1, "one message box is open: %r" % (box,))
        self.driver("post", box[0][0], WM_COMMAND, button, 0)
        wait(lambda: box[0][0] not in [w[0] for w in self.windows()], "the box closes")
        return box[0][1:]

    def choose_file(self, title, name):
        """Types name into the file dialog titled title and confirms; returns the dialog once
        it has closed or asks something."""
        dialog = wait(lambda: [w[0] for w in self.windows("#32770") if w[2] == title], title)[0]
        self.driver("settext", next(k[0] for k in self.driver("children", dialog)
                                    if k[3] == "Edit"), name)
        self.driver("post", dialog, WM_COMMAND, IDOK, 0)
        wait(lambda: self.boxes() or dialog not in [w[0] for w in self.windows()], "it closes")
        return dialog

    def exit_code(self):
        try:
            return self.proc.wait(timeout=TIMEOUT)
        except subprocess.TimeoutExpired:
            return None

    # -- mouse, keys, screen ----------------------------------------------------------------
    def map_origin(self):
        return map(int, self.driver("rect", self.controls()[MAP][0])[0][4:])

    def move(self, x, y):
        ox, oy = self.map_origin()
        self.driver("move", ox + x, oy + y)

    def keys(self, *steps):
        for vk, how in steps:
            self.driver("key", vk, how)

    def map_click(self, button, slot, colour, keypad=None):
        """A click where the cursor is, with a keypad key held until the slot's square shows
        the colour: the program reads the key only when it handles the click."""
        key = [VK_NUMPAD0 + keypad] if keypad else []
        self.keys(*[(k, "down") for k in key])
        self.driver("button", button, "down")
        self.driver("button", button, "up")
        wait(lambda: self.square(slot) == colour, "square %d turns %r" % (slot, colour))
        self.keys(*[(k, "up") for k in key])

    def grab(self, x, y, w, h):
        return [[tuple(int(r[0][k + i:k + i + 2], 16) for i in (0, 2, 4))
                 for k in range(0, 6 * w, 6)] for r in self.driver("grab", x, y, w, h)]

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
        shots = [None, None]  # drawn: three grabs alike, with the items' black text in them
        wait(lambda: shots.append(self.grab(left, top, right - left, bottom - top)) or
             shots[-1] == shots[-2] == shots[-3] and any((0, 0, 0) in r for r in shots[-1]),
             "the menu is drawn")
        self.keys((VK_ESCAPE, "down"), (VK_ESCAPE, "up"))
        wait(lambda: not self.windows("#32768"), "the menu closes")
        self.keys((VK_MENU, "down"), (VK_MENU, "up"))
        px, row, ink = shots[-1], (bottom - top - 6) // 3, []
        for y0 in range(3 + 2, 3 + 3 * row, row):  # each item: its check column's pixels
            bg = px[y0 + row // 2][-6]                   # that differ from its background
            ink.append(sum(1 for y in range(y0, y0 + row - 4) for x in range(4, 18)
                           if sum(abs(a - b) for a, b in zip(px[y][x], bg)) > 150))
        figure("ink in the check column of 11025, 22050, 44100", ink, "pixels")
        return [n >= 6 for n in ink]

    # -- sound ----------------------------------------------------------------------------
    def record(self):
        """Starts recording the sink."""
        self.rec_path = os.path.join(self.dir, "sink.raw")
        self.rec = subprocess.Popen([*wine_env.realtime(),
            "parecord", "--raw", "--device=%s.monitor" % os.environ["MIXORAMA_SINK"],
            "--rate=%d" % RATE, "--channels=2", "--format=s16le", "--latency-msec=20",
            self.rec_path], stdin=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        wait(lambda: os.path.exists(self.rec_path) and os.path.getsize(self.rec_path),
             "the recording starts")

    def heard(self):  # the frames recorded so far
        return sound.frames(open(self.rec_path, "rb").read())

    def until(self, find, what):
        """Waits until find(frames) tells something in the growing recording; returns it."""
        return wait(lambda: [r for r in [find(self.heard())] if r is not None], what)[0]

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
