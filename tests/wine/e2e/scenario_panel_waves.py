"""Emptying and loading slots while the program plays: "No Wave" on each slot during playback
(the label empties, the rest plays on, the last one leaves silence), then "Load Wave" through
the real open dialog: a 16-bit stereo click loop at 11025 Hz into slot 1, and while it plays an
8-bit mono tone loop at 22050 Hz into slot 2, which must join in step: its tone starts with
each click, never at another place in the loop."""
import os
import time

import e2e
import panel_dialogs as pd
from e2e import check, require

LOOP = pd.LOOP_FRAMES / 11025.0
CLICK = pd.tone_loop(11025, 16, 2, LOOP, 0.04, 12)   # 40 ms of tone, then silence
TONE = pd.tone_loop(22050, 8, 1, LOOP, 0.25, 24)     # 250 ms of tone, then silence


def scenario():
    with e2e.Session("panel_waves", replaced={"CLICK.WAV": CLICK, "TONE.WAV": TONE}) as s:
        s.click(e2e.ID_PLAY)
        s.expect_text(e2e.ID_PLAY, e2e.CUT, "the play button")
        s.move(175, 175)  # every slot point lies about 196 pixels away: all slots equal
        s.start_recording()
        s.sleep(2.5)
        t_half = time.time()

        # "No Wave" on slots 1 to 4: their labels empty at once, the others play on.
        for n in range(1, 5):
            s.click(e2e.ID_NOWAVE(n))
        labels = pd.labels(s)
        check(labels[:4] == [""] * 4 and all(labels[4:]),
              "No Wave empties labels 1 to 4 only (got %r)" % labels)
        s.expect_text(e2e.ID_PLAY, e2e.CUT, "the play button during No Wave")
        s.sleep(2.5)
        t_rest = time.time()
        for n in range(5, 9):
            s.click(e2e.ID_NOWAVE(n))
        check(pd.labels(s) == [""] * 8, "every label is empty after the eighth No Wave")
        s.sleep(1.5)
        t_empty = time.time()

        # Load Wave through the open dialog: a click loop, then a tone loop of another rate,
        # sample size and channel count.
        s.click(e2e.ID_LOAD(1))
        check(pd.choose_file(s, "Open Wave", "CLICK.WAV"), "the open dialog closes")
        t_click = time.time()
        s.expect_text(e2e.ID_LABEL(1), "CLICK.", "slot 1's label")
        s.sleep(4.5)
        s.click(e2e.ID_LOAD(2))
        check(pd.choose_file(s, "Open Wave", "TONE.WAV"), "the open dialog closes again")
        t_tone = time.time()
        s.expect_text(e2e.ID_LABEL(2), "TONE.", "slot 2's label")
        s.sleep(5)
        s.expect_text(e2e.ID_PLAY, e2e.CUT, "the play button after the loads")
        audio = s.stop_recording()

        # Playback went on through everything; the emptied program was silent.
        before = audio.rms(audio.at(t_half) - 2.0, audio.at(t_half))
        rest = audio.rms(audio.at(t_rest) - 1.5, audio.at(t_rest))
        empty = audio.rms(audio.at(t_empty) - 0.8, audio.at(t_empty))
        e2e.figure("level with eight slots", pd.db(before), "dBFS")
        e2e.figure("level with slots 5 to 8", pd.db(rest), "dBFS")
        e2e.figure("level with no slot", pd.db(empty), "dBFS")
        check(pd.hears(before), "the demo set is heard before No Wave")
        check(pd.hears(rest), "slots 5 to 8 play on after No Wave on slots 1 to 4")
        check(pd.is_silent(empty), "silence once every slot is empty")

        clicks = pd.segments(audio, audio.at(t_click) + 0.6, audio.at(t_tone) - 0.1)
        e2e.figure("click stretches (start, length)", [(round(a, 3), round(b, 3))
                                                       for a, b in clicks], "s")
        require(len(clicks) >= 2, "the click loop is heard at least twice")
        lengths = [b for _, b in clicks]
        check(all(0.02 <= b <= 0.08 for b in lengths), "each click lasts about 40 ms")
        period = (clicks[-1][0] - clicks[0][0]) / max(1, round((clicks[-1][0] - clicks[0][0]) /
                                                                LOOP))
        e2e.figure("click period", period, "s")
        check(abs(period - LOOP) < 0.02, "the click repeats every %.3f s" % LOOP)

        tones = pd.segments(audio, audio.at(t_tone) + 0.6, audio.duration() - 0.1)
        e2e.figure("stretches after the tone loop joined", [(round(a, 3), round(b, 3))
                                                            for a, b in tones], "s")
        require(len(tones) >= 2, "the loops are heard twice after the tone loop joined")
        # In step, the tone loop starts at the click loop's place in its loop: the first
        # stretch may be the tail of a tone already under way, but every stretch ends 250 ms
        # after a click, and every later one starts with a click.
        origin = clicks[-1][0]
        ends = [pd.phase_error(a + b - 0.25, origin, period) for a, b in tones]
        starts = [pd.phase_error(a, origin, period) for a, _ in tones[1:]]
        e2e.figure("tone ends from the click grid + 250 ms", [round(e, 3) for e in ends], "s")
        e2e.figure("later tone starts from the click grid", [round(e, 3) for e in starts], "s")
        check(all(e < 0.03 for e in ends) and all(e < 0.03 for e in starts),
              "the tone loop plays in step with the click loop, nowhere else in the loop")
        check(all(0.2 <= b <= 0.3 for _, b in tones[1:]),
              "each whole stretch lasts the tone's 250 ms (click and tone together)")
        audio.save_wav(os.path.join(s.dir, "waves.wav"))
        s.quit_with_ok()


e2e.run(scenario)
