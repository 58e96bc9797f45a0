#!/usr/bin/env bash
# Builds the benchmarks natively in Release into build/bench and runs every one of them, then
# the renderer against sox (scripts/bench-render.sh). Each Google Benchmark program runs its
# cases REPS times (default 5) in a random interleaved order, so that the repetitions of a
# figure and of its baseline alternate; the summary gives the medians, each beside its
# baseline. Extra arguments go to each benchmark program. The Windows program's figure has a
# script of its own (scripts/bench-wine.sh), and the browser's is scripts/bench-web.mjs.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
B="$ROOT/build/bench"
REPS="${REPS:-5}"
cmake -S "$ROOT" -B "$B" -DCMAKE_BUILD_TYPE=Release -DMIXORAMA_BENCH=ON >/dev/null
for src in "$ROOT"/tests/bench/bench_*.cpp; do
  name="$(basename "$src" .cpp)"
  cmake --build "$B" --target "$name" -j2 >/dev/null
done
jsons=()
for src in "$ROOT"/tests/bench/bench_*.cpp; do
  name="$(basename "$src" .cpp)"
  echo "=== $name"
  "$B/tests/bench/$name" --benchmark_repetitions="$REPS" --benchmark_enable_random_interleaving=true \
    --benchmark_min_time=0.2 --benchmark_report_aggregates_only=true \
    --benchmark_out="$B/$name.json" --benchmark_out_format=json "$@" | grep -E "_median|^Load"
  jsons+=("$B/$name.json")
done
echo "=== summary"
python3 "$ROOT/scripts/bench-summary.py" "${jsons[@]}"
# The renderer against sox -m on the same eight files (a whole-process comparison).
echo "=== bench-render"
bash "$ROOT/scripts/bench-render.sh"
# The latency an input takes to be heard, in both output timings (renders, no timing).
echo "=== bench-latency"
bash "$ROOT/scripts/bench-latency.sh"
