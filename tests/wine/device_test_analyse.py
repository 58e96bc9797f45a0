#!/usr/bin/env python3
"""Checks a recording of the sound sink made while the device test played its tone.

    device_test_analyse.py <recording.wav> '<TIMELINE json printed by the test program>'

The tone is a sine on each side (left and right differ in pitch and level), played through the
engine from start playback until stop playback. The recording (44100 Hz, 16-bit stereo) must
show, on both sides:
  - silence, then the tone, then silence to the end (stop playback ends it);
  - the tone lasting as long as the program played it, less the first ring cycle (the ring
    holds zeros until the first tick's frames come round), within the latency allowance;
  - the right pitch and level;
  - no gap, dropout or jump: steady level in every 10 ms window, every period the same length,
    and one phase across the whole tone (a replayed or skipped stretch of the ring shifts it).
Prints the measured figures; exits 1 when a check fails.
Plain Python only (no numpy): the machine running the tests need not have more.
"""

import cmath
import json
import math
import os
import struct
import sys

RECORD_RATE = 44100
WINDOW = 441  # 10 ms, for the level envelope
PHASE_WINDOW = 1000  # about 10 periods: leakage moves the phase by under 0.01 rad
EDGE = 2205  # 50 ms left out at each end of the tone: ramps of the sink's resampler

# Allowances.
PITCH_CENTS = 5.0  # every clock here is exact; a wrong rate would be far off
LEVEL_DB = 0.5  # output equals the stored sample (gain divisor 1)
WINDOW_LEVEL_DB = 1.5
PERIOD_TOLERANCE = 0.03  # fraction of a period
PHASE_TOLERANCE = 0.12  # radians (2 % of a period)
SILENCE = 4  # largest sample magnitude counted as silence
# The tone may be this much shorter or longer than played minus one ring cycle: the output
# latency at the stop may differ from the one at the start (measured: within 25 ms). One more
# ring cycle after the stop (0.25 s) is out of bounds.
DURATION_EARLY = 0.2
DURATION_LATE = 0.15
MIN_TAIL = 0.4  # seconds of silence the recording must show after the tone
ALLOWED_GLITCHES = int(os.environ.get("MIXORAMA_DEVICE_TEST_GLITCHES", "0"))


def read_wav(path):
    """Returns (rate, channels, samples as a flat tuple). Tolerates a header whose sizes were
    never filled in (a recorder stopped by a signal): the data runs to the end of the file."""
    with open(path, "rb") as f:
        data = f.read()
    if len(data) < 12 or data[0:4] != b"RIFF" or data[8:12] != b"WAVE":
        raise ValueError("not a RIFF WAVE file")
    pos = 12
    rate = channels = bits = None
    while pos + 8 <= len(data):
        cid = data[pos:pos + 4]
        size = struct.unpack_from("<I", data, pos + 4)[0]
        body = pos + 8
        if cid == b"fmt ":
            tag, channels, rate, _, _, bits = struct.unpack_from("<HHIIHH", data, body)
            if tag not in (1, 0xFFFE) or bits != 16:
                raise ValueError("recording is not 16-bit PCM")
        elif cid == b"data":
            end = len(data) if size in (0, 0xFFFFFFFF) or body + size > len(data) else body + size
            count = (end - body) // 2
            samples = struct.unpack_from("<%dh" % count, data, body)
            if rate is None:
                raise ValueError("data before fmt")
            return rate, channels, samples
        pos = body + size + (size & 1)
    raise ValueError("no data chunk")


def rms(xs):
    return math.sqrt(sum(x * x for x in xs) / len(xs)) if xs else 0.0


def db(ratio):
    return 20 * math.log10(ratio) if ratio > 0 else -999.0


def rising_crossings(xs):
    """Positions (in samples, interpolated) where the signal goes from below 0 to 0 or above."""
    out = []
    for i in range(1, len(xs)):
        a, b = xs[i - 1], xs[i]
        if a < 0 <= b:
            out.append(i - 1 + (-a) / (b - a))
    return out


