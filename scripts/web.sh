#!/usr/bin/env bash
# Builds the browser edition and serves it: open the printed address in a browser. build/web/
# is a plain static folder; copy it to any web server to share the page. Ctrl+C ends it.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export ROOT
PORT="${PORT:-8000}"
bash "$ROOT/scripts/web-build.sh"
echo "Mixorama is at http://127.0.0.1:$PORT/ (Ctrl+C ends it)"
exec python3 -m http.server "$PORT" --bind 127.0.0.1 --directory "$ROOT/build/web" 2>/dev/null
