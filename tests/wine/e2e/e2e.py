"""Shared helpers for the end-to-end scenarios of the real Mixorama program under Wine.

A scenario is a python3 script tests/wine/e2e/scenario_<name>.py (registered with ctest by
tests/wine/e2e/CMakeLists.txt) that does:

    import e2e

    def scenario():
        with e2e.Session("name") as s:      # starts mixorama.exe in a folder with the demo set
            s.expect_text(e2e.ID_PLAY, e2e.PLAY)
            s.click(e2e.ID_PLAY)
            s.start_recording()             # records the null sink's monitor
            t = s.move(175, 175)            # epoch time at which the cursor entered the map
            s.sleep(4)
            audio = s.stop_recording()      # an Audio object, see below
            e2e.check(audio.rms(audio.at(t) + 1, audio.at(t) + 3) > 0.01, "sound while mixing")
            s.quit_with_ok()                # "Quit ?" answered OK, exit code 0

    e2e.run(scenario)                       # prints "N passed, M failed"; exit status 0 or 1

Audio: rms(t1, t2) (about the mean, full scale 1.0), envelope, onset, period (envelope
autocorrelation refined to the sample on the waveform), shift (phase of one stretch against
another), all in recording seconds. Screenshots: Session.screenshot(name) saves a PNG into
MIXO_SHOTS and returns the pixels; menu_check_marks reads the check column of an open menu.

Session(name, missing=(...)) copies the demo set into build/e2e-work/<name>, leaving out the
named files, and runs the program with that folder as its working directory. Everything the
session starts (the program, parecord) is ended when the with-block is left, also on failure.

Environment (set by the ctest registration; defaults for a run from the source tree):
    MIXO_EXE       the program, mixorama.exe
    MIXO_DRIVER    the driver, mixo_driver.exe (see its header for its commands)
    MIXO_DEMO_DIR  the folder holding the generated demo set (*.WAV)
    MIXO_WORK      where scenario folders, recordings and logs go (build/e2e-work)
    MIXO_SHOTS     where screenshots go (build/e2e-shots)
    MIXORAMA_WINE_ENV, DISPLAY, WINEPREFIX, MIXORAMA_SINK: the Wine environment of
                   scripts/wine-env.sh. When it is not up, a scenario re-runs itself inside
                   `scripts/wine-env.sh -- python3 scenario.py`.

Checks: check(cond, message) records a pass or a failure and goes on; require(...) stops the
scenario on failure. Measured figures are printed with figure(name, value, unit) so that the
ctest log shows them. Times from the driver are epoch seconds; Audio.at(epoch) turns them into
recording seconds.
"""

import array
import math
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import wave

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.abspath(os.path.join(HERE, "..", "..", ".."))

# The start-up set in slot order (slots 1 and 6 share the kick).
STARTUP_SET = ["BD7525.WAV", "CP.WAV", "MA.WAV", "LT50.WAV", "SD0010.WAV", "BD7525.WAV",
               "CH.WAV", "HC50.WAV"]
TITLE_AT_START = "Mixorama V\\xB01.00"   # as the driver prints it: the degree sign is 0xB0
TITLE_DEMO = "Mixorama Demo"
PLAY = "Press here to play"
CUT = "Press here to cut sound"
QUIT_TEXT = "Quit ?"

# Control ids of the panel.
ID_PLAY = 189
ID_SYNC = 133
ID_MAP = 200
def ID_LABEL(slot): return 124 + slot        # slot 1..8
def ID_LOAD(slot): return 100 + slot
def ID_NOWAVE(slot): return 108 + slot

# Menu command ids.
CMD_QUIT = 902
CMD_11025, CMD_22050, CMD_44100 = 904, 905, 906

# Slot points and squares on the map (client pixels), slot 1..8.
SLOT_POINT = {1: (87, 0), 2: (0, 87), 3: (0, 262), 4: (87, 350), 5: (262, 350),
              6: (350, 262), 7: (350, 87), 8: (262, 0)}
SQUARE_LEFT_TOP = {1: (77, 0), 2: (0, 77), 3: (0, 252), 4: (77, 330), 5: (252, 330),
                   6: (330, 252), 7: (330, 77), 8: (252, 0)}

# Virtual keys.
VK_ESCAPE = 0x1B
VK_MENU = 0x12
def VK_NUMPAD(n): return 0x60 + n

# The demo set loops every 22048 frames at 11025 Hz.
LOOP_SECONDS = 22048 / 11025.0

