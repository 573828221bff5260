#!/usr/bin/env bash
# Builds the core, the Windows platform layer, tarnwatch.exe, tarnwatch-record.exe and the tests
# for 64-bit Windows with mingw-w64, and runs the tests under Wine, headless: the window tests on
# a virtual screen (Xvfb).
# Usage: scripts/test-windows.sh
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh g++-mingw-w64-x86-64-posix wine64 xvfb xauth
if [ -z "${TARNWATCH_WINE_SCREEN:-}" ]; then
  # The whole run on one virtual screen: Wine's desktop takes the screen its first program
  # finds (none gives a desktop that can show no window, for the rest of the server's life).
  TARNWATCH_WINE_SCREEN=1 exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
fi

build=build/win
cmake -S . -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw64.cmake -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTARNWATCH_BUILD_GUI=OFF -DTARNWATCH_BUILD_BENCH=OFF -DTARNWATCH_WERROR=ON >/dev/null

# A fresh Wine prefix of our own, and one wine server kept running for the whole run, so that
# neither test discovery (at build time) nor the tests pay Wine's start-up each time.
export WINEPREFIX="$PWD/$build/wineprefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
wine=/usr/lib/wine/wine64
[ -x "$wine" ] || wine=$(command -v wine64 || command -v wine)
wineserver=/usr/lib/wine/wineserver
[ -x "$wineserver" ] || wineserver=$(command -v wineserver)
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  rm -rf "$WINEPREFIX"
  "$wine" wineboot --init >/dev/null 2>&1 || true
fi
# wineboot leaves its own server running for a while: let it end, then start ours.
"$wineserver" -w >/dev/null 2>&1 || true
"$wineserver" -p >/dev/null 2>&1 || true
trap '"$wineserver" -k >/dev/null 2>&1 || true' EXIT
"$wine" cmd /c exit >/dev/null 2>&1 || true

cmake --build "$build" -j 2
ctest --test-dir "$build" --output-on-failure -j 2 --timeout 300

# The same events replayed by the Windows and the Linux recorder (Windows path style) give
# the same report, apart from the computer name and the time stamps. The paths are ASCII: the
# Windows report is written in the ANSI code page, the Linux one in UTF-8.
echo "== replay: tarnwatch-record.exe under Wine against the Linux build"
scripts/build.sh dev >/dev/null
work="$build/replay-check"
rm -rf "$work" && mkdir -p "$work"
: > "$work/config.ini"
cat > "$work/events.jsonl" <<'JSONL'
{"event":9,"item1":"Q:\\projects"}
{"event":2,"item1":"Q:\\projects\\plan.txt"}
{"event":18,"item1":"Q:\\projects\\plan.txt"}
{"event":13,"item1":"Q:\\projects\\plan.txt","item2":"Q:\\projects\\plan-v2.txt"}
{"event":2,"item1":"Q:\\projects\\old\\a.doc"}
{"event":12,"item1":"Q:\\projects\\old","item2":"Q:\\projects\\archive"}
{"event":3,"item1":"Q:\\projects\\plan-v2.txt"}
{"event":14,"item1":"Q:\\projects\\archive"}
{"event":2,"item1":"Q:\\Program Files\\tool.exe"}
{"event":4,"item1":"R:\\"}
{"event":0}
JSONL
"$wine" "$build/src/app/tarnwatch-record.exe" --config "$work/config.ini" --replay "$work/events.jsonl" \
  --path-style windows --export "$work/windows.txt" > "$work/windows.tsv"
build/dev/src/app/tarnwatch-record --config "$work/config.ini" --replay "$work/events.jsonl" \
  --path-style windows --export "$work/linux.txt" > "$work/linux.tsv"
normalise() { tail -n +2 "$1" | tr -d '\r' | sed -E 's/\([^)]*\) //g'; }
if diff <(normalise "$work/windows.txt") <(normalise "$work/linux.txt") >/dev/null &&
   diff <(tr -d '\r' < "$work/windows.tsv") "$work/linux.tsv" >/dev/null; then
  echo "replay: 1 passed, 0 failed"
else
  diff <(normalise "$work/windows.txt") <(normalise "$work/linux.txt") || true
  echo "replay: 0 passed, 1 failed"
  exit 1
fi
