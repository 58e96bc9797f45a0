#!/usr/bin/env bash
# The renderer against sox on the same work: 60 s of eight 44100 Hz stereo 16-bit waves mixed
# into one file. mixorama-render loads (converts) the eight files, plays the engine for 60 s
# with the cursor at the map's centre (all eight channels at volume 155) and writes the wave;
# `sox -m` mixes the same eight files into one. They run in turns, RUNS times each (default
# 5), together with the renderer loading the eight files and rendering nothing (--ms 0); each
# writes a new file every time. Reported: the median wall-clock time, CPU time (user and
# system) and peak resident memory of each, and the renderer's times as shares of sox's (goal:
# at most 0.33). On a busy machine the CPU time is the steadier of the two: the wall-clock time
# also counts the time the process waited for a core. Builds mixorama-render in Release into
# build/bench-render. Needs sox and GNU time.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
B="$ROOT/build/bench-render"
RUNS="${RUNS:-5}"
SECONDS_LONG=60

cmake -S "$ROOT" -B "$B" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$B" --target mixorama-render -j2 >/dev/null
RENDER="$B/tools/render/mixorama-render"

WORK="$(mktemp -d)"
trap 'rm -rf "$WORK"' EXIT

# Eight different 60-second stereo loops of material (tones and noise at modest levels).
synths=("sine 55" "square 110" "sine 220" "triangle 330" "pinknoise" "sine 440" "sawtooth 660"
        "whitenoise")
slots=()
for i in 0 1 2 3 4 5 6 7; do
  f="$WORK/in$((i + 1)).wav"
  # shellcheck disable=SC2086
  sox -n -r 44100 -c 2 -b 16 "$f" synth "$SECONDS_LONG" ${synths[$i]} vol 0.3
  slots+=(--slot "$((i + 1))" "$f")
done
echo "0 move 175 175" >"$WORK/centre.txt"

# Runs a command, appending "WALL CPU KB" to file $1: its wall-clock time and its CPU time (user
# and system, from the kernel's account of the child) in seconds, and its peak resident memory
# as GNU time reports it.
measure() {
  local into="$1"
  shift
  rm -f "$WORK/out.wav"
  python3 -c '
import os, subprocess, sys, time
t0 = time.monotonic()
child = subprocess.Popen(["/usr/bin/time", "-f", "%M", "-o", sys.argv[1], *sys.argv[2:]])
_, status, use = os.wait4(child.pid, 0)
wall = time.monotonic() - t0
if status != 0:
    sys.exit("failed: %s" % " ".join(sys.argv[2:]))
print("%.4f %.4f %s" % (wall, use.ru_utime + use.ru_stime, open(sys.argv[1]).read().strip()))
' "$WORK/rss" "$@" >>"$into"
}

for run in $(seq "$RUNS"); do
  measure "$WORK/render.txt" "$RENDER" mix --rate 44100 "${slots[@]}" --script "$WORK/centre.txt" \
    --ms $((SECONDS_LONG * 1000)) "$WORK/out.wav"
  frames=$(soxi -s "$WORK/out.wav")
  [ "$frames" -eq $((SECONDS_LONG * 44100)) ] || { echo "render: $frames frames" >&2; exit 1; }
  measure "$WORK/sox.txt" sox -m "$WORK"/in[1-8].wav "$WORK/out.wav"
  measure "$WORK/load.txt" "$RENDER" mix --rate 44100 "${slots[@]}" --ms 0 "$WORK/out.wav"
  printf 'run %s: mixorama-render %s s, sox -m %s s, loading only %s s (wall, CPU)\n' "$run" \
    "$(tail -1 "$WORK/render.txt" | cut -d' ' -f1,2)" "$(tail -1 "$WORK/sox.txt" | cut -d' ' -f1,2)" \
    "$(tail -1 "$WORK/load.txt" | cut -d' ' -f1,2)"
done

median() {  # median of column $2 of file $1
  cut -d' ' -f"$2" "$1" | sort -g | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'
}
for what in render sox load; do
  printf -v "$what" '%.3f s wall, %.3f s CPU, %s KB peak' "$(median "$WORK/$what.txt" 1)" \
    "$(median "$WORK/$what.txt" 2)" "$(median "$WORK/$what.txt" 3)"
done
echo "medians of $RUNS: mixorama-render $render; sox -m $sox; loading only $load"
printf 'mixorama-render takes %.2f x the wall-clock time of sox -m, %.2f x its CPU time (goal: at most 0.33)\n' \
  "$(echo "$(median "$WORK/render.txt" 1) / $(median "$WORK/sox.txt" 1)" | bc -l)" \
  "$(echo "$(median "$WORK/render.txt" 2) / $(median "$WORK/sox.txt" 2)" | bc -l)"
