#!/usr/bin/env bash
# Builds the benchmarks natively in Release into build/bench and runs every one of them.
# Extra arguments go to each benchmark program (e.g. --benchmark_repetitions=5).
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
B="$ROOT/build/bench"
cmake -S "$ROOT" -B "$B" -DCMAKE_BUILD_TYPE=Release -DMIXORAMA_BENCH=ON >/dev/null
for src in "$ROOT"/tests/bench/bench_*.cpp; do
  name="$(basename "$src" .cpp)"
  cmake --build "$B" --target "$name" -j2 >/dev/null
done
for src in "$ROOT"/tests/bench/bench_*.cpp; do
  name="$(basename "$src" .cpp)"
  echo "=== $name"
  "$B/tests/bench/$name" "$@"
done
# The renderer against sox -m on the same eight files (a whole-process comparison).
echo "=== bench-render"
bash "$ROOT/scripts/bench-render.sh"
