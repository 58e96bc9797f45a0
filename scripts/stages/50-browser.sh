#!/usr/bin/env bash
# The browser edition in Debian's chromium, headless: the worklet against mixorama-render,
# then the page as a person uses it. playwright-core comes from the tarball kept in
# tests/web/vendor, so no registry is needed.
set -euo pipefail
ROOT="${ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)}"
export ROOT
bash "$ROOT/scripts/web-build.sh"
cd "$ROOT/tests/web"
npm ci --offline --no-audit --no-fund --loglevel=error >/dev/null
RENDER="$ROOT/build/native-asan/tools/render/mixorama-render"
[ -x "$RENDER" ] || RENDER="$ROOT/build/native/tools/render/mixorama-render"
MIXORAMA_RENDER="$RENDER" node --test *.test.mjs
