"""Helpers of the scenario_panel_* scenarios: the common file dialogs, the sound server's view
of the program's stream, the Frequency check marks, test waves and sound segments.

    import panel_dialogs as pd
    s.click(e2e.ID_LOAD(1))
    pd.choose_file(s, "Open Wave", "CLICK.WAV")   # types the name, presses Enter
    pd.stream_rates()                             # [11025] while the program plays
    pd.rate_marks(s)                              # [True, False, False] for 11025 checked

The common dialog is driven from the keyboard, as a user would: it opens with the keyboard
focus in its file-name field (the current text selected), so the name is typed over it and
Enter confirms. A bare name is looked up in the dialog's initial folder, which is the
program's current folder: the scenario's own folder.
"""

import math
import re
import struct
import subprocess
import time

import e2e
from e2e import require

LOOP_FRAMES = 22048          # the demo set's loop at 11025 Hz: 2.0 s
RATE_QUESTION = ("All the waves will be unloaded\\nbefore changing frequency.\\nWarning : if "
                 "the frequency is too high,\\nand your computer too slow,\\nMixorama may hang "
                 "! Continue ?")  # as the driver prints it: line feeds as \n
CMD_LOAD_SETUP, CMD_SAVE_SETUP, CMD_HELP = 900, 901, 903


def _xdotool(*args, timeout=20):
    try:
        r = subprocess.run(["xdotool"] + [str(a) for a in args], capture_output=True,
                           timeout=timeout)
    except subprocess.TimeoutExpired:
        return 124, ""
    return r.returncode, r.stdout.decode("latin-1")


def find_window(title, timeout=30.0):
    """X window id of the top-level window whose title is exactly title, or None."""
    deadline = time.time() + timeout
    while time.time() < deadline:
        rc, out = _xdotool("search", "--name", "^%s$" % title)
        ids = out.split()
        if rc == 0 and ids:
            return ids[-1]
        time.sleep(0.2)
    return None


def window_gone(title, timeout=30.0):
    deadline = time.time() + timeout
    while time.time() < deadline:
        rc, out = _xdotool("search", "--name", "^%s$" % title)
        if rc != 0 or not out.split():
            return True
        time.sleep(0.2)
    return False


def enter_name(title, name, timeout=30.0):
    """Waits for the common dialog titled title, types name into its file-name field and
    presses Enter."""
    wid = find_window(title, timeout)
    require(wid is not None, "the dialog %r opens" % title)
    time.sleep(0.5)  # let the dialog take the keyboard focus it asks for
    _xdotool("windowfocus", wid)
    _xdotool("type", "--delay", "30", name)
    _xdotool("key", "Return")


def choose_file(s, title, name, timeout=30.0):
    """enter_name, then True once the dialog has closed."""
    enter_name(title, name, timeout)
    return window_gone(title, timeout)


def cancel_dialog(title, timeout=30.0):
    """Escape in the open dialog titled title; True once it has closed."""
    wid = find_window(title, timeout)
    require(wid is not None, "the dialog %r is open" % title)
    _xdotool("windowfocus", wid)
    _xdotool("key", "Escape")
    return window_gone(title, timeout)


def stream_rates():
    """Sample rates of the program's streams on the sound server (empty when it plays none)."""
    r = subprocess.run(["pactl", "list", "sink-inputs"], capture_output=True, timeout=20)
    rates = []
    stream_rate = None
    for line in r.stdout.decode("latin-1").splitlines():
        line = line.strip()
        # The stream's format line reads like "s16le 2ch 44100Hz".
        format_match = re.search(r"\S+ \d+ch (\d+)Hz$", line)
        if format_match:
            stream_rate = int(format_match.group(1))
        elif line.startswith("application.name") and "Mixorama" in line and stream_rate:
            rates.append(stream_rate)
    return rates


def wait_stream_rate(rate, timeout=15.0):
    deadline = time.time() + timeout
    while time.time() < deadline:
        if rate in stream_rates():
            return True
        time.sleep(0.2)
    return False


def rate_marks(s):
    """Opens the Frequency menu and tells which of its three items carry a check mark."""
    rect = s.open_frequency_menu()
    shot = s.screenshot("frequency-%d" % int(time.time() * 1000))
    ink = e2e.menu_check_marks(shot, rect, 3)
    s.close_menu()
    e2e.figure("check-column ink of 11025, 22050, 44100", ink, "pixels")
    return [v >= 6 for v in ink]


def labels(s):
    return [s.text(e2e.ID_LABEL(n)) for n in range(1, 9)]


def wave_bytes(rate, bits, channels, samples):
    """A PCM wave; samples holds one value per channel per frame (unsigned for 8 bits)."""
    if bits == 8:
        data = bytes(samples)
    else:
        data = struct.pack("<%dh" % len(samples), *samples)
    block = channels * bits // 8
    fmt = struct.pack("<HHIIHH", 1, channels, rate, rate * block, block, bits)
    body = b"WAVE" + b"fmt " + struct.pack("<I", len(fmt)) + fmt + b"data" + \
        struct.pack("<I", len(data)) + data
    return b"RIFF" + struct.pack("<I", len(body)) + body


def tone_loop(rate, bits, channels, loop_seconds, tone_seconds, period_samples):
    """A loop that starts with a square-wave tone and is silent for the rest."""
    frames = int(round(loop_seconds * rate))
    tone = int(round(tone_seconds * rate))
    hi, lo, mid = (230, 26, 128) if bits == 8 else (24000, -24000, 0)
    out = []
    for i in range(frames):
        v = (hi if (i // (period_samples // 2)) % 2 == 0 else lo) if i < tone else mid
        out.extend([v] * channels)
    return wave_bytes(rate, bits, channels, out)


def segments(audio, t1, t2, step=0.005, threshold=None):
    """Stretches of sound wholly inside [t1, t2): list of (start seconds, length seconds),
    where a window of step seconds counts as sound above threshold (default: a third of the
    loudest). A stretch cut by either end of the range is left out: its start or its length
    would be the range's, not the sound's."""
    env = audio.envelope(t1, t2, step)
    if not env:
        return []
    if threshold is None:
        threshold = max(env) / 3.0
    out = []
    start = None
    for i, v in enumerate(env + [0.0]):
        if v > threshold and start is None:
            start = i
        elif v <= threshold and start is not None:
            if start > 0 and i < len(env):
                out.append((t1 + start * step, (i - start) * step))
            start = None
    return out


def phase_error(t, origin, period):
    """Distance of t from the nearest origin + k * period, in seconds."""
    k = round((t - origin) / period)
    return abs(t - origin - k * period)


def is_silent(rms):
    return rms < 0.002


def hears(rms):
    return rms > 0.01


def db(v):
    return 20 * math.log10(v) if v > 0 else -200.0
