"""The sound analysis against a synthetic recording whose events are known: silence, then a
loop of 1000 frames (with 20 frames of its own silence), a dropout of the server that starts
on the loop's silence, a level step with a DC offset, and a late tick replaying stale frames."""
import sys

import sound

P, LEAD, GAP = 1000, 300, 100
STEP, LATE = LEAD + 4 * P + 250, LEAD + 6 * P + 100


def frame(i):
    k = (i - LEAD) % P
    v = 0 if i < LEAD or 500 <= k < 520 else (k * 37) % 201 - 100 or 7
    return v // 2 + 50 if i >= STEP else v


played = [frame(i) for i in range(LEAD + 8 * P)]
played[LATE:LATE + 200] = played[LATE - 275:LATE - 75]          # a ring cycle too old
drop_at = LEAD + 2 * P + 500
heard = played[:drop_at] + [0] * GAP + played[drop_at:]

failed = []
y, drops = sound.undrop(heard, P)
for ok, what in [
        (drops == [(drop_at, GAP)] and y == played, "the dropout is found and taken out"),
        (sound.mismatches(heard, P, LEAD + 2 * P, LEAD + 4 * P) > 0, "it would break the loop"),
        (sound.undrop(heard[:drop_at + 50], P) == (played[:drop_at], []),
         "a dropout still going on is left for later"),
        (sound.onset(y) == LEAD, "the onset"),
        (sound.mismatches(y, P, LEAD + P, STEP) == 0, "the loop repeats exactly"),
        (sound.first_change(y, P, LEAD + 3 * P) == STEP, "the step is found where it is"),
        (sound.level(y, STEP + 10, STEP + 10 + P) < 0.6 * sound.level(y, STEP - P, STEP),
         "the level drops at the step, whatever the DC offset"),
        (sound.mismatches(y, P, LATE, LATE + P) > 0, "the late tick breaks the loop")]:
    print(("  ok    " if ok else "  FAIL  ") + what)
    failed += [] if ok else [what]
sys.exit(1 if failed else 0)
