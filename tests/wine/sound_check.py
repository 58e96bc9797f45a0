"""The sound analysis against a synthetic loop with a dropout, a slip, a DC step, a late tick."""
import e2e
import sound
from e2e import check

P, LEAD = 20000, 3000
STEP, LATE = LEAD + 4 * P + 5000, LEAD + 6 * P + 2000


def frame(i):
    k = (i - LEAD) % P
    v = 0 if i < LEAD or 10000 <= k < 10020 else (k * k * 7 + k * 13) % 1999 - 999 or 7
    return v // 2 + 50 if i >= STEP else v


played = [frame(i) for i in range(LEAD + 8 * P)]
played[LATE:LATE + 2000] = played[LATE - sound.RING:LATE - sound.RING + 2000]  # stale
DROP, SLIP = LEAD + 2 * P + 10000, LEAD + 3 * P + 5000
heard = played[:DROP] + [0] * 600 + played[DROP + 300:SLIP] + played[SLIP + 2:]
shift = 600 - 300 - 2  # where the played frames after the slip are heard: index + shift

e2e.run(lambda: [check(ok, what) for ok, what in [
        (sound.onset(heard) == LEAD, "the onset"),
        (len(sound.dropout_runs(heard, LEAD, len(heard))) == 1, "one dropout"),
        (sound.follow(heard, P, LEAD + P, STEP + shift)[:2] == (None, 1),
         "the loop is followed through the dropout and the slip"),
        (sound.follow(heard, P, LEAD + P, DROP + 50)[0] is None,
         "a dropout going on at the end is no change"),
        (sound.follow(heard, P, LEAD + 3 * P, LATE)[0] == STEP + shift, "the step is found"),
        (sound.level(heard, STEP + shift + 10, STEP + shift + 10 + P) <
         0.6 * sound.level(heard, STEP + shift - P, STEP + shift),
         "the level drops at the step, whatever the DC offset"),
        (LATE + shift <= (sound.follow(heard, P, STEP + shift + P, len(heard))[0] or 0) <
         LATE + shift + 2000, "the late tick breaks the loop")]])
