#!/usr/bin/env bash
# The latency the engine adds to an input, in both output timings at every rate, measured with
# the renderer: the demo set's kick and clap mix under the cursor at the map's centre; a second
# render moves the cursor next to slot 1 at a later time t. The first frame that differs between
# the two renders, less floor(t * rate / 1000), is how long the move took to be heard. t runs
# over 60 consecutive milliseconds, so every phase against the ticks is met; the script prints
# the least, mean and greatest latency of each timing and rate, in frames and milliseconds.
# Builds mixorama-render and the demo set in Release into build/bench-render.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
B="$ROOT/build/bench-render"
cmake -S "$ROOT" -B "$B" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$B" --target mixorama-render demo_set -j2 >/dev/null

WORK="$(mktemp -d)"
trap 'rm -rf "$WORK"' EXIT
python3 - "$B/tools/render/mixorama-render" "$B/demo" "$WORK" <<'EOF'
import os, subprocess, sys

render, demo, work = sys.argv[1:]
slots = ["--slot", "1", os.path.join(demo, "BD7525.WAV"), "--slot", "2", os.path.join(demo, "CP.WAV")]

def pcm(rate, timing, script):
    path = os.path.join(work, "script.txt")
    open(path, "w").write(script)
    out = os.path.join(work, "out.wav")
    subprocess.run([render, "mix", "--rate", str(rate), *timing, *slots, "--script", path,
                    "--ms", "2000", out], check=True)
    return open(out, "rb").read()[44:]

print("%-8s %6s  %28s  %24s" % ("timing", "rate", "frames: least / mean / most", "ms: least / most"))
for timing in ([], ["--live"]):
    for rate in (11025, 22050, 44100):
        base = pcm(rate, timing, "0 move 175 175\n")
        lat = []
        for t in range(1000, 1060):
            moved = pcm(rate, timing, "0 move 175 175\n%d move 87 5\n" % t)
            first = next(i for i in range(0, len(base), 4) if base[i:i + 4] != moved[i:i + 4]) // 4
            lat.append(first - t * rate // 1000)
        print("%-8s %6d  %8d / %7.1f / %7d  %10.1f / %10.1f" % (
            "live" if timing else "program", rate, min(lat), sum(lat) / len(lat), max(lat),
            1000 * min(lat) / rate, 1000 * max(lat) / rate))
EOF
