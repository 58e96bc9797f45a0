#!/usr/bin/env bash
# The release packages as a person gets them (scripts/package.sh; the builds of the earlier
# stages are reused): the web folder, served and opened once, opens and plays again with the
# server stopped; the Windows zip unpacked into an empty folder and run in place in a fresh
# Wine prefix starts with its demo set (the first part of the start-up scenario).
set -euo pipefail
ROOT="${ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)}"
export ROOT
W="$ROOT/build/package-test"
rm -rf "$W"
mkdir -p "$W/unpacked"
# Making a Wine prefix takes Wine over ten seconds, mostly waiting: it runs meanwhile.
python3 "$ROOT/scripts/wine_env.py" --prefix "$W/wineprefix" -- true >"$W/prefix.log" 2>&1 &
prefix_job=$!
trap '[ -z "$prefix_job" ] || { kill "$prefix_job"; wait "$prefix_job"; } 2>/dev/null || true' EXIT

step_start=$SECONDS
bash "$ROOT/scripts/package.sh"
echo "packages: $((SECONDS - step_start)) s"
VERSION="$(bash "$ROOT/scripts/package.sh" --version)"

step_start=$SECONDS
cd "$ROOT/tests/web"
npm ci --offline --no-audit --no-fund --loglevel=error >/dev/null
MIXO_WEB_DIR="$ROOT/dist/mixorama-$VERSION-web" node --test release.offline.mjs
echo "web package: $((SECONDS - step_start)) s"

step_start=$SECONDS
wait "$prefix_job" || { cat "$W/prefix.log"; exit 1; }
prefix_job=
python3 -m zipfile -e "$ROOT/dist/mixorama-$VERSION-windows-x86.zip" "$W/unpacked"
cmake --build "$ROOT/build/windows" --target mixorama_driver >/dev/null
MIXO_IN_PLACE="$W/unpacked" MIXO_DRIVER="$ROOT/build/windows/tests/wine/mixorama_driver.exe" \
  PYTHONDONTWRITEBYTECODE=1 python3 "$ROOT/scripts/wine_env.py" --prefix "$W/wineprefix" -- \
  python3 "$ROOT/tests/wine/scenario_startup.py"
echo "windows package: $((SECONDS - step_start)) s"
