"""The scenarios' harness: mixorama.exe under Wine, played by driver.exe, heard on the null sink."""
import os
import shutil
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "../../scripts"))
import sound  # noqa: E402
import wine_env  # noqa: E402

STARTUP_SET = [n + ".WAV" for n in "BD7525 CP MA LT50 SD0010 BD7525 CH HC50".split()]
PROGRAM_TITLE = "Mixorama V\xb01.00"  # the degree sign is the ANSI byte 0xB0
PLAY, SYNC, MAP = 189, 133, 200
LOAD_SETUP, SAVE_SETUP, QUIT, HELP, RATE_11025, RATE_22050, RATE_44100 = range(900, 907)
WM_CLOSE, WM_COMMAND, IDOK, IDCANCEL, IDYES, IDNO = 0x10, 0x111, 1, 2, 6, 7
VK_RETURN, VK_ESCAPE, VK_MENU, VK_NUMPAD0 = 0x0D, 0x1B, 0x12, 0x60
BUTTON = {"l": (2, 4), "r": (8, 16)}  # MOUSEEVENTF_LEFTDOWN, LEFTUP, RIGHTDOWN, RIGHTUP
SLOT_POINT = {1: (87, 0), 2: (0, 87), 3: (0, 262), 4: (87, 350), 5: (262, 350),
              6: (350, 262), 7: (350, 87), 8: (262, 0)}
RED, GREEN, IDLE = (255, 0, 0), (0, 255, 0), (0, 0, 255)
RATE = wine_env.SINK_RATE     # of the recording: the sink's own, so nothing resamples it
LOOP = 22048 * RATE // 11025  # the demo set's loop: 22048 frames at the start-up rate
TIMEOUT = 30                  # seconds: a generous bound on every wait, never a pause
# A release unpacked (scripts/stages/60-package.sh): the program runs in place from this
# folder, with the demo set it came with, and a scenario plays its first part only.
IN_PLACE = os.environ.get("MIXO_IN_PLACE")
failures = []


def LABEL(slot): return 124 + slot      # noqa: E302,E704 (slots 1 to 8)
def LOAD(slot): return 100 + slot       # noqa: E302,E704
def NO_WAVE(slot): return 108 + slot    # noqa: E302,E704


def check(cond, what):
    print(("  ok    " if cond else "  FAIL  ") + what, flush=True)
    failures.extend([] if cond else [what])


def need(cond, what):  # a step the scenario cannot go on without
    if not cond:
        check(False, what)
        raise AssertionError(what)


def figure(name, value, unit=""):
    print("  figure %s = %s %s" % (name, value, unit), flush=True)


def wait(get, what, timeout=TIMEOUT):  # polls get() until it returns something true
    deadline = time.monotonic() + timeout
    while not (got := get()):
        need(time.monotonic() < deadline, "within %d s: %s" % (timeout, what))
        time.sleep(0.1)
    return got


