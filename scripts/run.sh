#!/usr/bin/env bash
# Runs Mixorama with its demo set: installs what is missing, builds the 32-bit Windows program
# and starts it under Wine from a folder holding the demo set. It uses your display and sound
# server when they work; otherwise it starts a virtual display and a null sound card, saves a
# screenshot and keeps the program running until Ctrl+C (or for --seconds N).
#
#   bash scripts/run.sh [--seconds N]
#
# On Windows, run mixorama.exe from a folder that holds the demo set instead.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export ROOT

seconds=""
while [ $# -gt 0 ]; do
  case "$1" in
    --seconds) seconds="${2:?--seconds takes a number}"; shift 2 ;;
    *) echo "usage: bash scripts/run.sh [--seconds N]" >&2; exit 2 ;;
  esac
done

"$ROOT/scripts/deps.sh"

B="$ROOT/build/windows"
export MIXORAMA_WINEPREFIX="$ROOT/build/wineprefix"
# The build runs its generators (demo set, map bitmap, icons) under Wine, so it happens inside
# the environment too.
"$ROOT/scripts/wine-env.sh" --prefix "$MIXORAMA_WINEPREFIX" -- bash -c '
  set -euo pipefail
  cmake -S "$ROOT" -B "'"$B"'" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64-i686.cmake" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "'"$B"'" --target mixorama -j"$(nproc)"'

exe_dir="$B/ui/win"
[ -f "$exe_dir/mixorama.exe" ] || { echo "run: $exe_dir/mixorama.exe was not built" >&2; exit 1; }

export MIXORAMA_RUN_SECONDS="$seconds" MIXORAMA_USER_DISPLAY="${DISPLAY:-}"
exec "$ROOT/scripts/wine-env.sh" --use-display --use-sound --prefix "$MIXORAMA_WINEPREFIX" -- \
  bash -c '
  set -uo pipefail
  cd "'"$exe_dir"'"
  wine mixorama.exe &
  pid=$!
  if [ "$DISPLAY" != "$MIXORAMA_USER_DISPLAY" ]; then
    mkdir -p "$ROOT/build/run"
    sleep 5
    import -window root "$ROOT/build/run/screenshot.png" 2>/dev/null &&
      echo "run: no usable display, so Mixorama runs on the virtual display $DISPLAY;" \
        "screenshot in build/run/screenshot.png"
    [ -z "$MIXORAMA_RUN_SECONDS" ] && echo "run: press Ctrl+C to end it"
  fi
  if [ -n "$MIXORAMA_RUN_SECONDS" ]; then
    ( sleep "$MIXORAMA_RUN_SECONDS"; kill "$pid" 2>/dev/null; wineserver -k 2>/dev/null ) &
  fi
  wait "$pid"
  status=$?
  if [ -n "$MIXORAMA_RUN_SECONDS" ] && [ "$status" -ge 128 ]; then
    echo "run: Mixorama was ended after $MIXORAMA_RUN_SECONDS s, as asked"
  else
    echo "run: Mixorama ended with status $status"
  fi
  exit 0'
