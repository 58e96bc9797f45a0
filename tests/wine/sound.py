"""Analysis of a recording of the sink at its own rate, one exact integer per frame (left + right).
The sound server's dropouts, losses and slips shift a loop's lag a little; a late tick does not."""
import array
import contextlib
import statistics

KEY = 8        # frames that place a stretch in the loop before it
LOST = 4410    # frames: how far from a dropout its effects reach (0.1 s at 44100 Hz)
SLIP = 64      # frames the sound server may skip or slip in without a dropout (1.5 ms)
DRIFT = 44100  # frames by which dropouts may have delayed a loop against the one before (1 s:
#                a loaded machine was seen to drop 22,592 frames of one 2-second loop)
RING = 11024   # frames of the program's ring cycle at 44100 Hz (a quarter of a second)
MAX_SHIFT = 9000  # frames of one shift of the lag: less than the ring's cycle (a dropout of 6,523
#                  zeros was seen to shift it by 7,000)
DIP = 1000     # frames that a gap before the sound server's resampler may blur (23 ms)
GAP = 32       # frames: a shorter run of zeros is not a dropout
EDGE = 441     # frames: how far the resampler rings on either side of a dropout
BLOCK = 1102   # frames of a block whose level is measured (25 ms)


def frames(raw):  # of raw s16le stereo bytes, each as left + right
    v = array.array("h", raw[:len(raw) // 4 * 4])
    return [a + b for a, b in zip(v[0::2], v[1::2])]


def zero_run(x, i):  # end of the run of zeros that starts at i
    while i < len(x) and x[i] == 0:
        i += 1
    return i


def dropout_runs(x, a, b):  # [(start, end)] of the runs of GAP or more zeros begun in [a, b)
    runs, i = [], max(a, 0)
    with contextlib.suppress(ValueError):  # no zero left
        while True:
            i = x.index(0, i, min(b, len(x)))
            runs.append((i, zero_run(x, i)))
            i = runs[-1][1]
    return [(s, e) for s, e in runs if e - s >= GAP]


def follow(x, period, a, b):
    """Follows [a, b) through the loop before it: (first frame nothing explains or None,
    dropouts, lag shifts). The lag shifts by at most SLIP, near a dropout by up to twice its
    zeros; up to DIP unmatched frames may precede a shift unless they repeat the ring cycle."""
    keys = {}
    for j in range(max(0, a - period - DRIFT), min(b - period + DRIFT, len(x) - KEY)):
        keys.setdefault(tuple(x[j:j + KEY]), []).append(j)
    runs = dropout_runs(x, a - period - DRIFT - LOST, b)

    def zeros(lo, hi):
        return sum(min(e, hi) - max(s, lo) for s, e in runs if s < hi and e > lo)

    i, lag, drops, shifts, odd = a, None, 0, 0, 0
    while i < min(b, len(x) - KEY):
        if lag is not None and x[i] == x[i - lag]:
            i, odd = i + 1, 0
            continue
        if (end := zero_run(x, i)) - i >= GAP:
            i, drops = end, drops + 1
            continue
        e = i - (lag or period)
        # The first lag may have moved by every dropout of the loop before.
        slack = zeros(i - LOST, i) + zeros(e - LOST, e + LOST) if lag else zeros(e - LOST, i)
        key = tuple(x[i:i + KEY])
        near = [j for j in keys.get(key, ()) if abs(i - j - (lag or period)) <=
                min(SLIP + 2 * slack + odd, MAX_SHIFT if lag else DRIFT)]
        if near:
            lag = i - min(near, key=lambda j: abs(i - j - (lag or period)))
            shifts += 1
        elif lag and slack:
            i += 1
        elif odd < DIP and not (odd == 0 and any(
                tuple(x[j:j + KEY]) == key for j in range(i - RING - SLIP, i - RING + SLIP))):
            i, odd = i + 1, odd + 1
        else:
            return i - odd, drops, shifts
    return None, drops, shifts


def onset(x, start=0):  # first frame at or after start that is not silent, or None
    return next((i for i in range(start, len(x)) if x[i] != 0), None)


def level(x, a, b):  # median over [a, b) of the RMS about the mean of blocks not near dropouts
    runs = dropout_runs(x, a - BLOCK - EDGE, b)
    starts = range(max(a, 0), min(b, len(x)) - BLOCK + 1, BLOCK)
    levels = [statistics.pstdev(x[i:i + BLOCK]) for i in starts
              if not any(s < i + BLOCK + EDGE and e > i - EDGE for s, e in runs)]
    return statistics.median_high(levels) if levels else 0.0
