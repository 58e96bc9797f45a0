#!/usr/bin/env bash
# The renderer against sox on the same work: 60 s of eight 44100 Hz stereo 16-bit waves mixed
# into one file. mixorama-render loads (converts) the eight files, plays the engine for 60 s
# with the cursor at the map's centre (all eight channels at volume 155) and writes the wave;
# `sox -m` mixes the same eight files into one. Each is run RUNS times (default 5) in turns,
# and the best wall-clock time of each is reported. Builds mixorama-render in Release into
# build/bench-render. Needs sox.
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

now() { date +%s.%N; }
best_render=""
best_sox=""
for run in $(seq "$RUNS"); do
  t0=$(now)
  "$RENDER" mix --rate 44100 "${slots[@]}" --script "$WORK/centre.txt" \
    --ms $((SECONDS_LONG * 1000)) "$WORK/render.wav"
  t1=$(now)
  sox -m "$WORK"/in[1-8].wav "$WORK/sox.wav"
  t2=$(now)
  r=$(echo "$t1 - $t0" | bc -l)
  s=$(echo "$t2 - $t1" | bc -l)
  echo "run $run: mixorama-render ${r:0:6} s, sox -m ${s:0:6} s"
  if [ -z "$best_render" ] || [ "$(echo "$r < $best_render" | bc -l)" = 1 ]; then best_render=$r; fi
  if [ -z "$best_sox" ] || [ "$(echo "$s < $best_sox" | bc -l)" = 1 ]; then best_sox=$s; fi
done

frames=$(soxi -s "$WORK/render.wav")
echo "output: $frames frames (expected $((SECONDS_LONG * 44100)))"
printf 'best of %s: mixorama-render %.3f s, sox -m %.3f s, ratio sox/render %.2f\n' \
  "$RUNS" "$best_render" "$best_sox" "$(echo "$best_sox / $best_render" | bc -l)"
