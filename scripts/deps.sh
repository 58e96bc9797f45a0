#!/usr/bin/env bash
# Installs what building, running and testing Mixorama needs on Debian 12 (as root), only
# when something is missing. Safe to run again.
set -euo pipefail

packages=(
  cmake g++ clang libclang-rt-14-dev clang-format googletest libgtest-dev libbenchmark-dev
  g++-mingw-w64-i686 mingw-w64-tools wine wine32:i386
  xvfb xdotool x11-utils pulseaudio pulseaudio-utils sox imagemagick python3 procps
  emscripten chromium
)
# `deps.sh web`: only what building and serving the browser edition needs (scripts/web.sh).
if [ "${1:-}" = web ]; then
  packages=(cmake g++ googletest libgtest-dev python3 emscripten imagemagick)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
echo "Installing: ${missing[*]}"
if [[ " ${missing[*]} " == *":i386 "* ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
fi
$SUDO apt-get update -qq
# With recommended packages: Wine's own fonts and X extensions are only recommended, and the
# program's dialog layout and input under Wine are tested with them.
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}" >/dev/null