RECORD_RATE = 11025


def env(name, default):
    return os.environ.get(name) or default


EXE = env("MIXO_EXE", os.path.join(ROOT, "build", "windows", "ui", "win", "mixorama.exe"))
DRIVER = env("MIXO_DRIVER", os.path.join(ROOT, "build", "windows", "tests", "wine", "e2e",
                                          "mixo_driver.exe"))
DEMO_DIR = env("MIXO_DEMO_DIR", os.path.join(ROOT, "build", "windows", "demo"))
WORK = env("MIXO_WORK", os.path.join(ROOT, "build", "e2e-work"))
SHOTS = env("MIXO_SHOTS", os.path.join(ROOT, "build", "e2e-shots"))

_passed = 0
_failed = 0


class ScenarioError(Exception):
    """A required step failed; the scenario cannot go on."""


def log(msg):
    print(msg, flush=True)


def check(cond, message):
    """Records one check. Returns cond so callers may branch on it."""
    global _passed, _failed
    if cond:
        _passed += 1
        log("  ok    " + message)
    else:
        _failed += 1
        log("  FAIL  " + message)
    return bool(cond)


def require(cond, message):
    if not check(cond, message):
        raise ScenarioError(message)


def _need(cond, message):
    """A step the scenario cannot go on without; counted only when it fails."""
    if not cond:
        require(False, message)


def figure(name, value, unit=""):
    if isinstance(value, float):
        value = "%.6g" % value
    log("  figure %s = %s %s" % (name, value, unit))


def done():
    """Prints the tally and exits: 0 when every check passed and at least one ran."""
    log("%d passed, %d failed" % (_passed, _failed))
    sys.exit(0 if _failed == 0 and _passed > 0 else 1)


def ensure_wine_env():
    """Re-runs the calling scenario inside scripts/wine-env.sh when the environment is not up."""
    if os.environ.get("MIXORAMA_WINE_ENV") == "1":
        return
    script = os.path.join(ROOT, "scripts", "wine-env.sh")
    log("wine environment not up: running inside " + script)
    os.execvp("bash", ["bash", script, "--", sys.executable] + sys.argv)


def db(x):
    return 20.0 * math.log10(x) if x > 0 else -200.0


