"""The environment the Windows build runs in under Wine: an X display, a sound server with a
null sink to play into and record from, and a Wine prefix with one persistent wineserver.

    with wine_env.environment() as env:      # exports DISPLAY, WINEPREFIX, PULSE_SERVER, ...
        subprocess.run(["wine", "prog.exe"])   # env["sink"] is the sink to record

    python3 scripts/wine_env.py [--use-display] [--use-sound] [--prefix DIR] -- CMD [ARGS...]
    python3 scripts/wine_env.py --use-display --use-sound --run EXE_DIR [--seconds N]

Every wait is bounded. Only what was started here is ended: our Xvfb, sound server and
keep-alive stream by their process ids, and Wine by `wineserver -k` in our own prefix, which
is locked against other sessions for as long as the environment is up.
"""
import argparse
import contextlib
import ctypes
import fcntl
import functools
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
SINK = "mixorama_out"
# The sink's rate: a whole multiple of every output rate of the program, so the sound server
# resamples its stream by a whole ratio and a loop still repeats sample for sample at the sink.
SINK_RATE = 44100


@functools.lru_cache(maxsize=None)
def realtime():
    """The command prefix that runs a process of the sound path (sound server, Wine, the
    recorder) at a real-time priority, as audio threads run on a desktop, so that it keeps up
    while the machine's cores are busy with other builds. Empty when the system refuses it."""
    return ("chrt", "-r", "10") if succeeds("chrt", "-r", "10", "true") else ()


def _die_with_us():
    # Runs in the child before exec: the kernel ends it when this process dies, even by
    # SIGKILL, so no display or sound server outlives a killed session.
    ctypes.CDLL(None, use_errno=True).prctl(1, signal.SIGTERM)  # PR_SET_PDEATHSIG


def wait_until(what, ready, seconds):
    deadline = time.monotonic() + seconds
    while not ready():
        if time.monotonic() > deadline:
            raise RuntimeError("wine_env: %s not ready within %d s" % (what, seconds))
        time.sleep(0.1)


def succeeds(*cmd, seconds=10):
    try:
        return subprocess.run(cmd, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL, timeout=seconds).returncode == 0
    except (subprocess.TimeoutExpired, FileNotFoundError):
        return False


def start(state, name, cmd, **kw):
    log = open(os.path.join(state, name + ".log"), "w")
    return subprocess.Popen(cmd, stdin=subprocess.DEVNULL, stdout=log, stderr=log,
                            preexec_fn=_die_with_us, **kw)


def xvfb(state, procs):
    """Starts Xvfb on a free display number; returns the DISPLAY value."""
    numfile = os.path.join(state, "display")
    with open(numfile, "w") as out:
        procs.append(start(state, "xvfb", ["Xvfb", "-displayfd", str(out.fileno()), "-screen",
                                           "0", "1024x768x24", "-nolisten", "tcp", "-noreset"],
                           pass_fds=(out.fileno(),)))
    wait_until("Xvfb", lambda: open(numfile).read().strip().isdigit(), 20)
    display = ":" + open(numfile).read().strip()
    wait_until("display " + display, lambda: succeeds("xdpyinfo", "-display", display), 20)
    return display


def pulse(state, procs):
    """Starts a private PulseAudio with a null sink and returns its environment. A silent
    keep-alive stream keeps the sink running in small blocks: idle, it renders ahead in blocks
    of up to 2 s and a recording of its monitor then does not follow the clock."""
    runtime = os.path.join(state, "runtime")
    os.makedirs(runtime, mode=0o700)
    env = {"XDG_RUNTIME_DIR": runtime, "PULSE_SERVER": "unix:%s/pulse/native" % runtime}
    os.environ.update(env)
    procs.append(start(state, "pulseaudio", [*realtime(),
        "pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1", "--use-pid-file=no",
        "--disallow-exit", "--log-target=stderr",
        "--load=module-null-sink sink_name=%s rate=%d channels=2" % (SINK, SINK_RATE),
        "--load=module-native-protocol-unix auth-anonymous=1"], env=dict(os.environ, HOME=state)))
    wait_until("PulseAudio", lambda: succeeds("pactl", "info"), 20)
    if not succeeds("pactl", "set-default-sink", SINK):
        raise RuntimeError("wine_env: cannot make %s the default sink" % SINK)
    procs.append(start(state, "keepalive", [*realtime(),
        "pacat", "--playback", "--device=" + SINK, "--format=s16le", "--rate=%d" % SINK_RATE,
        "--channels=2", "--latency-msec=20", "--client-name=mixorama-keepalive", "/dev/zero"]))
    return env


def wine_prefix(prefix):
    """The prefix's variables; the prefix is made once (a half-made one is made again)."""
    env = {"WINEPREFIX": prefix, "WINEARCH": "win32", "WINEDEBUG": "-all",
           "WINEDLLOVERRIDES": "mscoree,mshtml="}
    os.environ.update(env)
    mark = os.path.join(prefix, ".mixorama-prefix-complete")
    if not os.path.exists(mark):
        shutil.rmtree(prefix, ignore_errors=True)
        print("wine_env: making the Wine prefix %s (once)" % prefix, file=sys.stderr)
        if not (succeeds("wineboot", "-i", seconds=300) and succeeds("wineserver", "-w",
                                                                     seconds=120)):
            raise RuntimeError("wine_env: wineboot -i failed in " + prefix)
        open(mark, "w").close()
    return env


