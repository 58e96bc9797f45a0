"""Mixing as the user hears and sees it, with the demo set.

The play button's captions; no sound after play until the mouse enters the map, then the mix
looping with the demo set's period; a right click near slot 1's point mutes slot 1 and a right
click with keypad 2 held mutes slot 2 although slot 1 is nearer (squares turn green, the level
drops each time); a right click near slot 1 again unmutes it; closing answered Cancel keeps the
sound; the play button stops it; Quit answered OK ends the program with exit code 0."""
import e2e
from e2e import check, figure

# The cursor rests near slot 1's point: slot 1 (kick) is loudest, slot 2 (clap) next.
SPOT = (87, 5)
SETTLE = 0.8            # event to steady sound: tick, ring, sound server (seconds)
LOOP = e2e.LOOP_SECONDS


def level(audio, epoch):
    """Level over one whole loop starting SETTLE seconds after an event."""
    t = audio.at(epoch) + SETTLE
    return audio.rms(t, t + LOOP)


def scenario():
    with e2e.Session("mixing") as s:
        s.driver("wait-title", e2e.TITLE_DEMO, 20000)
        s.start_recording()
        s.sleep(0.5)

        t_play = s.click(e2e.ID_PLAY)
        s.sleep(0.5)
        s.expect_text(e2e.ID_PLAY, e2e.CUT, "the play button after starting")
        s.sleep(2.0)

        # The mouse enters the map: mixing starts.
        t_enter = s.move(*SPOT)
        s.sleep(SETTLE + 3 * LOOP + 0.2)
        slot_levels = {n: e2e.closeness(SPOT[0], SPOT[1], n) for n in range(1, 9)}
        expect1 = e2e.level_colour(max(1, slot_levels[1]))
        expect2 = e2e.level_colour(max(1, slot_levels[2]))
        expect8 = e2e.level_colour(max(1, slot_levels[8]))
        check(s.square_colour(1) == expect1, "square 1 shows its level %d as %r (got %r)"
              % (slot_levels[1], expect1, s.square_colour(1)))
        check(s.square_colour(2) == expect2, "square 2 shows its level %d as %r (got %r)"
              % (slot_levels[2], expect2, s.square_colour(2)))
        check(s.square_colour(8) == expect8, "square 8 shows its level %d as %r (got %r)"
              % (slot_levels[8], expect8, s.square_colour(8)))
        shot = s.screenshot("mixing")
        fl, ft, fr, fb = s.map_geometry()["frame"]
        shot.crop(max(fl, 0), max(ft, 0), fr, fb, shot.png.replace(".png", "-frame.png"))

        # Right click near slot 1: slot 1 muted.
        t_mute1 = s.act("rclick")
        s.sleep(SETTLE + LOOP + 0.2)
        check(s.square_colour(1) == e2e.GREEN, "square 1 turns green when muted (got %r)"
              % (s.square_colour(1),))
        check(s.square_colour(2) == expect2, "square 2 keeps its level colour (got %r)"
              % (s.square_colour(2),))

        # Keypad 2 held: the click acts on slot 2 although slot 1 is nearer.
        t_mute2 = s.act("keydown", e2e.VK_NUMPAD(2), "+", "sleep", 100, "+", "rclick", "+",
                        "sleep", 100, "+", "keyup", e2e.VK_NUMPAD(2))
        s.sleep(SETTLE + LOOP + 0.2)
        check(s.square_colour(2) == e2e.GREEN, "square 2 turns green with keypad 2 held (got %r)"
              % (s.square_colour(2),))
        check(s.square_colour(1) == e2e.GREEN, "square 1 stays green (got %r)"
              % (s.square_colour(1),))

        # Right click near slot 1 again: slot 1 unmuted, back to its level.
        t_unmute1 = s.act("rclick")
        s.sleep(SETTLE + LOOP + 0.2)
        check(s.square_colour(1) == expect1, "square 1 shows its level again when unmuted "
              "(got %r)" % (s.square_colour(1),))

        # Close box, answered Cancel: nothing changes, the sound goes on.
        s.act("close")
        box = s.wait_box(e2e.QUIT_TEXT)
        check(box == (e2e.TITLE_AT_START, e2e.QUIT_TEXT), "closing asks \"Quit ?\" (got %r)"
              % (box,))
        t_cancel = s.answer(e2e.QUIT_TEXT, "cancel")
        s.sleep(SETTLE + LOOP + 0.2)
        check(s.alive(), "Cancel keeps the program running")
        s.expect_text(e2e.ID_PLAY, e2e.CUT, "the play button after Cancel")

        # The play button again: the sound stops.
        t_stop = s.click(e2e.ID_PLAY)
        s.sleep(2.0)
        s.expect_text(e2e.ID_PLAY, e2e.PLAY, "the play button after stopping")
        audio = s.stop_recording()

        # What was heard.
        quiet = audio.rms(audio.at(t_play) + 0.1, audio.at(t_enter) - 0.2)
        figure("level between play and entering the map", e2e.db(quiet), "dBFS")
        check(quiet < 1e-4, "silence after play until the mouse enters the map")
        onset = audio.onset(audio.at(t_play), 0.003)
        check(onset is not None, "the mix is heard once the mouse is over the map")
        if onset is not None:
            latency = onset - audio.at(t_enter)
            figure("entering the map to first sound", latency, "s")
            check(-0.05 <= latency <= 1.5, "sound starts within 1.5 s after the mouse entered "
                  "the map and not before (%.3f s)" % latency)

        # The recording runs at the output rate, so the loop is 22048 samples long.
        t0 = audio.at(t_enter) + SETTLE + LOOP
        period, corr = audio.period(t0, t0 + 2.2 * LOOP, 0.3, 1.1 * LOOP)
        figure("loop period", period, "s")
        figure("waveform correlation at the period", corr)
        check(period is not None and abs(period - LOOP) <= 2.0 / e2e.RECORD_RATE,
              "the mix loops every %.5f s, within 2 samples (measured %r)" % (LOOP, period))
        check(corr > 0.95, "the loop repeats sample for sample (correlation %.4f)" % corr)

        l_full = level(audio, t_enter + 1.5 * LOOP)
        l_mute1 = level(audio, t_mute1)
        l_mute12 = level(audio, t_mute2)
        l_unmute1 = level(audio, t_unmute1)
        l_cancel = level(audio, t_cancel)
        l_stop = audio.rms(audio.at(t_stop) + SETTLE, audio.at(t_stop) + SETTLE + 1.0)
        for name, v in (("mixing", l_full), ("slot 1 muted", l_mute1),
                        ("slots 1 and 2 muted", l_mute12), ("slot 1 unmuted", l_unmute1),
                        ("after Cancel", l_cancel), ("after stop", l_stop)):
            figure("level " + name, e2e.db(v), "dBFS")
        check(l_full > 0.01, "the mix is clearly audible")
        check(l_mute1 < 0.8 * l_full, "muting slot 1 lowers the level (%.1f dB)"
              % (e2e.db(l_mute1) - e2e.db(l_full)))
        check(l_mute12 < 0.9 * l_mute1, "muting slot 2 with keypad 2 lowers it further (%.1f dB)"
              % (e2e.db(l_mute12) - e2e.db(l_mute1)))
        check(l_unmute1 > 1.25 * l_mute12, "unmuting slot 1 raises it again (%.1f dB)"
              % (e2e.db(l_unmute1) - e2e.db(l_mute12)))
        check(0.8 < l_cancel / max(l_unmute1, 1e-9) < 1.25,
              "the sound goes on unchanged after Cancel (%.1f dB)"
              % (e2e.db(l_cancel) - e2e.db(l_unmute1)))
        check(l_stop < 1e-4, "silence after the play button stopped playback")

        s.quit_with_ok()


e2e.run(scenario)
