"""Start-up with part of the demo set unusable: BD7525.WAV (slots 1 and 6) and CP.WAV
(slot 2) missing, HC50.WAV (slot 8) not a wave. Each failed load reports its message at
start-up, in slot order; exactly those slots are left empty with empty labels, their squares
stay idle blue while the mouse moves, and the other slots load and play in step.

Near slot 1's point the loaded slots' volumes add up to 160 of 350 per channel sum, so no
partial mix sum can reach 32000 and the gain divisor stays 0: nothing is heard there. Near
slot 3's point they are loud enough to be heard."""
import e2e
from e2e import check, figure

QUIET_SPOT = (87, 5)     # volumes of the loaded slots 3, 4, 5, 7: 79, 5, 1, 75
SPOT = (5, 262)          # near slot 3: 345, 230, 79, 1
SETTLE = 0.8
LOOP = e2e.LOOP_SECONDS


def scenario():
    boxes = ["Error opening file", "Error opening file", "Error opening file",
             "Error reading file (1)"]
    with e2e.Session("missing_files", missing={"BD7525.WAV", "CP.WAV"},
                     replaced={"HC50.WAV": b"not a wave file, just some text" * 4},
                     startup_boxes=boxes) as s:
        rc, _ = s.driver("wait-title", e2e.TITLE_DEMO, 20000)
        check(rc == 0, "the title bar reads %r" % e2e.TITLE_DEMO)
        empty = {1, 2, 6, 8}
        labels = [s.text(e2e.ID_LABEL(n)) for n in range(1, 9)]
        want = ["" if n in empty else e2e.STARTUP_SET[n - 1] for n in range(1, 9)]
        check(labels == want, "exactly slots 1, 2, 6 and 8 are empty (labels %r)" % labels)

        s.start_recording()
        s.click(e2e.ID_PLAY)
        s.sleep(0.3)
        t_quiet = s.move(*QUIET_SPOT)
        s.sleep(SETTLE + LOOP + 0.2)
        check(s.square_colour(1) == e2e.IDLE_BLUE, "empty slot 1 stays idle blue near its "
              "point (got %r)" % (s.square_colour(1),))
        t_enter = s.move(*SPOT)
        s.sleep(SETTLE + 2.3 * LOOP)
        for n in (2, 8):
            got = s.square_colour(n)
            check(got == e2e.IDLE_BLUE, "empty slot %d stays idle blue (got %r)" % (n, got))
        want3 = e2e.level_colour(max(1, e2e.closeness(SPOT[0], SPOT[1], 3)))
        check(s.square_colour(3) == want3, "loaded slot 3 shows its level %r (got %r)"
              % (want3, s.square_colour(3)))
        s.screenshot("mixing")
        audio = s.stop_recording()

        quiet = audio.rms(audio.at(t_quiet) + SETTLE, audio.at(t_quiet) + SETTLE + LOOP)
        figure("level near slot 1's point", e2e.db(quiet), "dBFS")
        check(quiet < 1e-4, "nothing is heard while the loaded slots are all low")
        t0 = audio.at(t_enter) + SETTLE
        lvl = audio.rms(t0, t0 + LOOP)
        figure("level with four slots", e2e.db(lvl), "dBFS")
        check(lvl > 0.003, "the loaded slots are heard")
        period, corr = audio.period(t0, t0 + 2.2 * LOOP, 0.3, 1.1 * LOOP)
        figure("loop period", period, "s")
        check(period is not None and abs(period - LOOP) <= 2.0 / e2e.RECORD_RATE and
              corr > 0.95, "the remaining slots loop in step every %.5f s (measured %r, "
              "correlation %.4f)" % (LOOP, period, corr))
        s.quit_with_ok()


e2e.run(scenario)
