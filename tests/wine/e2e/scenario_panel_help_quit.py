"""Help shows its two boxes one after the other, captioned "Help", with their texts byte for
byte and the same closing lines; Quit from the System menu asks "Quit ?" once, Cancel keeps
the program, OK ends it with exit code 0 and no second question."""
import e2e
import panel_dialogs as pd
from e2e import check, require

# As the driver prints box texts: each line feed as the two characters \n.
CLOSING = ("To get the most recent version :\\n"
           "ask the Mixorama project for its latest release.\\n"
           "Suggestions are welcome.")
FIRST = ("Load the waves.\\n(even with different frequencies)\\nMove the mouse in the blue "
         "rectangle,\\nfor live mixing.\\nPress the left button to lock and \\nunlock the "
         "current volume of a wave.\\nPress the right button\\nto mute and unmute a wave.\\nIf "
         "you press  the key # before\\ndoing this, the wave # will be modified,\\notherwise "
         "the nearest wave will be modified.\\n") + CLOSING
SECOND = ("The demo program uses Mixorama as a rythm mixer,\\nbut you can use it in other "
          "ways.\\nThe waves can have any length,\\nany sampling frequencies,\\nstereo or "
          "mono.....\\n") + CLOSING


def scenario():
    with e2e.Session("panel_help_quit") as s:
        s.driver("wait-title", e2e.TITLE_DEMO, 20000)
        s.command(pd.CMD_HELP)
        box = s.wait_box("*")
        require(box is not None, "Help shows a box")
        check(box == ("Help", FIRST), "the first Help box reads as written (got %r)" % (box,))
        rc, out = s.driver("boxes")
        check(out.count("\n") == 1, "only one box is open at a time (got %r)" % out)
        s.answer(FIRST, "ok")
        box = s.wait_box("*")
        require(box is not None, "a second Help box follows the first")
        check(box == ("Help", SECOND), "the second Help box reads as written (got %r)" % (box,))
        s.answer(SECOND, "ok")
        check(s.driver("no-box", 1500)[0] == 0, "no third box")

        # Quit, answered Cancel: nothing happens.
        s.command(e2e.CMD_QUIT)
        box = s.wait_box(e2e.QUIT_TEXT)
        check(box == (e2e.TITLE_AT_START, e2e.QUIT_TEXT), "Quit asks \"Quit ?\" (got %r)" % (box,))
        s.answer(e2e.QUIT_TEXT, "cancel")
        check(s.driver("no-box", 1500)[0] == 0, "Cancel closes the question and asks nothing else")
        check(s.alive() and s.title() == e2e.TITLE_DEMO, "the program goes on after Cancel")

        # Quit, answered OK: the program ends without asking a second time (a second box
        # would hold it open until answered).
        s.command(e2e.CMD_QUIT)
        s.answer(e2e.QUIT_TEXT, "ok")
        code = s.wait_exit(30)
        check(code == 0, "OK ends the program with exit code 0 and one question (got %r)" % code)


e2e.run(scenario)
