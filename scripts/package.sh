#!/usr/bin/env bash
# Makes the release packages in dist/, from a clean checkout (it installs what is missing and
# builds what it needs; builds already made are reused):
#   mixorama-VERSION-windows-x86.zip   mixorama.exe, the demo set beside it and README.txt
#   mixorama-VERSION-web/              the browser edition as a static folder, with its web app
#                                      manifest, icons and service worker (as scripts/web.sh
#                                      serves build/web)
# VERSION is MIXORAMA_VERSION_TEXT of engine/version.h, the program's title and version block;
# `package.sh --version` prints it and does nothing else.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export ROOT
VERSION="$(sed -n 's/^#define MIXORAMA_VERSION_TEXT "\([^"]*\)"$/\1/p' "$ROOT/engine/version.h")"
[ -n "$VERSION" ] || { echo "package: no MIXORAMA_VERSION_TEXT in engine/version.h" >&2; exit 1; }
[ "${1:-}" = --version ] && { echo "$VERSION"; exit 0; }
"$ROOT/scripts/deps.sh"

DIST="$ROOT/dist"
ZIP="$DIST/mixorama-$VERSION-windows-x86.zip"
WEB="$DIST/mixorama-$VERSION-web"

# The Windows program and its demo set: the build of scripts/run.sh and the test stage. Its
# generators run under Wine, so it builds inside the environment of scripts/wine_env.py.
B="$ROOT/build/windows"
python3 "$ROOT/scripts/wine_env.py" --prefix "$ROOT/build/wineprefix" -- bash -c '
  cmake -S "$1" -B "$2" -DCMAKE_TOOLCHAIN_FILE="$1/cmake/mingw-w64-i686.cmake" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null &&
  cmake --build "$2" --target mixorama demo_set -j"$(nproc)" >/dev/null' - "$ROOT" "$B"

bash "$ROOT/scripts/web-build.sh"

mkdir -p "$DIST"
rm -rf "$ZIP" "$WEB"
STAGE="$(mktemp -d)"
trap 'rm -rf "$STAGE"' EXIT
# The program's and the zip's dates are those of the last commit, so that the same sources
# make the same zip.
WHEN="$(git -C "$ROOT" log -1 --format=%ct 2>/dev/null || date +%s)"
# The program without its debugging information; README.txt with CR LF line ends, as
# Windows' Notepad wants them.
SOURCE_DATE_EPOCH="$WHEN" i686-w64-mingw32-strip -o "$STAGE/mixorama.exe" "$B/ui/win/mixorama.exe"
cp "$B"/demo/*.WAV "$STAGE/"
sed -e "s/@VERSION@/$VERSION/g" -e 's/$/\r/' "$ROOT/docs/README-windows.txt" >"$STAGE/README.txt"
# Files at the top of the zip (Windows' "Extract All" makes the folder).
python3 - "$ZIP" "$STAGE" "$WHEN" <<'EOF'
import os, sys, time, zipfile
zip_path, folder, when = sys.argv[1], sys.argv[2], time.gmtime(int(sys.argv[3]))[:6]
with zipfile.ZipFile(zip_path, "w") as z:
    for name in sorted(os.listdir(folder)):
        entry = zipfile.ZipInfo(name, when)
        entry.compress_type, entry.external_attr = zipfile.ZIP_DEFLATED, 0o644 << 16
        z.writestr(entry, open(os.path.join(folder, name), "rb").read(), compresslevel=9)
EOF

cp -r "$ROOT/build/web" "$WEB"
echo "package: $ZIP ($(du -k "$ZIP" | cut -f1) KiB)"
echo "package: $WEB/ ($(du -sk "$WEB" | cut -f1) KiB)"