def check_side(name, xs, start, end, hz, amplitude, failures):
    """Pitch, level and continuity of one side over the steady part [start, end)."""
    steady = xs[start:end]
    figures = {}

    crossings = rising_crossings(steady)
    if len(crossings) < 10:
        failures.append("%s: only %d periods found" % (name, len(crossings)))
        return figures
    measured_hz = (len(crossings) - 1) * RECORD_RATE / (crossings[-1] - crossings[0])
    cents = 1200 * math.log2(measured_hz / hz)
    figures["pitch_hz"] = round(measured_hz, 3)
    figures["pitch_error_cents"] = round(cents, 3)
    if abs(cents) > PITCH_CENTS:
        failures.append("%s: pitch %.2f Hz, expected %.1f Hz" % (name, measured_hz, hz))

    level = rms(steady)
    expected = amplitude / math.sqrt(2)
    figures["rms"] = round(level, 1)
    figures["level_error_db"] = round(db(level / expected), 3)
    if abs(db(level / expected)) > LEVEL_DB:
        failures.append("%s: RMS %.1f, expected %.1f" % (name, level, expected))

    period = RECORD_RATE / hz
    bad_periods = [
        (round(start + a), round(b - a, 2))
        for a, b in zip(crossings, crossings[1:])
        if abs((b - a) - period) > PERIOD_TOLERANCE * period
    ]
    figures["irregular_periods"] = len(bad_periods)

    bad_windows = []
    for w in range(0, len(steady) - WINDOW + 1, WINDOW):
        level_db = db(rms(steady[w:w + WINDOW]) / expected)
        if abs(level_db) > WINDOW_LEVEL_DB:
            bad_windows.append((start + w, round(level_db, 1)))
    figures["level_dropouts"] = len(bad_windows)

    # One phase for the whole tone: the phase of each window against a sine running on the
    # recording's own sample clock must not step from one window to the next.
    phases = []
    step = 2 * math.pi * hz / RECORD_RATE
    for w in range(start, end - PHASE_WINDOW + 1, PHASE_WINDOW):
        acc = sum(xs[n] * cmath.exp(-1j * step * n) for n in range(w, w + PHASE_WINDOW))
        phases.append((w, cmath.phase(acc)))
    jumps = []
    worst = 0.0
    for (_, before), (w, ph) in zip(phases, phases[1:]):
        step_rad = abs(cmath.phase(cmath.exp(1j * (ph - before))))
        worst = max(worst, step_rad)
        if step_rad > PHASE_TOLERANCE:
            jumps.append((w, round(step_rad, 3)))
    figures["phase_jumps"] = len(jumps)
    figures["worst_phase_step_rad"] = round(worst, 4)

    glitches = len(bad_periods) + len(bad_windows) + len(jumps)
    if glitches > ALLOWED_GLITCHES:
        failures.append(
            "%s: discontinuities: irregular periods %s, level dropouts %s, phase jumps %s"
            % (name, bad_periods[:5], bad_windows[:5], jumps[:5]))
    return figures


def analyse(left, right, timeline):
    """Checks one recording (two sides at RECORD_RATE). Returns (figures, failures)."""
    n = min(len(left), len(right))
    failures = []
    loud = [i for i in range(n) if abs(left[i]) > SILENCE or abs(right[i]) > SILENCE]
    if not loud:
        return {}, ["the recording is silent (%d frames)" % n]
    onset, offset = loud[0], loud[-1] + 1
    duration = (offset - onset) / RECORD_RATE
    ring_s = timeline["ring_bytes"] / 4 / timeline["rate"]
    played = timeline["stop_call_s"] - timeline["play_s"]
    expected = played - ring_s
    tail = (n - offset) / RECORD_RATE
    # Frames the device had counted by the stop, less the silent first ring cycle, against
    # the frames heard: how far Wine's position runs ahead of what comes out.
    counted_s = timeline["bytes_at_stop"] / 4 / timeline["rate"] - ring_s
    figures = {
        "rate": timeline["rate"],
        "lead_in_s": round(onset / RECORD_RATE, 3),
        "tone_s": round(duration, 3),
        "expected_tone_s": round(expected, 3),
        "start_to_stop_latency_difference_s": round(duration - expected, 3),
        "position_ahead_of_output_s": round(counted_s - duration, 3),
        "silent_tail_s": round(tail, 3),
    }
    if not expected - DURATION_EARLY <= duration <= expected + DURATION_LATE:
        failures.append("tone lasts %.3f s, expected %.3f s (played %.3f s, ring %.3f s)" %
                        (duration, expected, played, ring_s))
    if tail < MIN_TAIL:
        failures.append("only %.3f s of silence after the tone: did the stop end it?" % tail)

    if offset - onset > 2 * EDGE + 4 * PHASE_WINDOW:
        start, end = onset + EDGE, offset - EDGE
        figures["left"] = check_side("left", left, start, end, timeline["left_hz"],
                                     timeline["left_amplitude"], failures)
        figures["right"] = check_side("right", right, start, end, timeline["right_hz"],
                                      timeline["right_amplitude"], failures)
    else:
        failures.append("tone too short to analyse: %.3f s" % duration)
    return figures, failures


def main():
    if len(sys.argv) != 3:
        print(__doc__)
        return 2
    timeline = json.loads(sys.argv[2])
    rate, channels, samples = read_wav(sys.argv[1])
    if rate != RECORD_RATE or channels != 2:
        print("FAIL: recording is %d Hz, %d channels; expected %d Hz stereo" %
              (rate, channels, RECORD_RATE))
        return 1
    figures, failures = analyse(samples[0::2], samples[1::2], timeline)
    print("recording %s: %s" % (os.path.basename(sys.argv[1]), json.dumps(figures)))
    for f in failures:
        print("FAIL: " + f)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
