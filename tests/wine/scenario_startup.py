"""Start-up as built, the Help boxes, Enter and Escape over the map; then start-up with slots 1, 6
(BD7525.WAV), 2 (CP.WAV) missing and 8 (HC50.WAV) not a wave: a box for each, in slot order,
then one for a faulty MIDI map beside the program."""
import e2e
from e2e import check

CLOSING = ("To get the most recent version :\nask the Mixorama project for its latest release."
           "\nSuggestions are welcome.")
HELP = [
    "Load the waves.\n(even with different frequencies)\nMove the mouse in the blue rectangle,\n"
    "for live mixing.\nPress the left button to lock and \nunlock the current volume of a wave.\n"
    "Press the right button\nto mute and unmute a wave.\nIf you press  the key # before\ndoing "
    "this, the wave # will be modified,\notherwise the nearest wave will be modified.\n" + CLOSING,
    "The demo program uses Mixorama as a rythm mixer,\nbut you can use it in other ways.\nThe "
    "waves can have any length,\nany sampling frequencies,\nstereo or mono.....\n" + CLOSING]
CAPTIONS = {e2e.PLAY: "Press here to play", e2e.SYNC: "Sync", e2e.LOAD(1): "Load Wave",
            e2e.LOAD(8): "Load Wave", e2e.NO_WAVE(1): "No Wave", e2e.NO_WAVE(8): "No Wave"}
DAMAGED = {"BD7525.WAV": None, "CP.WAV": None, "HC50.WAV": b"not a wave file, just text" * 4}
BAD_MAP = {"MIXORAMA.MAP": b"MIXORAMA-MIDI-MAP 1.0\r\nany cc 20 = level 9\r\nend\r\n"}


def scenario():
    with e2e.Program("startup") as p:
        p.up()
        check(p.labels() == e2e.STARTUP_SET, "the labels are the start-up set: %r" % p.labels())
        captions = {k: p.controls()[k][1] for k in CAPTIONS}
        check(captions == CAPTIONS, "the panel's captions: %r" % captions)
        squares = [p.square(n) for n in range(1, 9)]
        check(squares == [e2e.IDLE] * 8, "the squares are idle blue: %r" % squares)
        check(p.rate_marks() == [True, False, False], "only 11025 carries the check mark")
        p.command(e2e.HELP)
        for text in HELP:
            p.asks(e2e.IDOK, "Help", text, "a Help box as written")
        check(p.boxes() == [], "two Help boxes, no third")

        p.move(175, 175)  # the map takes the keyboard focus
        p.keys(e2e.VK_RETURN)
        p.asks(e2e.IDCANCEL, e2e.PROGRAM_TITLE, "Quit ?", "Enter over the map asks")
        check(p.proc.poll() is None and p.frame(), "Cancel keeps the program")
        p.move(170, 170)
        p.keys(e2e.VK_ESCAPE)
        p.ends("Escape over the map ends the program, no question asked,")
    if e2e.IN_PLACE:
        return

    with e2e.Program("damaged_demo", replaced=DAMAGED, beside=BAD_MAP) as p:
        for want in ["Error opening file"] * 3 + ["Error reading file (1)",
                                                  "MIDI map error, line 2 : slots are 1 to 8"]:
            p.asks(e2e.IDOK, e2e.PROGRAM_TITLE, want, "at start-up " + want)
        p.up()
        want = ["" if n in (1, 2, 6, 8) else e2e.STARTUP_SET[n - 1] for n in range(1, 9)]
        check(p.labels() == want, "exactly slots 1, 2, 6 and 8 are empty: %r" % p.labels())
        p.command(0, e2e.WM_CLOSE)
        p.answer(e2e.IDOK, "Quit ?")
        p.ends("the program ends")


e2e.run(scenario)
