"""Start-up with part of the demo set unusable: BD7525.WAV (slots 1 and 6) and CP.WAV (slot 2)
missing, HC50.WAV (slot 8) not a wave. Each failed load says so before the frame shows, in
slot order; exactly those slots are empty; the program then ends cleanly."""
import e2e
from e2e import check

BOXES = ["Error opening file"] * 3 + ["Error reading file (1)"]


def scenario():
    with e2e.Program("damaged_demo", replaced={"BD7525.WAV": None, "CP.WAV": None,
                                               "HC50.WAV": b"not a wave file, just text" * 4}) as p:
        for want in BOXES:
            box = p.answer(e2e.IDOK)
            check(box == (e2e.PROGRAM_TITLE, want), "at start-up %r (got %r)" % (want, box))
        e2e.wait(lambda: p.title() == "Mixorama Demo", "the frame once the boxes are answered")
        want = ["" if n in (1, 2, 6, 8) else e2e.STARTUP_SET[n - 1] for n in range(1, 9)]
        check(p.labels() == want, "exactly slots 1, 2, 6 and 8 are empty: %r" % p.labels())
        p.close()
        p.answer(e2e.IDOK, "Quit ?")
        check(p.exit_code() == 0, "the program ends with exit code 0")


e2e.run(scenario)
