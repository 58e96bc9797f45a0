#!/usr/bin/env bash
# Builds the browser edition into build/web/: the page, its scripts, the engine module (an
# Emscripten build in build/wasm), the map picture and the demo set (made by the native
# tools), the web app manifest with icons made from the program's icon 980, and the service
# worker that keeps all of it for use without a network. Installs what is missing first.
# Prints nothing but progress and errors.
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
cmake --build "$NATIVE" -j"$(nproc)" --target demo_set map_bitmap icons mixorama-render >/dev/null

WASM="$ROOT/build/wasm"
cmake -S "$ROOT" -B "$WASM" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/emscripten-wasm.cmake" \
  -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$WASM" -j"$(nproc)" >/dev/null

OUT="$ROOT/build/web"
rm -rf "$OUT"
mkdir -p "$OUT/demo"
cp "$ROOT"/web/*.html "$ROOT"/web/*.js "$ROOT"/web/*.css "$ROOT"/web/*.webmanifest "$OUT/"
cp "$WASM/web/mixorama.wasm" "$OUT/"
cp "$NATIVE/generated/map1000.bmp" "$OUT/map.bmp"
cp "$NATIVE"/demo/*.WAV "$OUT/demo/"
# The home screen's icons: the 32 x 32 icon scaled by whole pixels (nearest neighbour), as
# the manifest lists them; no time stamps, so a rebuild makes the same bytes.
for size in 192 512; do
  convert "$NATIVE/generated/icon980.ico" -sample "${size}x$size" -strip \
    -define png:exclude-chunks=date,time "PNG32:$OUT/icon-$size.png"
done

# The service worker, headed by the list of every other file of the folder and a digest of
# their bytes (see web/sw.js).
files="$(cd "$OUT" && find . -type f ! -path ./sw.js | sed 's|^\./||' | LC_ALL=C sort)"
{
  echo "// files: $(cd "$OUT" && echo "$files" | xargs sha256sum | sha256sum | cut -c1-16)"
  echo "const FILES = [$(echo "$files" | sed "s/.*/'&'/" | paste -sd, -)];"
  cat "$ROOT/web/sw.js"
} >"$OUT/sw.js"
