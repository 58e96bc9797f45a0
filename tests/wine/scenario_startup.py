"""Start-up and leaving, as built: the title, the panel's captions and the start-up set's
labels, idle squares, the Frequency check mark on 11025, the two Help boxes; over the map,
Enter asks "Quit ?" (Cancel keeps the program) and Escape ends it at once with exit code 0."""
import e2e
from e2e import check

CLOSING = ("To get the most recent version :\nask the Mixorama project for its latest "
           "release.\nSuggestions are welcome.")
HELP = [
    "Load the waves.\n(even with different frequencies)\nMove the mouse in the blue rectangle,"
    "\nfor live mixing.\nPress the left button to lock and \nunlock the current volume of a "
    "wave.\nPress the right button\nto mute and unmute a wave.\nIf you press  the key # before"
    "\ndoing this, the wave # will be modified,\notherwise the nearest wave will be modified.\n"
    + CLOSING,
    "The demo program uses Mixorama as a rythm mixer,\nbut you can use it in other ways.\nThe "
    "waves can have any length,\nany sampling frequencies,\nstereo or mono.....\n" + CLOSING]


def scenario():
    with e2e.Program("startup") as p:
        e2e.wait(lambda: p.title() == "Mixorama Demo", "the title reads 'Mixorama Demo'")
        c = p.controls()
        check(p.labels() == e2e.STARTUP_SET, "the labels are the start-up set: %r" % p.labels())
        captions = [c[e2e.PLAY][1], c[e2e.SYNC][1]] + [c[e2e.LOAD(n)][1] for n in (1, 8)] + \
            [c[e2e.NO_WAVE(n)][1] for n in (1, 8)]
        check(captions == ["Press here to play", "Sync", "Load Wave", "Load Wave", "No Wave",
                           "No Wave"], "the panel's captions: %r" % captions)
        squares = [p.square(n) for n in range(1, 9)]
        check(squares == [e2e.IDLE] * 8, "the squares are idle blue: %r" % squares)
        check(p.rate_marks() == [True, False, False], "only 11025 carries the check mark")

        p.command(e2e.HELP)
        for text in HELP:
            box = p.answer(e2e.IDOK)
            check(box == ("Help", text), "a Help box as written: %r" % (box,))
        check(p.boxes() == [], "two Help boxes, no third")

        p.move(175, 175)  # the map takes the keyboard focus
        p.keys((e2e.VK_RETURN, "down"), (e2e.VK_RETURN, "up"))
        box = p.answer(e2e.IDCANCEL)
        check(box == (e2e.PROGRAM_TITLE, "Quit ?"), "Enter over the map asks: %r" % (box,))
        check(p.proc.poll() is None and p.frame(), "Cancel keeps the program")
        p.move(170, 170)
        p.keys((e2e.VK_ESCAPE, "down"), (e2e.VK_ESCAPE, "up"))
        code = p.exit_code()
        check(code == 0, "Escape over the map ends the program, no question asked: %r" % code)


e2e.run(scenario)
