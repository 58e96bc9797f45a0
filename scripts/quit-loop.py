"""Quits the real program while it plays, many times over, and counts the exit statuses: the
campaign behind the question whether quitting while playing can end with a non-zero status.

    python3 scripts/quit-loop.py [--runs N]     (after the Windows build, build/windows)

Each run starts mixorama.exe with the demo set, presses play, moves the mouse into the map so
that every tick mixes, waits a varying number of ticks, then quits: by the close box or by
System > Quit, answering "Quit ?" with OK, alternately. It prints one line per run that did not
end with status 0 and a summary. Not a test: the stage's scenarios own the behaviour.
"""
import argparse
import os
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
B = os.path.join(ROOT, "build", "windows")


def campaign(runs):
    sys.path.insert(0, os.path.join(ROOT, "tests", "wine"))
    import e2e  # noqa: E402 (needs the environment's variables first)

    statuses = {}
    started = time.monotonic()
    for n in range(runs):
        with e2e.Program("quit-loop") as p:
            p.up()
            p.click(e2e.PLAY)
            e2e.wait(lambda: p.text(e2e.PLAY) == "Press here to cut sound", "the play button")
            p.move(87 + n % 7, 5 + n % 11)
            time.sleep((n % 10) * 0.023)  # a different phase against the 50 ms tick each run
            if n % 2:
                p.command(e2e.QUIT)
            else:
                p.command(0, e2e.WM_CLOSE)
            p.answer(e2e.IDOK, "Quit ?")
            e2e.wait(lambda: p.proc.poll() is not None, "the program ends")
        status = p.proc.wait()  # -9: it hung and was killed
        statuses[status] = statuses.get(status, 0) + 1
        if status != 0 or e2e.failures:
            print("run %d: exit status %r %s" % (n + 1, status, e2e.failures), flush=True)
            e2e.failures.clear()
    print("quit-loop: %d runs in %.0f s, exit statuses %r"
          % (runs, time.monotonic() - started, statuses))
    return 0 if set(statuses) == {0} else 1


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--runs", type=int, default=300)
    args = parser.parse_args()
    if os.environ.get("MIXORAMA_WINE_ENV") != "1":
        return subprocess.run([sys.executable, os.path.join(ROOT, "scripts", "wine_env.py"),
                               "--prefix", os.path.join(B, "..", "wineprefix"), "--",
                               sys.executable, __file__, "--runs", str(args.runs)]).returncode
    os.environ.update({
        "MIXO_EXE": os.path.join(B, "ui", "win", "mixorama.exe"),
        "MIXO_DRIVER": os.path.join(B, "tests", "wine", "mixorama_driver.exe"),
        "MIXO_DEMO": os.path.join(B, "demo"), "MIXO_WORK": os.path.join(B, "e2e"),
        "PYTHONDONTWRITEBYTECODE": "1"})
    return campaign(args.runs)


if __name__ == "__main__":
    sys.exit(main())
