"""The Frequency menu: the item of the rate in force asks nothing; another item asks the
question (empty caption, Yes and No); No changes nothing and the sound plays on at 11025 Hz;
Yes stops playback, empties every slot, resets the play button and moves the check mark, and
once a wave is loaded and playback restarted the sound server receives the new rate."""
import time

import e2e
import panel_dialogs as pd
from e2e import check, require


def scenario():
    with e2e.Session("panel_frequency") as s:
        s.driver("wait-title", e2e.TITLE_DEMO, 20000)
        check(pd.rate_marks(s) == [True, False, False], "11025 is checked at start")
        s.click(e2e.ID_PLAY)
        s.move(175, 175)
        check(pd.wait_stream_rate(11025), "the program plays at 11025 Hz")
        before = pd.labels(s)

        # The rate in force: no question, nothing changes.
        s.command(e2e.CMD_11025)
        rc, _ = s.driver("no-box", 2000)
        check(rc == 0, "choosing 11025 at 11025 asks nothing")

        # Another rate, answered No: nothing changes, playback goes on.
        s.command(e2e.CMD_22050)
        box = s.wait_box(pd.RATE_QUESTION)
        require(box is not None, "choosing 22050 asks the question")
        check(box[0] == "", "the question has an empty caption (got %r)" % box[0])
        s.start_recording()
        s.sleep(1.5)
        t_no = s.answer(pd.RATE_QUESTION, "no")
        s.sleep(1.5)
        audio = s.stop_recording()
        playing_open = audio.rms(audio.at(t_no) - 1.2, audio.at(t_no))
        playing_after = audio.rms(audio.at(t_no) + 0.3, audio.at(t_no) + 1.3)
        e2e.figure("level while the question is open", pd.db(playing_open), "dBFS")
        e2e.figure("level after No", pd.db(playing_after), "dBFS")
        check(pd.hears(playing_open), "playback goes on while the question is open")
        check(pd.hears(playing_after), "playback goes on after No")
        check(pd.labels(s) == before, "No leaves every label as it was")
        s.expect_text(e2e.ID_PLAY, e2e.CUT, "the play button after No")
        check(pd.stream_rates() == [11025], "still one stream at 11025 Hz after No")
        s.move_cursor_away()
        check(pd.rate_marks(s) == [True, False, False], "11025 keeps the check mark after No")

        # 44100, answered Yes.
        s.command(e2e.CMD_44100)
        s.answer(pd.RATE_QUESTION, "yes")
        s.driver("no-box", 1000)
        check(pd.labels(s) == [""] * 8, "Yes empties every slot label")
        s.expect_text(e2e.ID_PLAY, e2e.PLAY, "the play button after Yes")
        deadline = time.time() + 10
        while pd.stream_rates() and time.time() < deadline:
            time.sleep(0.2)
        check(pd.stream_rates() == [], "playback has stopped: the program plays no stream")
        check(pd.rate_marks(s) == [False, False, True], "44100 carries the check mark")

        # A wave loaded now plays at the new rate once playback restarts.
        s.click(e2e.ID_LOAD(1))
        check(pd.choose_file(s, "Open Wave", "SD0010.WAV"), "the open dialog closes")
        s.expect_text(e2e.ID_LABEL(1), "SD0010.", "slot 1's label")
        s.click(e2e.ID_PLAY)
        s.expect_text(e2e.ID_PLAY, e2e.CUT, "the play button")
        s.move(20, 20)  # near slot 1's point: one wave alone needs a high level to be heard
        check(pd.wait_stream_rate(44100), "the sound server receives 44100 Hz")
        check(pd.stream_rates() == [44100], "one stream, at 44100 Hz (got %r)" %
              pd.stream_rates())
        s.start_recording()
        s.sleep(2.5)
        audio = s.stop_recording()
        level = audio.rms(0.3, audio.duration())
        e2e.figure("level of the reloaded wave at 44100", pd.db(level), "dBFS")
        check(pd.hears(level), "the wave loaded after the change is heard")
        s.quit_with_ok()


e2e.run(scenario)
