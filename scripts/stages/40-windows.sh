#!/usr/bin/env bash
# The 32-bit Windows build (mingw-w64) and its tests under Wine: the unit tests as a Windows
# program, and the end-to-end scenarios of the real program (tests/wine/). The script runs
# itself again inside the environment of scripts/wine_env.py (display, null sink, prefix): the
# build runs its generators under Wine too. ctest runs the scenarios one at a time: they share
# one display, one pointer and one sink.
set -euo pipefail
ROOT="${ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)}"
export ROOT
if [ "${MIXORAMA_WINE_ENV:-}" != 1 ]; then
  exec python3 "$ROOT/scripts/wine_env.py" --prefix "$ROOT/build/wineprefix" -- bash "$0"
fi
B="$ROOT/build/windows"

step_start=$SECONDS
cmake -S "$ROOT" -B "$B" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64-i686.cmake" \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$B" -j"$(nproc)"
echo "windows build: $((SECONDS - step_start)) s"

# Both builds must make the same demo set. The native build is the one of the native stage,
# which runs first.
N="$ROOT/build/native-asan"
if ! ls "$N"/demo/*.WAV >/dev/null 2>&1; then
  echo "no demo set in $N: run the native stage first" >&2
  exit 1
fi
for f in "$N"/demo/*.WAV; do
  cmp "$f" "$B/demo/$(basename "$f")"
done

step_start=$SECONDS
ctest --test-dir "$B" --output-on-failure --timeout 300
echo "windows tests: $((SECONDS - step_start)) s"
# The measured figures of the scenarios (dropouts of the sound server and the like).
grep -h "figure" "$B/Testing/Temporary/LastTest.log" || true
