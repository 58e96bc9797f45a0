#!/usr/bin/env bash
# The Windows program's CPU share under Wine while it plays the demo set (scripts/bench-wine.py),
# beside the same program stopped, in the environment of scripts/wine_env.py (virtual display,
# null sink, the prefix of the Windows stage). Builds the program and the test driver into
# build/windows first, as the Windows stage does. About two and a half minutes.
set -euo pipefail
ROOT="${ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}"
export ROOT
if [ "${MIXORAMA_WINE_ENV:-}" != 1 ]; then
  exec python3 "$ROOT/scripts/wine_env.py" --prefix "$ROOT/build/wineprefix" -- bash "$0"
fi
B="$ROOT/build/windows"
cmake -S "$ROOT" -B "$B" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64-i686.cmake" \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$B" -j2 >/dev/null
MIXO_EXE="$B/ui/win/mixorama.exe" MIXO_DRIVER="$B/tests/wine/mixorama_driver.exe" \
  MIXO_DEMO="$B/demo" MIXO_WORK="$B/bench-wine" PYTHONDONTWRITEBYTECODE=1 \
  python3 "$ROOT/scripts/bench-wine.py"