class Program:  # mixorama.exe in MIXO_WORK/name with the demo set, replaced: file -> bytes|None
    # beside: files (name -> bytes) for the program's own folder, which then holds a copy of it

    def __init__(self, name, replaced=(), beside=()):
        self.dir, self.rec = IN_PLACE or os.path.join(os.environ["MIXO_WORK"], name), None
        exe = os.path.join(self.dir, "mixorama.exe") if IN_PLACE else self.fill(replaced, beside)
        self.drv = subprocess.Popen(["wine", os.environ["MIXO_DRIVER"]], stdin=subprocess.PIPE,
                                    stdout=subprocess.PIPE)
        self.driver("move", 1000, 740)  # off the frame: a window under the pointer gets a move
        self.proc = subprocess.Popen([*wine_env.realtime(), "wine", exe],
                                     cwd=self.dir, stdin=subprocess.DEVNULL,
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def fill(self, replaced, beside):  # the program's working folder; returns the exe to run
        shutil.rmtree(self.dir, ignore_errors=True)
        os.makedirs(self.dir)
        for f in STARTUP_SET:
            data = dict(replaced).get(f, open(os.environ["MIXO_DEMO"] + "/" + f, "rb").read())
            if data is not None:
                open(os.path.join(self.dir, f), "wb").write(data)
        exe = shutil.copy(os.environ["MIXO_EXE"], self.dir) if beside else os.environ["MIXO_EXE"]
        for f, data in dict(beside).items():
            open(os.path.join(self.dir, f), "wb").write(data)
        return exe

    def __enter__(self):
        return self

    def __exit__(self, kind, exc, tb):
        if kind and kind is not AssertionError:
            check(False, "scenario raised %s: %s" % (kind.__name__, exc))
        for proc in filter(None, (self.rec, self.proc, self.drv)):
            proc.kill()
        return kind is AssertionError  # counted in failures already

    def driver(self, *fields):  # the reply lines of one command, split into fields
        self.drv.stdin.write(("\t".join(map(str, fields)) + "\n").encode("latin-1"))
        self.drv.stdin.flush()
        lines = []
        while (line := self.drv.stdout.readline().decode("latin-1").rstrip("\r\n")) != "ok":
            need(line and not line.startswith("err "), "driver %r: %r" % (fields, line))
            lines.append([f.encode("latin-1").decode("unicode_escape") for f in line.split("\t")])
        return lines

    def windows(self, cls=None):
        return [w for w in self.driver("windows") if cls in (None, w[1])]

    def gone(self, hwnd):
        return hwnd not in [w[0] for w in self.windows()]

    def frame(self):  # (hwnd, title) of the main frame, or None
        return next(iter(w[::2] for w in self.windows("MixoramaFrame")), None)

    def up(self):
        wait(lambda: (self.frame() or (0, 0))[1] == "Mixorama Demo", "the frame 'Mixorama Demo'")

    def controls(self):  # {id: (hwnd, text)} of the panel, the dialog with the play button
        kids = self.driver("children", wait(self.frame, "the frame")[0])
        self.panel = next(k[1] for k in kids if k[2] == str(PLAY))
        return {int(k[2]): (k[0], k[4]) for k in kids if k[1] == self.panel}

    def text(self, control):
        return self.controls()[control][1]

    def labels(self):
        return [self.text(LABEL(n)) for n in range(1, 9)]

    def click(self, control):  # as the panel's button itself reports a press
        button = self.controls()[control][0]
        self.driver("post", self.panel, WM_COMMAND, control, int(button, 16))

    def command(self, item, message=WM_COMMAND):
        self.driver("post", self.frame()[0], message, item, 0)

    def boxes(self):  # [(hwnd, caption, text)] of the message boxes: static 0xFFFF, no edit
        dialogs = [(w[0], w[2], {k[2]: k for k in self.driver("children", w[0])})
                   for w in self.windows("#32770")]
        return [(h, caption, kids["65535"][4].replace("\r\n", "\n")) for h, caption, kids in dialogs
                if "65535" in kids and "Edit" not in [k[3] for k in kids.values()]]

    def answer(self, button, text=None):  # to the one open box (with that text)
        box = wait(lambda: [b for b in self.boxes() if text in (None, b[2])], "a message box")
        need(len(box) == 1, "one message box is open: %r" % (box,))
        self.driver("post", box[0][0], WM_COMMAND, button, 0)
        wait(lambda: self.gone(box[0][0]), "the box closes")
        return box[0][1:]

    def asks(self, button, caption, text, what):
        box = self.answer(button)
        check(box == (caption, text), "%s: %r" % (what, box))

    def choose_file(self, item, name):  # confirms name in the dialog of a command or button
        title = {LOAD_SETUP: "Open Setup", SAVE_SETUP: "Save Setup"}.get(item, "Open Wave")
        (self.command if item in (LOAD_SETUP, SAVE_SETUP) else self.click)(item)
        dialog = wait(lambda: [w[0] for w in self.windows("#32770") if w[2] == title], title)[0]
        self.driver("settext", next(k[0] for k in self.driver("children", dialog)
                                    if k[3] == "Edit"), name)
        self.driver("post", dialog, WM_COMMAND, IDOK, 0)
        wait(lambda: self.boxes() or self.gone(dialog), "it closes")
        return dialog

    def ends(self, what):
        wait(lambda: self.proc.poll() is not None, what)
        check(self.proc.returncode == 0, "%s with exit code 0: %r" % (what, self.proc.returncode))

    def on_screen(self, x, y):  # a point of the map
        ox, oy = map(int, self.driver("rect", self.controls()[MAP][0])[0][4:])
        return ox + x, oy + y

    def move(self, x, y):
        self.driver("move", *self.on_screen(x, y))

    def keys(self, *vks, hows=("down", "up")):  # pressed in order, released in reverse
        for how, vk in [(h, vk) for h in hows for vk in (vks if h == "down" else vks[::-1])]:
            self.driver("key", vk, how)

    def map_click(self, button, slot, colour, keypad=None):  # keypad held until square shows
        key = [VK_NUMPAD0 + keypad] if keypad else []
        self.keys(*key, hows=["down"])
        for flags in BUTTON[button]:
            self.driver("mouse", flags)
        wait(lambda: self.square(slot) == colour, "square %d turns %r" % (slot, colour))
        self.keys(*key, hows=["up"])

    def grab(self, x, y, w, h):
        return [[tuple(int(r[0][k + i:k + i + 2], 16) for i in (0, 2, 4))
                 for k in range(0, 6 * w, 6)] for r in self.driver("grab", x, y, w, h)]

    def square(self, slot):  # read near its corner away from the slot's point
        return self.grab(*self.on_screen(*(max(v - 8, 2) for v in SLOT_POINT[slot])), 1, 1)[0][0]

    def rate_marks(self):
        """The Frequency items' check marks, on screen; Alt, not a second Escape, ends the menu."""
        self.keys(VK_MENU, ord("F"))
        menu = wait(lambda: self.windows("#32768"), "the Frequency menu opens")[0][0]
        left, top, right, bottom = map(int, self.driver("rect", menu)[0][:4])
        shots = [None, None]  # drawn: three grabs alike, with the items' black text in them
        wait(lambda: shots.append(self.grab(left, top, right - left, bottom - top)) or
             shots[-1] == shots[-2] == shots[-3] and any((0, 0, 0) in r for r in shots[-1]),
             "the menu is drawn")
        self.keys(VK_ESCAPE)
        wait(lambda: not self.windows("#32768"), "the menu closes")
        self.keys(VK_MENU)
        # Each item: the pixels of its check column that differ from its background.
        px, row = shots[-1], (bottom - top - 6) // 3
        ink = [sum(1 for y in range(y0, y0 + row - 4) for x in range(4, 18)
                   if sum(abs(a - b) for a, b in zip(px[y][x], px[y0 + row // 2][-6])) > 150)
               for y0 in range(3 + 2, 3 + 3 * row, row)]
        return [n >= 6 for n in ink]

    def record(self):
        self.rec_path = os.path.join(self.dir, "sink.raw")
        self.rec = subprocess.Popen([*wine_env.realtime(),
            "parecord", "--raw", "--device=%s.monitor" % os.environ["MIXORAMA_SINK"],
            "--rate=%d" % RATE, "--channels=2", "--format=s16le", "--latency-msec=20",
            self.rec_path], stdin=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        wait(lambda: os.path.exists(self.rec_path) and os.path.getsize(self.rec_path),
             "the recording starts")

    def heard(self):  # the frames recorded so far
        return sound.frames(open(self.rec_path, "rb").read())

    def until(self, find, what):  # what find(frames) tells once it tells something
        return wait(lambda: [r for r in [find(self.heard())] if r is not None], what)[0]

    def loops(self, n, after):  # the recording once it holds n loops after frame after
        return self.until(lambda x: x if len(x) > after + n * LOOP + sound.KEY else None,
                          "%d loops of sound" % n)


def run(scenario):  # in the environment of scripts/wine_env.py, which ctest runs in
    start = time.monotonic()
    scenario()
    print("%d failed, %.1f s" % (len(failures), time.monotonic() - start))
    sys.exit(1 if failures else 0)
