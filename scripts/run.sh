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

seconds=()
case "${1:-}" in
  "") ;;
  --seconds) seconds=(--seconds "${2:?--seconds takes a number}") ;;
  *) echo "usage: bash scripts/run.sh [--seconds N]" >&2; exit 2 ;;
esac

"$ROOT/scripts/deps.sh"

B="$ROOT/build/windows"
env=(python3 "$ROOT/scripts/wine_env.py" --prefix "$ROOT/build/wineprefix")
# The build runs its generators (demo set, map bitmap, icons) under Wine, so it happens inside
# the environment too.
"${env[@]}" -- cmake -S "$ROOT" -B "$B" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64-i686.cmake" \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo
"${env[@]}" -- cmake --build "$B" --target mixorama -j"$(nproc)"
exec "${env[@]}" --use-display --use-sound --run "$B/ui/win" "${seconds[@]}"
