"""The keyboard over the map: moving the mouse into the map gives the map the focus; Enter
there asks "Quit ?" (answered Cancel, the program goes on playing); Escape there ends the
program at once, without a question, with exit code 0."""
import e2e
from e2e import check

VK_RETURN = 0x0D


def scenario():
    with e2e.Session("keys") as s:
        s.driver("wait-title", e2e.TITLE_DEMO, 20000)
        s.click(e2e.ID_PLAY)
        s.move(175, 175)
        s.sleep(0.5)
        rc, out = s.driver("focus")
        check(rc == 0 and out.strip() == str(e2e.ID_MAP),
              "the map has the keyboard focus once the mouse is over it (got %r)" % out.strip())

        s.act("key", VK_RETURN)
        box = s.wait_box("*")
        check(box == (e2e.TITLE_AT_START, e2e.QUIT_TEXT),
              "Enter over the map asks \"Quit ?\" (got %r)" % (box,))
        if box is not None:
            s.answer(box[1], "cancel")
        s.sleep(1.0)
        check(s.alive(), "Cancel keeps the program running")
        s.expect_text(e2e.ID_PLAY, e2e.CUT, "the play button after Cancel")

        # The map needs the focus again: moving over it gives it back.
        s.move(170, 170)
        s.sleep(0.5)
        s.act("key", e2e.VK_ESCAPE)
        # Any question would hold the program open: it must end by itself.
        code = s.wait_exit(20)
        rc, out = s.driver("boxes")
        check(out.strip() == "", "no message box was left open (got %r)" % out.strip())
        check(code == 0, "Escape over the map ends the program with exit code 0 (got %r)"
              % code)


e2e.run(scenario)
