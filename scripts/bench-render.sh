#!/usr/bin/env bash
# The renderer against sox on the same work: 60 s of eight 44100 Hz stereo 16-bit waves mixed
# into one file. mixorama-render loads (converts) the eight files, plays the engine for 60 s
# with the cursor at the map's centre (all eight channels at volume 155) and writes the wave;
# `sox -m` mixes the same eight files into one. They run in turns, RUNS times each (default
# 5), together with the renderer loading the eight files and rendering nothing (--ms 0); each
# writes a new file every time. Reported: the median wall-clock time and the median peak
# resident memory of each, and the renderer's time as a share of sox's (goal: at most 0.33).
# Builds mixorama-render in Release into build/bench-render. Needs sox and GNU time.
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

# Runs a command, appending "SECONDS KB" (wall-clock time, peak resident memory) to file $1.
measure() {
  local into="$1"
  shift
  rm -f "$WORK/out.wav"
  local t0 t1
  t0=$(date +%s.%N)
  /usr/bin/time -f %M -o "$WORK/rss" "$@"
  t1=$(date +%s.%N)
  echo "$(echo "$t1 - $t0" | bc -l) $(cat "$WORK/rss")" >>"$into"
}

for run in $(seq "$RUNS"); do
  measure "$WORK/render.txt" "$RENDER" mix --rate 44100 "${slots[@]}" --script "$WORK/centre.txt" \
    --ms $((SECONDS_LONG * 1000)) "$WORK/out.wav"
  frames=$(soxi -s "$WORK/out.wav")
  [ "$frames" -eq $((SECONDS_LONG * 44100)) ] || { echo "render: $frames frames" >&2; exit 1; }
  measure "$WORK/sox.txt" sox -m "$WORK"/in[1-8].wav "$WORK/out.wav"
  measure "$WORK/load.txt" "$RENDER" mix --rate 44100 "${slots[@]}" --ms 0 "$WORK/out.wav"
  printf 'run %s: mixorama-render %.3f s, sox -m %.3f s, loading only %.3f s\n' "$run" \
    "$(tail -1 "$WORK/render.txt" | cut -d' ' -f1)" "$(tail -1 "$WORK/sox.txt" | cut -d' ' -f1)" \
    "$(tail -1 "$WORK/load.txt" | cut -d' ' -f1)"
done

median() {  # median of column $2 of file $1
  cut -d' ' -f"$2" "$1" | sort -g | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'
}
render=$(median "$WORK/render.txt" 1)
sox=$(median "$WORK/sox.txt" 1)
printf 'medians of %s: mixorama-render %.3f s (%s KB peak), sox -m %.3f s (%s KB peak), loading only %.3f s (%s KB peak)\n' \
  "$RUNS" "$render" "$(median "$WORK/render.txt" 2)" "$sox" "$(median "$WORK/sox.txt" 2)" \
  "$(median "$WORK/load.txt" 1)" "$(median "$WORK/load.txt" 2)"
printf 'mixorama-render takes %.2f x the time of sox -m (goal: at most 0.33)\n' \
  "$(echo "$render / $sox" | bc -l)"
