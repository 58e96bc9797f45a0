"""Analysis of a recording of the sink, as a list of frames, each the sum of its left and right
samples: exact integers, because the sink runs at the program's rate and nothing resamples.

Times are frame indexes found in the sound itself, never clock times. The sound server drops
Wine's stream now and then: the sink plays a run of exact zeros and the stream goes on that
much later. undrop() finds such runs (zeros where one loop earlier there was sound) and takes
the inserted zeros out, so that what is left is the program's output without gaps, and a loop
can be compared with the one before it sample for sample. A late tick, which replays stale
ring content instead of zeros, is not taken out and shows as a mismatch.
"""
import math

MIN_DROPOUT = 40  # frames (3.6 ms at 11025 Hz); the server's dropouts last 8 to 20 ms


def frames(raw):
    """The frames of raw s16le stereo bytes, each as left + right."""
    n = len(raw) // 4
    v = memoryview(raw)[:n * 4].cast("h")
    return [v[2 * i] + v[2 * i + 1] for i in range(n)]


def undrop(x, period):
    """(the recording without the server's dropouts, [(index in it, zeros taken out)])."""
    y, drops, i, n = [], [], 0, len(x)
    while i < n:
        if x[i] != 0:
            y.append(x[i])
            i += 1
            continue
        end = i
        while end < n and x[end] == 0:
            end += 1
        run, at = end - i, len(y)
        earlier = y[at - period:at - period + run] if at >= period else []
        if end == n and any(earlier):
            break  # maybe a dropout still going on: the next look will tell
        if run >= MIN_DROPOUT and any(earlier):
            # The zeros the program itself played there, as it did one loop earlier.
            own = next((k for k, v in enumerate(earlier) if v != 0), run)
            drops.append((at, run - own))
            run = own
        y.extend([0] * run)
        i = end
    return y, drops


def onset(y, start=0):
    """First frame at or after start that is not silent, or None."""
    return next((i for i in range(start, len(y)) if y[i] != 0), None)


def first_change(y, period, start):
    """First frame at or after start that differs from the frame one period earlier."""
    return next((i for i in range(max(start, period), len(y)) if y[i] != y[i - period]), None)


def mismatches(y, lag, a, b):
    """How many frames of [a, b) differ from the frame lag earlier."""
    return sum(1 for i in range(max(a, lag), min(b, len(y))) if y[i] != y[i - lag])


def level(y, a, b):
    """RMS about the mean over [a, b): a DC offset is not sound."""
    seg = y[max(a, 0):b]
    if not seg:
        return 0.0
    mean = sum(seg) / len(seg)
    return math.sqrt(sum((v - mean) ** 2 for v in seg) / len(seg))
