#!/usr/bin/env bash
# Builds the core, the Windows platform layer, tarnwatch-record.exe and the tests for 64-bit
# Windows with mingw-w64, and runs the tests under Wine, headless.
# Usage: scripts/test-windows.sh
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh g++-mingw-w64-x86-64-posix wine64

build=build/win
cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw64.cmake -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTARNWATCH_BUILD_GUI=OFF -DTARNWATCH_BUILD_BENCH=OFF >/dev/null

# A fresh Wine prefix of our own, and one wine server kept running for the whole run, so that
# neither test discovery (at build time) nor the tests pay Wine's start-up each time.
export WINEPREFIX="$PWD/$build/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export DISPLAY=
wine=/usr/lib/wine/wine64
[ -x "$wine" ] || wine=$(command -v wine64 || command -v wine)
wineserver=/usr/lib/wine/wineserver
[ -x "$wineserver" ] || wineserver=$(command -v wineserver)
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  rm -rf "$WINEPREFIX"
  "$wine" wineboot --init >/dev/null 2>&1 || true
fi
"$wineserver" -p
trap '"$wineserver" -k >/dev/null 2>&1 || true' EXIT
"$wine" cmd /c exit >/dev/null 2>&1 || true

cmake --build "$build" -j 2
ctest --test-dir "$build" --output-on-failure -j 2 --timeout 300