class Audio:
    """A mono 16-bit recording of the sink's monitor, with its start as an epoch time."""

    def __init__(self, samples, rate, start_epoch, path):
        self.samples = samples          # array('h')
        self.rate = rate
        self.start_epoch = start_epoch
        self.path = path

    def duration(self):
        return len(self.samples) / float(self.rate)

    def at(self, epoch):
        """Recording seconds of an epoch time."""
        return epoch - self.start_epoch

    def _range(self, t1, t2):
        i1 = max(0, int(t1 * self.rate))
        i2 = min(len(self.samples), int(t2 * self.rate))
        return i1, i2

    def rms(self, t1, t2):
        """RMS about the mean (a DC offset is not sound), full scale = 1.0."""
        i1, i2 = self._range(t1, t2)
        n = i2 - i1
        if n <= 0:
            return 0.0
        seg = self.samples[i1:i2]
        mean = sum(seg) / float(n)
        acc = 0.0
        for v in seg:
            d = v - mean
            acc += d * d
        return math.sqrt(acc / n) / 32768.0

    def envelope(self, t1, t2, step):
        """RMS about the mean of consecutive windows of step seconds over [t1, t2)."""
        out = []
        t = t1
        while t + step <= t2 + 1e-9:
            out.append(self.rms(t, t + step))
            t += step
        return out

    def onset(self, t1, threshold, step=0.01):
        """First time from t1 on at which a window of step seconds exceeds threshold."""
        t = max(0.0, t1)
        end = self.duration() - step
        while t <= end:
            if self.rms(t, t + step) > threshold:
                return t
            t += step
        return None

    def _match(self, i_ref, i_seg, n, span):
        """Sample offset d within +-span at which samples[i_ref + d:] best matches
        samples[i_seg:] over n samples. The search uses the first 0.5 s; the correlation
        returned is over all n samples at the offset found."""
        probe = min(n, self.rate // 2)
        seg = self.samples[i_seg:i_seg + probe]
        best = (None, -2.0)
        for d in range(-span, span + 1):
            a = i_ref + d
            if a < 0 or a + n > len(self.samples):
                continue
            c = _ncc(self.samples[a:a + probe], seg)
            if c > best[1]:
                best = (d, c)
        if best[0] is None:
            return None, 0.0
        a = i_ref + best[0]
        return best[0], _ncc(self.samples[a:a + n], self.samples[i_seg:i_seg + n])

    def period(self, t1, t2, min_lag, max_lag, step=0.005, span=0.04):
        """Loop period of the sound over [t1, t2): the shortest lag whose envelope
        autocorrelation is within 0.02 of the best one, refined to the sample on the waveform
        within +-span seconds. Returns (period seconds, waveform correlation at it)."""
        env_ = self.envelope(t1, t2, step)
        corr = _autocorr(env_, int(min_lag / step), int(max_lag / step))
        if not corr:
            return None, 0.0
        best = max(c for _, c in corr)
        lag = next(l for l, c in corr if c >= best - 0.02)
        i = int(t1 * self.rate)
        centre = int(lag * step * self.rate)
        n = int((t2 - t1) * self.rate) - centre - int(span * self.rate) - 1
        if n <= 0:
            return None, 0.0
        # Compare the stretch from t1 with the stretch one period later.
        d, c = self._match(i + centre, i, n, int(span * self.rate))
        if d is None:
            return None, 0.0
        return (centre + d) / float(self.rate), c

    def shift(self, ref_t1, t1, length, max_lag, step=0.005, span=0.04):
        """Lag in [0, max_lag) at which the sound from t1 best matches the sound from
        ref_t1 + lag (length seconds of each): found on the envelopes, then refined to the
        sample on the waveforms within +-span seconds. The loop repeats sample for sample, so
        the waveform correlation at the right lag is close to 1.
        Returns (lag seconds, waveform correlation there)."""
        b = self.envelope(t1, t1 + length, step)
        a = self.envelope(ref_t1, ref_t1 + length + max_lag, step)
        best = (0, -2.0)
        for lag in range(0, int(max_lag / step)):
            c = _ncc(a[lag:lag + len(b)], b)
            if c > best[1]:
                best = (lag, c)
        i_ref = int((ref_t1 + best[0] * step) * self.rate)
        d, c = self._match(i_ref, int(t1 * self.rate), int(length * self.rate),
                           int(span * self.rate))
        if d is None:
            return None, 0.0
        return (i_ref + d) / float(self.rate) - ref_t1, c

    def save_wav(self, path):
        with wave.open(path, "wb") as w:
            w.setnchannels(1)
            w.setsampwidth(2)
            w.setframerate(self.rate)
            w.writeframes(self.samples.tobytes())


def _ncc(a, b):
    n = min(len(a), len(b))
    if n < 2:
        return 0.0
    a = a[:n]
    b = b[:n]
    ma = sum(a) / n
    mb = sum(b) / n
    num = sum((x - ma) * (y - mb) for x, y in zip(a, b))
    da = math.sqrt(sum((x - ma) ** 2 for x in a))
    dbb = math.sqrt(sum((y - mb) ** 2 for y in b))
    if da == 0 or dbb == 0:
        return 0.0
    return num / (da * dbb)


def _autocorr(env_, lag1, lag2):
    out = []
    n = len(env_)
    for lag in range(max(1, lag1), min(lag2, n // 2) + 1):
        out.append((lag, _ncc(env_[:n - lag], env_[lag:])))
    return out


class Screenshot:
    """The whole screen as raw RGB, saved as PNG for people."""

    def __init__(self, png, width, height, rgb):
        self.png = png
        self.width = width
        self.height = height
        self.rgb = rgb

    def pixel(self, x, y):
        i = (y * self.width + x) * 3
        return tuple(self.rgb[i:i + 3])

    def crop(self, left, top, right, bottom, path, colors=None):
        """Saves a part of the screen; the black desktop around it is trimmed off (without a
        window manager there is no title bar, only desktop where it would be)."""
        cmd = ["convert", self.png, "-crop", "%dx%d+%d+%d" % (right - left, bottom - top,
                                                                left, top), "+repage",
               "-bordercolor", "black", "-border", "1", "-trim", "+repage"]
        if colors:
            cmd += ["-colors", str(colors)]
        subprocess.run(cmd + [path], check=True, timeout=60)
        return path


def closeness(x, y, slot):
    """350 minus the whole-pixel distance from (x, y) to the slot's point."""
    px, py = SLOT_POINT[slot]
    return 350 - int(math.sqrt((x - px) ** 2 + (y - py) ** 2))


def level_colour(v):
    """The square's colour for a target volume v (1..350), as (R, G, B)."""
    f = v * 255 // 350
    return (f, f, 255 - f)


RED, GREEN, IDLE_BLUE = (255, 0, 0), (0, 255, 0), (0, 0, 255)


def menu_check_marks(shot, rect, items):
    """For each of the items of an open pop-up menu (rectangle in screen pixels), whether its
    check-mark column holds a glyph: pixels that differ clearly from the item's own
    background, taken at the item's right end (a highlighted item has another background)."""
    left, top, right, bottom = rect
    border = 3
    row_h = (bottom - top - 2 * border) / float(items)
    marks = []
    for i in range(items):
        y1 = int(top + border + i * row_h) + 2
        y2 = int(top + border + (i + 1) * row_h) - 2
        bg = shot.pixel(right - border - 3, (y1 + y2) // 2)
        ink = 0
        for y in range(y1, y2):
            for x in range(left + border + 1, left + border + 15):
                p = shot.pixel(x, y)
                if sum(abs(a - b) for a, b in zip(p, bg)) > 150:
                    ink += 1
        marks.append(ink)
    return marks


class Session:
    """One run of mixorama.exe in its own folder; see the module's documentation."""

    def __init__(self, name, missing=(), replaced=None, startup_boxes=()):
        self.name = name
        self.missing = set(missing)
        self.replaced = dict(replaced or {})          # file name -> bytes written instead
        self.startup_boxes = list(startup_boxes)       # texts answered OK, in this order
        self.dir = os.path.join(WORK, name)
        self.proc = None
        self.rec = None
        self.rec_path = None
        self.rec_start = None
        self.exit_code = None
        self.geometry = None

    # -- set-up and clean-up -------------------------------------------------------------

    def __enter__(self):
        ensure_wine_env()
        for path, what in ((EXE, "program"), (DRIVER, "driver")):
            if not os.path.isfile(path):
                raise ScenarioError("no %s at %s" % (what, path))
        shutil.rmtree(self.dir, ignore_errors=True)
        os.makedirs(self.dir)
        os.makedirs(SHOTS, exist_ok=True)
        for name in sorted(set(STARTUP_SET) - self.missing):
            src = os.path.join(DEMO_DIR, name)
            if not os.path.isfile(src):
                raise ScenarioError("demo file missing: " + src)
            shutil.copy(src, os.path.join(self.dir, name))
        for name, data in self.replaced.items():
            with open(os.path.join(self.dir, name), "wb") as f:
                f.write(data)
        self.move_cursor_away()
        self.started = time.time()
        self.proc = subprocess.Popen(["wine", EXE], cwd=self.dir, stdin=subprocess.DEVNULL,
                                     stdout=open(os.path.join(self.dir, "program.log"), "w"),
                                     stderr=subprocess.STDOUT, start_new_session=True)
        log("started %s in %s" % (EXE, self.dir))
        # Messages of the start-up loads come before the frame is shown; each is answered
        # OK and must be the next one expected.
        for want in self.startup_boxes:
            box = self.wait_box("*", 30000)
            require(box is not None, "message box %r at start-up" % want)
            check(box == (TITLE_AT_START, want),
                  "start-up box reads %r captioned %r (got %r)" % (want, TITLE_AT_START, box))
            self.answer(box[1], "ok")
        t = time.time()
        rc, _ = self.driver("wait-frame", "30000", timeout=90)
        if rc != 0:
            self._diagnose_start(time.time() - t)
        require(rc == 0, "the main frame appears")
        figure("start to frame shown", time.time() - self.started, "s")
        return self

    def _diagnose_start(self, waited):
        log("  frame not found after %.1f s; program %s" % (
            waited, "running" if self.alive() else "ended with %r" % self.proc.poll()))
        rc, out = self.driver("boxes", timeout=30)
        log("  message boxes (driver rc %d): %r" % (rc, out))

    def __exit__(self, exc_type, exc, tb):
        if exc is not None and not isinstance(exc, ScenarioError):
            check(False, "scenario raised %s: %s" % (exc_type.__name__, exc))
        elif isinstance(exc, ScenarioError):
            log("  stopped: " + str(exc))
        if self.rec is not None:
            self._stop_parecord()
        if self.proc is not None and self.proc.poll() is None:
            log("  ending the program (still running)")
            self._kill_program()
        return True  # the failure is counted; done() reports it

    def _kill_program(self):
        try:
            os.killpg(self.proc.pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
        try:
            self.proc.wait(timeout=20)
        except subprocess.TimeoutExpired:
            pass

    def move_cursor_away(self):
        """Puts the X cursor in the screen's bottom-right corner, outside the program."""
        subprocess.run(["xdotool", "mousemove", "1000", "740"], timeout=20,
                       stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)

    # -- the driver ------------------------------------------------------------------------

    def driver(self, *args, timeout=60, quiet=False):
        """Runs the driver; returns (exit code, stdout). quiet: no log of its complaints."""
        # Output goes to files, not pipes: a wine process may start the prefix's services
        # (wineserver, explorer), which inherit its output handles and keep a pipe open
        # long after the driver ended.
        with tempfile.TemporaryFile() as fout, tempfile.TemporaryFile() as ferr:
            try:
                r = subprocess.run(["wine", DRIVER] + [str(a) for a in args], stdout=fout,
                                   stderr=ferr, stdin=subprocess.DEVNULL, timeout=timeout)
            except subprocess.TimeoutExpired:
                log("  driver timed out: %s" % " ".join(map(str, args)))
                return 124, ""
            fout.seek(0)
            ferr.seek(0)
            out = fout.read().decode("latin-1").replace("\r\n", "\n")
            err = ferr.read().decode("latin-1").strip()
        if r.returncode != 0 and err and not quiet:
            log("  driver: " + err.replace("\r", ""))
        return r.returncode, out

    def driver_ok(self, *args, timeout=60):
        return self.driver(*args, timeout=timeout)[0] == 0

    def act(self, *args, timeout=60):
        """Runs a driver command that acts; returns the epoch time of its (last) action."""
        rc, out = self.driver(*args, timeout=timeout)
        _need(rc == 0, "driver: " + " ".join(map(str, args)))
        times = [float(l.split()[1]) for l in out.splitlines() if l.startswith("at ")]
        return times[-1] if times else time.time()

    def text(self, control_id):
        rc, out = self.driver("text", control_id)
        _need(rc == 0, "control %d exists" % control_id)
        return out.rstrip("\n")

    def title(self):
        rc, out = self.driver("title")
        _need(rc == 0, "the frame's title can be read")
        return out.rstrip("\n")

    def expect_text(self, control_id, want, what=None):
        got = self.text(control_id)
        return check(got == want, "%s reads %r (got %r)" % (what or "control %d" % control_id,
                                                           want, got))

    def click(self, control_id):
        return self.act("click", control_id)

    def command(self, command_id):
        return self.act("command", command_id)

    def move(self, x, y):
        return self.act("move", x, y)

    def pixel(self, x, y):
        rc, out = self.driver("pixel", x, y)
        _need(rc == 0, "pixel (%d, %d) of the map can be read" % (x, y))
        v = out.strip()
        return (int(v[0:2], 16), int(v[2:4], 16), int(v[4:6], 16))

    def square_colour(self, slot):
        """The colour of a slot's square, read from the screen near its bottom-left corner
        (away from the hot spot of a cursor resting on the square)."""
        left, top = SQUARE_LEFT_TOP[slot]
        return self.pixel(left + 2, top + 17)

    def wait_box(self, text, timeout_ms=15000):
        """(caption, text) of the first message box with this text, or None."""
        rc, out = self.driver("wait-box", text, timeout_ms, timeout=timeout_ms / 1000.0 + 60)
        if rc != 0:
            return None
        caption, _, body = out.rstrip("\n").partition("\t")
        return caption, body

    def answer(self, text, button, timeout_ms=15000):
        return self.act("answer", text, button, timeout_ms, timeout=timeout_ms / 1000.0 + 60)

    def map_geometry(self):
        rc, out = self.driver("geometry")
        _need(rc == 0, "geometry of the windows")
        g = {}
        for line in out.splitlines():
            parts = line.split()
            g[parts[0]] = tuple(int(v) for v in parts[1:])
        self.geometry = g
        return g

    def sleep(self, seconds):
        time.sleep(seconds)

    # -- program end -----------------------------------------------------------------------

    def wait_exit(self, timeout=30):
        """The program's exit code, or None when it did not end within timeout seconds."""
        try:
            self.exit_code = self.proc.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            return None
        return self.exit_code

    def alive(self):
        return self.proc.poll() is None

    def quit_with_ok(self):
        """Quit from the menu, "Quit ?" answered OK: the program must end with exit code 0."""
        self.command(CMD_QUIT)
        box = self.wait_box(QUIT_TEXT)
        require(box is not None, "\"Quit ?\" is asked")
        self.answer(QUIT_TEXT, "ok")
        code = self.wait_exit(30)
        check(code == 0, "the program ends with exit code 0 (got %r)" % code)

    def open_frequency_menu(self):
        """Opens the Frequency menu from the keyboard (Alt+F); returns its screen rectangle."""
        self.act("keydown", VK_MENU, "+", "key", 0x46, "+", "keyup", VK_MENU)
        deadline = time.time() + 15
        while time.time() < deadline:
            rc, out = self.driver("menu-rect", quiet=True)
            if rc == 0:
                return tuple(int(v) for v in out.split())
            time.sleep(0.2)
        raise ScenarioError("the Frequency menu did not open")

    def close_menu(self):
        """Escape closes the pop-up, a tap of Alt leaves the menu bar (a second Escape would
        reach the panel, whose Cancel ends the program)."""
        self.act("key", VK_ESCAPE, "+", "sleep", 300, "+", "key", VK_MENU)
        deadline = time.time() + 10
        while time.time() < deadline:
            if self.driver("menu-rect", quiet=True)[0] != 0:
                return True
            time.sleep(0.2)
        return False

    # -- screenshots -----------------------------------------------------------------------

    def screenshot(self, name):
        """Takes a screenshot of the whole display into SHOTS/<session>-<name>.png."""
        png = os.path.join(SHOTS, "%s-%s.png" % (self.name, name))
        subprocess.run(["import", "-window", "root", png], check=True, timeout=60)
        r = subprocess.run(["convert", png, "-depth", "8", "rgb:-"], check=True,
                           capture_output=True, timeout=60)
        ident = subprocess.run(["identify", "-format", "%w %h", png], check=True,
                               capture_output=True, timeout=60).stdout.split()
        w, h = int(ident[0]), int(ident[1])
        log("  screenshot " + png)
        return Screenshot(png, w, h, r.stdout)

    # -- sound -----------------------------------------------------------------------------

    def start_recording(self):
        """Starts recording the sink's monitor; returns once samples are arriving."""
        sink = os.environ.get("MIXORAMA_SINK")
        _need(bool(sink), "MIXORAMA_SINK names the sink")
        self.rec_path = os.path.join(self.dir, "monitor.raw")
        if os.path.exists(self.rec_path):
            os.remove(self.rec_path)
        self.rec = subprocess.Popen(
            ["parecord", "--raw", "--device=%s.monitor" % sink, "--rate=%d" % RECORD_RATE,
             "--channels=1", "--format=s16le", "--latency-msec=20", self.rec_path],
            stdout=subprocess.DEVNULL, stderr=open(os.path.join(self.dir, "parecord.log"), "w"),
            start_new_session=True)
        # The recording's first sample is taken as the moment the stream started: estimated
        # from the first bytes seen and the byte rate.
        deadline = time.time() + 20
        while time.time() < deadline:
            size = os.path.getsize(self.rec_path) if os.path.exists(self.rec_path) else 0
            if size > 0:
                now = time.time()
                self.rec_start = now - size / (2.0 * RECORD_RATE)
                return
            if self.rec.poll() is not None:
                break
            time.sleep(0.005)
        raise ScenarioError("parecord did not start recording")

    def _stop_parecord(self):
        if self.rec.poll() is None:
            self.rec.send_signal(signal.SIGINT)
            try:
                self.rec.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.rec.kill()
                self.rec.wait(timeout=10)
        self.rec = None

    def stop_recording(self):
        _need(self.rec is not None, "a recording is running")
        self._stop_parecord()
        samples = array.array("h")
        with open(self.rec_path, "rb") as f:
            data = f.read()
        samples.frombytes(data[:len(data) // 2 * 2])
        if sys.byteorder != "little":
            samples.byteswap()
        audio = Audio(samples, RECORD_RATE, self.rec_start, self.rec_path)
        audio.save_wav(os.path.join(self.dir, "monitor.wav"))
        figure("recording length", audio.duration(), "s")
        return audio


def run(scenario):
    """Runs scenario() and exits with the tally; any exception counts as a failure."""
    ensure_wine_env()
    try:
        scenario()
    except ScenarioError as e:
        log("  stopped: " + str(e))
    except Exception as e:  # noqa: BLE001 - reported as a failed check
        check(False, "scenario raised %s: %s" % (type(e).__name__, e))
    done()
