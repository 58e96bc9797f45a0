"""Mixing by ear: silence until the mouse enters the map, a loop of 22048 frames repeated sample
for sample, the squares' levels, right clicks muting slots 1 and 2, Cancel keeping the sound."""
import e2e
import sound
from e2e import LOOP, RATE, check, figure

SPOT = (87, 5)  # near slot 1's point: slot 1 loudest, slot 2 next
RAMP = RATE // 10  # longer than any volume ramp (350 frames at the program's rate)
# Squares at SPOT: (f, f, 255 - f), f = v * 255 // 350, v = 350 - distance to the slot's point.
SQUARES = {1: (251, 251, 4), 2: (168, 168, 87), 3: (57, 57, 198), 8: (127, 127, 128)}


def mute(p, slot, keypad=None):  # a right click must lower the level a loop later
    before = len(p.heard())  # played before the click: the click cannot have changed them
    p.map_click("r", slot, e2e.GREEN, keypad)
    at = p.until(lambda x: sound.follow(x, LOOP, before, len(x))[0], "the sound changes")
    x = p.loops(1, at + RAMP)
    was, now = sound.level(x, before - LOOP, before), sound.level(x, at + RAMP, at + RAMP + LOOP)
    check(now < 0.8 * was, "muting slot %d lowers the level: %.0f -> %.0f" % (slot, was, now))


def scenario():
    with e2e.Program("mixing") as p:
        p.up()
        p.record()
        p.click(e2e.PLAY)
        e2e.wait(lambda: p.text(e2e.PLAY) == "Press here to cut sound", "the play button")
        played = len(p.heard())
        entered = len(p.until(lambda x: x if len(x) > played + RATE else None, "a second"))
        p.move(*SPOT)
        check(sound.onset(p.heard()[:entered], played) is None, "exact silence after play, for "
              "a second of recording made before the mouse entered the map")
        start = p.until(lambda x: sound.onset(x, entered), "sound once the mouse is in the map")

        # The first loop sets the running peak; from the second on the mix repeats exactly.
        x = p.loops(3, start)
        changed, drops, shifts = sound.follow(x, LOOP, start + 2 * LOOP, start + 3 * LOOP)
        check(sound.level(x, start + 2 * LOOP, start + 3 * LOOP) > 300, "the mix is heard")
        check(changed is None, "the mix repeats every 22048 frames (%d dropouts, %d shifts; "
              "first frame unexplained: %s)" % (drops, shifts, changed))
        squares = {n: p.square(n) for n in SQUARES}
        check(squares == SQUARES, "the squares show the levels: %r" % squares)
        mute(p, 1)
        mute(p, 2, keypad=2)  # slot 1 is nearer
        check(p.square(1) == e2e.GREEN, "slot 1 stays muted")

        p.command(0, e2e.WM_CLOSE)
        p.asks(e2e.IDCANCEL, e2e.PROGRAM_TITLE, "Quit ?", "the close box asks")
        after = len(p.heard())
        # Its level needs blocks clear of the sound server's dropouts, which a loaded machine
        # may strew over a whole loop: the recording goes on until it holds some.
        x = p.until(lambda x: x if len(x) > after + LOOP + sound.KEY and
                    sound.level(x, after, len(x)) > 0 else None, "sound after Cancel")
        changed = sound.follow(x, LOOP, after, after + LOOP)[0]
        check(changed is None, "Cancel: the sound goes on (first frame unexplained: %s)" % changed)
        figure("dropouts of the sound server", len(sound.dropout_runs(x, start, len(x))),
               "in %.1f s" % ((len(x) - start) / RATE))
        p.command(0, e2e.WM_CLOSE)
        p.answer(e2e.IDOK, "Quit ?")
        p.ends("OK ends the program")


e2e.run(scenario)
