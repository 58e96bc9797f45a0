"""Start-up without BD7525.WAV (slots 1, 6) and CP.WAV (slot 2), HC50.WAV (slot 8) not a wave:
a box per failed load before the frame shows, in slot order, exactly those slots empty."""
import e2e
from e2e import check


def scenario():
    with e2e.Program("damaged_demo", replaced={"BD7525.WAV": None, "CP.WAV": None,
                                               "HC50.WAV": b"not a wave file, just text" * 4}) as p:
        for want in ["Error opening file"] * 3 + ["Error reading file (1)"]:
            p.asks(e2e.IDOK, e2e.PROGRAM_TITLE, want, "at start-up " + want)
        p.up()
        want = ["" if n in (1, 2, 6, 8) else e2e.STARTUP_SET[n - 1] for n in range(1, 9)]
        check(p.labels() == want, "exactly slots 1, 2, 6 and 8 are empty: %r" % p.labels())
        p.close()
        p.answer(e2e.IDOK, "Quit ?")
        p.ends("the program ends")


e2e.run(scenario)
