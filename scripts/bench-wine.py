"""The Windows program's CPU share under Wine while it plays the demo set: mixorama.exe started
with its start-up set, the pointer at the map's centre (all eight loops mixing), play and stop
pressed in turns, PERIODS (default 5) periods of SECONDS (default 12) s each way, so 60 s of
playing in all. Reported: the CPU time of the program's process over each period as a share of
one core, playing beside stopped (the same program, same window, no playback), and their
medians. Run by scripts/bench-wine.sh, inside the environment of scripts/wine_env.py."""
import os
import statistics
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "../tests/wine"))
import e2e  # noqa: E402

PERIODS = int(os.environ.get("PERIODS", "5"))
SECONDS = float(os.environ.get("SECONDS", "12"))
TICKS = os.sysconf("SC_CLK_TCK")


def cpu_seconds(pid):  # user and system time of the process so far
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / TICKS


def program_pid(p):  # the Linux process that is mixorama.exe (wine execs into it)
    def find():
        for pid in filter(str.isdigit, os.listdir("/proc")):
            try:
                if (open("/proc/%s/comm" % pid).read().strip() == "mixorama.exe" and
                        os.readlink("/proc/%s/cwd" % pid) == os.path.realpath(p.dir)):
                    return int(pid)
            except OSError:
                pass
        return None
    return e2e.wait(find, "the process of mixorama.exe")


def share(pid):  # CPU share of one core over the next SECONDS
    c0, t0 = cpu_seconds(pid), time.monotonic()
    time.sleep(SECONDS)
    return (cpu_seconds(pid) - c0) / (time.monotonic() - t0)


def main():
    playing, stopped = [], []
    with e2e.Program("bench-wine") as p:
        p.up()
        pid = program_pid(p)
        p.move(170, 170)
        for period in range(PERIODS):
            p.click(e2e.PLAY)
            e2e.wait(lambda: p.text(e2e.PLAY) == "Press here to cut sound", "playing")
            p.move(175, 175)  # a move inside the map: live, all eight loops mixing
            playing.append(share(pid))
            p.click(e2e.PLAY)
            e2e.wait(lambda: p.text(e2e.PLAY) == "Press here to play", "stopped")
            stopped.append(share(pid))
            print("period %d: playing %.2f %%, stopped %.2f %% of one core" %
                  (period + 1, 100 * playing[-1], 100 * stopped[-1]), flush=True)
        p.command(0, e2e.WM_CLOSE)
        p.answer(e2e.IDOK, "Quit ?")
        p.ends("OK ends the program")
    print("medians of %d periods of %g s: playing %.2f %%, stopped %.2f %% of one core; "
          "playing over all %g s: %.2f %%" %
          (PERIODS, SECONDS, 100 * statistics.median(playing), 100 * statistics.median(stopped),
           PERIODS * SECONDS, 100 * statistics.fmean(playing)))
    return 1 if e2e.failures else 0


if __name__ == "__main__":
    sys.exit(main())
