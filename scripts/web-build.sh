#!/usr/bin/env bash
# Builds the browser edition into build/web/: the page, its scripts, the engine module (an
# Emscripten build in build/wasm), the map picture and the demo set (made by the native
# tools). Installs what is missing first. Prints nothing but progress and errors.
set -euo pipefail
ROOT="${ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}"
"$ROOT/scripts/deps.sh" web

# The native generators (and mixorama-render for the tests): the sanitizer build when the
# test run made it, otherwise a plain one.
NATIVE="$ROOT/build/native-asan"
if [ ! -f "$NATIVE/CMakeCache.txt" ]; then
  NATIVE="$ROOT/build/native"
  cmake -S "$ROOT" -B "$NATIVE" -DCMAKE_BUILD_TYPE=Release >/dev/null
fi
cmake --build "$NATIVE" -j"$(nproc)" --target demo_set map_bitmap mixorama-render >/dev/null

WASM="$ROOT/build/wasm"
cmake -S "$ROOT" -B "$WASM" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/emscripten-wasm.cmake" \
  -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$WASM" -j"$(nproc)" >/dev/null

OUT="$ROOT/build/web"
mkdir -p "$OUT/demo"
cp "$ROOT"/web/*.html "$ROOT"/web/*.js "$ROOT"/web/*.css "$OUT/"
cp "$WASM/web/mixorama.wasm" "$OUT/"
cp "$NATIVE/generated/map1000.bmp" "$OUT/map.bmp"
cp "$NATIVE"/demo/*.WAV "$OUT/demo/"
