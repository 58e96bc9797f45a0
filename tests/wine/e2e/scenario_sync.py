"""Sync while mixing: every slot starts again from its first frame together, so the loop's
phase in the recording jumps to the moment of the Sync click. Checked by matching the sound's
envelope after the click against the envelope before it: the best match lies at the phase
the click implies, not at the phase the loop would have had without it."""
import e2e
from e2e import check, figure

SPOT = (87, 5)           # near slot 1: the kick leads, the other slots at various levels
SETTLE = 0.8
LOOP = e2e.LOOP_SECONDS


def scenario():
    with e2e.Session("sync") as s:
        s.driver("wait-title", e2e.TITLE_DEMO, 20000)
        s.start_recording()
        s.click(e2e.ID_PLAY)
        s.sleep(1.0)
        t_enter = s.move(*SPOT)
        # Click Sync about half a loop off the loop's own start, after three and a half loops.
        s.sleep(max(0.0, t_enter + 3.6 * LOOP - e2e.time.time() - 0.3))
        t_sync = s.click(e2e.ID_SYNC)
        s.sleep(SETTLE + 2 * LOOP + 0.5)
        s.expect_text(e2e.ID_PLAY, e2e.CUT, "the play button is unchanged by Sync")
        check(s.square_colour(1) == e2e.level_colour(e2e.closeness(SPOT[0], SPOT[1], 1)),
              "square 1 is unchanged by Sync")
        audio = s.stop_recording()

        since_entry = (t_sync - t_enter) % LOOP
        figure("Sync clicked after the loop's start by", since_entry, "s")
        check(0.25 * LOOP < since_entry < 0.75 * LOOP,
              "Sync came well inside a loop (%.3f s)" % since_entry)

        # The peak level, and with it the gain, restarts with the first mix and after Sync,
        # and settles within one loop: both envelopes are taken from the second loop on.
        ref = audio.at(t_enter) + SETTLE + LOOP
        after = audio.at(t_sync) + SETTLE + LOOP
        # The reference and the search span two loops, all heard before the Sync can be
        # (at least one ring, 0.25 s, after the click).
        check(ref + 2 * LOOP <= audio.at(t_sync) + 0.2, "two loops of reference before Sync")
        lag, corr = audio.shift(ref, after, LOOP, LOOP)
        # The loop started at t_enter (first mix) and again at t_sync. Their latencies
        # differ: after Sync the tick writes frame 0 just behind the play position, heard one
        # ring cycle (0.25 s) later; the first mix writes from the ring's start, heard when
        # the device next reaches it, 0 to 0.25 s later. So the entry's latency is the same
        # or up to one ring shorter.
        expect_sync = (after - ref - (t_sync - t_enter)) % LOOP
        expect_none = (after - ref) % LOOP

        def signed(a, b):
            return (a - b + LOOP / 2) % LOOP - LOOP / 2

        def off(a, b):
            return abs(signed(a, b))

        figure("phase of the loop after Sync", lag, "s")
        figure("phase expected with Sync", expect_sync, "s")
        figure("phase without Sync", expect_none, "s")
        figure("waveform correlation at the match", corr)
        check(corr > 0.95, "the loop after Sync is the same loop, sample for sample "
              "(correlation %.4f)" % corr)
        shift = signed(lag, expect_sync)
        figure("entry latency minus Sync latency", shift, "s")
        check(-0.35 < shift < 0.1,
              "the loop restarts at the Sync click (entry latency minus Sync latency %.3f s, "
              "within -0.35 to 0.1 s)" % shift)
        check(off(lag, expect_none) > 0.3,
              "the phase moved away from the unsynced one (off by %.3f s)"
              % off(lag, expect_none))
        s.quit_with_ok()


e2e.run(scenario)