def wineserver(window_manager):
    """One wineserver for the whole session: left alone it exits a few seconds after its last
    client, and a wine started just then fails. The first wine program starts Wine's
    background services, which inherit its output: start them here, where no pipe is held.
    Without a window manager Wine waits 2 s for one at every window it hides (each message
    box): there, Wine is told to manage its windows itself."""
    succeeds(*realtime(), "wineserver", "-p", seconds=20)
    succeeds("wine", "reg", "add", r"HKCU\Software\Wine\X11 Driver", "/v", "Managed", "/d",
             "Y" if window_manager else "N", "/f", seconds=120)


@contextlib.contextmanager
def environment(use_display=False, use_sound=False, prefix=None):
    """Brings display, sound and prefix up in os.environ; yields {"sink": ..., "own_display":
    ...}; ends what it started and restores os.environ on the way out."""
    prefix = os.path.abspath(prefix or os.path.join(ROOT, "build", "wineprefix"))
    os.makedirs(os.path.dirname(prefix), exist_ok=True)
    saved = dict(os.environ)
    state = tempfile.mkdtemp(prefix="mixorama-wine-env.")
    procs = []
    lock = open(prefix + ".lock", "w")
    try:
        wait_until("the lock of " + prefix, lambda: _try_lock(lock), 600)
        info = {"own_display": False, "sink": SINK}
        if not (use_display and succeeds("xdpyinfo")):
            os.environ["DISPLAY"] = xvfb(state, procs)
            info["own_display"] = True
        if use_sound and succeeds("pactl", "info", seconds=5):
            info["sink"] = subprocess.run(["pactl", "get-default-sink"], capture_output=True,
                                          text=True, timeout=5).stdout.strip()
        else:
            pulse(state, procs)
        os.environ["MIXORAMA_SINK"] = info["sink"]
        wine_prefix(prefix)
        wineserver(window_manager=not info["own_display"])
        os.environ["MIXORAMA_WINE_ENV"] = "1"
        yield info
    finally:
        succeeds("wineserver", "-k", seconds=20)
        for p in reversed(procs):
            p.terminate()
            try:
                p.wait(timeout=5)
            except subprocess.TimeoutExpired:
                p.kill()
                p.wait(timeout=5)
        lock.close()
        shutil.rmtree(state, ignore_errors=True)
        os.environ.clear()
        os.environ.update(saved)


def _try_lock(f):
    try:
        fcntl.flock(f, fcntl.LOCK_EX | fcntl.LOCK_NB)
        return True
    except BlockingIOError:
        return False


def run_program(exe_dir, seconds, own_display):
    """Runs mixorama.exe from exe_dir (which holds the demo set) until it ends, Ctrl+C or
    seconds; on a display of our own, a screenshot goes to build/run/screenshot.png."""
    proc = subprocess.Popen(["wine", "mixorama.exe"], cwd=exe_dir, stdin=subprocess.DEVNULL)
    started = time.monotonic()
    try:
        if own_display:
            time.sleep(5)
            shot = os.path.join(ROOT, "build", "run", "screenshot.png")
            os.makedirs(os.path.dirname(shot), exist_ok=True)
            if succeeds("import", "-window", "root", shot, seconds=30):
                print("run: no usable display, so Mixorama runs on the virtual display %s; "
                      "screenshot in build/run/screenshot.png" % os.environ["DISPLAY"])
            if seconds is None:
                print("run: press Ctrl+C to end it")
        left = None if seconds is None else max(0.0, seconds - (time.monotonic() - started))
        status = proc.wait(timeout=left)
        print("run: Mixorama ended with status %d" % status)
    except subprocess.TimeoutExpired:
        print("run: Mixorama was ended after %g s, as asked" % seconds)
    except KeyboardInterrupt:
        print("run: ended by Ctrl+C")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--use-display", action="store_true", help="use $DISPLAY if it works")
    parser.add_argument("--use-sound", action="store_true", help="use the running sound server")
    parser.add_argument("--prefix", help="the Wine prefix (default build/wineprefix)")
    parser.add_argument("--run", metavar="EXE_DIR", help="run mixorama.exe from EXE_DIR")
    parser.add_argument("--seconds", type=float, help="with --run: end it after N seconds")
    parser.add_argument("command", nargs=argparse.REMAINDER, help="-- CMD [ARGS...]")
    args = parser.parse_args()
    command = args.command[1:] if args.command[:1] == ["--"] else args.command
    if not command and not args.run:
        parser.error("give --run EXE_DIR or -- CMD")
    # SIGTERM (ctest's time-out, a CI cancel) unwinds through the clean-up like Ctrl+C.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(143))
    with environment(args.use_display, args.use_sound, args.prefix) as info:
        if args.run:
            run_program(args.run, args.seconds, info["own_display"])
            return 0
        return subprocess.run(command).returncode


if __name__ == "__main__":
    sys.exit(main())
