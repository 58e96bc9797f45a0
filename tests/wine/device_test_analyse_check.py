#!/usr/bin/env python3
"""Shows that the recording checks of device_test_analyse.py catch the faults they are for.

Builds recordings in memory, a clean one and one per fault (a skipped stretch, a dropout, a
stretch of the ring heard again, a wrong pitch, swapped sides, a wrong level, sound going on
after the stop, a missing tone), and checks the analysis passes the clean one and fails each
faulty one for the right reason. Exits 1 on any wrong verdict.
"""

import math
import sys

import device_test_analyse as analysis

RATE = analysis.RECORD_RATE
LEFT_HZ, RIGHT_HZ = 437.0, 619.0
TIMELINE = {
    "rate": 44100, "play_s": 0.0, "stop_call_s": 2.0, "stop_return_s": 2.005,
    "bytes_at_stop": 2 * 176400, "ring_bytes": 44100, "left_hz": LEFT_HZ, "right_hz": RIGHT_HZ,
    "left_amplitude": 8000, "right_amplitude": 4000,
}
LEAD_IN = int(0.5 * RATE)
TONE = int(1.75 * RATE)
TAIL = int(1.0 * RATE)


def tone(n, hz, amplitude, start=0):
    return [int(round(amplitude * math.sin(2 * math.pi * hz * (start + i) / RATE)))
            for i in range(n)]


def recording(tone_frames=TONE, left_hz=LEFT_HZ, right_hz=RIGHT_HZ, left_amp=8000,
              right_amp=4000):
    left = [0] * LEAD_IN + tone(tone_frames, left_hz, left_amp) + [0] * TAIL
    right = [0] * LEAD_IN + tone(tone_frames, right_hz, right_amp) + [0] * TAIL
    return left, right


def skipped(sides):
    # 130 frames of the mix never played: the rest comes early.
    return [s[:LEAD_IN + TONE // 2] + s[LEAD_IN + TONE // 2 + 130:] + [0] * 130 for s in sides]


def dropout(sides):
    mid = LEAD_IN + TONE // 2
    return [s[:mid] + [0] * 882 + s[mid + 882:] for s in sides]


def shifted(sides):
    # The device looping over 100 frames less than the ring the tick fills: from the middle
    # on, everything is heard 100 frames late (once per loop).
    mid = LEAD_IN + TONE // 2
    return [s[:mid] + s[mid - 100:LEAD_IN + TONE - 100] + [0] * TAIL for s in sides]


def replayed(sides):
    # 50 ms that the tick did not refill in time: heard again one ring cycle later.
    mid = LEAD_IN + TONE // 2
    ring = RATE // 4
    return [s[:mid] + s[mid - ring:mid - ring + 2205] + s[mid + 2205:] for s in sides]


def overlong(sides):
    # Sound goes on for one more ring cycle after the stop.
    extra = RATE // 4
    return [s[:LEAD_IN + TONE] + tone(extra, hz, amp, TONE) + [0] * (TAIL - extra)
            for s, hz, amp in zip(sides, (LEFT_HZ, RIGHT_HZ), (8000, 4000))]


CASES = [
    ("clean", recording(), None),
    ("skipped frames", skipped(recording()), "discontinuities"),
    ("dropout", dropout(recording()), "discontinuities"),
    ("ring replayed", replayed(recording()), "discontinuities"),
    ("100 frames late", shifted(recording()), "discontinuities"),
    ("pitch 1 % high", recording(left_hz=LEFT_HZ * 1.01, right_hz=RIGHT_HZ * 1.01), "pitch"),
    ("sides swapped", tuple(reversed(recording())), "pitch"),
    ("level 1 dB low", recording(left_amp=7130, right_amp=3565), "RMS"),
    ("sound after the stop", overlong(recording()), "tone lasts"),
    ("silent", ([0] * RATE, [0] * RATE), "silent"),
]


def main():
    wrong = 0
    for name, (left, right), expected in CASES:
        _, failures = analysis.analyse(left, right, TIMELINE)
        if expected is None:
            ok = not failures
        else:
            ok = any(expected in f for f in failures)
        verdict = "ok" if ok else "WRONG"
        print("%-22s %s %s" % (name, verdict, failures[:2] if failures else "passes"))
        wrong += not ok
    return 1 if wrong else 0


if __name__ == "__main__":
    sys.exit(main())
