#!/usr/bin/env bash
# The 32-bit Windows build (mingw-w64) and its tests under Wine: the unit tests as a Windows
# program, the WINMM device test against a PulseAudio null sink, and every test registered in
# tests/wine/ (the end-to-end tests of the program live in tests/wine/e2e/). ctest runs them
# inside the environment of scripts/wine-env.sh, one at a time: they share one sound sink and
# one display.
set -euo pipefail
ROOT="${ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)}"
B="$ROOT/build/windows"

# Up before the build: build steps that run Windows tools (through the emulator) then use
# this prefix and display too, not ~/.wine.
# shellcheck source=SCRIPTDIR/../wine-env.sh
source "$ROOT/scripts/wine-env.sh"
step_start=$SECONDS
wine_env_up --prefix "$ROOT/build/wineprefix"
echo "wine environment up: $((SECONDS - step_start)) s (DISPLAY=$DISPLAY, sink $MIXORAMA_SINK)"

step_start=$SECONDS
cmake -S "$ROOT" -B "$B" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64-i686.cmake" \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$B" -j"$(nproc)"
echo "windows build: $((SECONDS - step_start)) s"

# Both builds must convert identically, and make the same demo set. The native build is the
# one of the native stage, which runs first.
N="$ROOT/build/native-asan"
if [ -x "$N/tools/render/mixorama-render" ]; then
  step_start=$SECONDS
  bash "$ROOT/tests/convert_identical.sh" "$N/tools/render/mixorama-render" \
    "$B/tools/render/mixorama-render.exe"
  for f in "$N"/demo/*.WAV; do
    cmp "$f" "$B/demo/$(basename "$f")"
  done
  echo "native and windows builds agree: $((SECONDS - step_start)) s"
else
  echo "no native build at $N: run the native stage first" >&2
  exit 1
fi

# The unit tests run as .exe through the emulator (wine); tests/wine/ adds the device test
# and the end-to-end tests, which start wine themselves. All of them see the exported
# DISPLAY, WINEPREFIX, PULSE_SERVER, XDG_RUNTIME_DIR and MIXORAMA_SINK.
step_start=$SECONDS
ctest --test-dir "$B" --output-on-failure --timeout 600
echo "windows tests: $((SECONDS - step_start)) s"

wine_env_down
