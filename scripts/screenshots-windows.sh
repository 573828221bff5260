#!/usr/bin/env bash
# Takes pictures of the Windows program under Wine on a virtual screen (Xvfb): the main window
# idle and during a recording of a demonstration folder (tree and list), the settings pages and
# the about box. Wine runs as a virtual desktop, so that it draws the windows' frames itself.
# Usage: scripts/screenshots-windows.sh [output-folder]   (default: build/win/screenshots)
set -euo pipefail
cd "$(dirname "$0")/.."
out="${1:-build/win/screenshots}"
scripts/deps.sh g++-mingw-w64-x86-64-posix wine64 xvfb xauth python3

build=build/win
cmake -S . -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw64.cmake -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTARNWATCH_BUILD_GUI=OFF -DTARNWATCH_BUILD_BENCH=OFF -DTARNWATCH_WERROR=ON >/dev/null
cmake --build "$build" -j 2 --target tarnwatch_win_screenshots >/dev/null

export WINEPREFIX="$PWD/$build/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
wine=/usr/lib/wine/wine64
[ -x "$wine" ] || wine=$(command -v wine64 || command -v wine)
mkdir -p "$out"
bmp="$(mktemp -d)"
trap 'rm -rf "$bmp"' EXIT
# The program writes BMP files through Wine's drive Z: (the root of this file system).
xvfb-run -a -s "-screen 0 1024x768x24" \
  "$wine" explorer /desktop=tarnwatch,1000x700 "$build/tests/win/tarnwatch_win_screenshots.exe" "Z:$bmp" >/dev/null
python3 scripts/bmp_to_png.py "$out" "$bmp"/*.bmp
