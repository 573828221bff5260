#!/usr/bin/env bash
# From start to the first shown window of the Windows program under Wine on a virtual screen:
# starts tarnwatch.exe five times (no recording; it ends right after its window is shown and
# painted, --quit-after-show) and prints, for each run, the time the program reports since its
# process was created and the wall time of the whole run, Wine's own start and end included.
# Usage: bench/windows_startup_bench.sh PATH-TO-tarnwatch.exe WINEPREFIX
set -euo pipefail
if [ -z "${TARNWATCH_BENCH_SCREEN:-}" ]; then
  # Again, on a virtual screen of its own.
  TARNWATCH_BENCH_SCREEN=1 exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi
app="$1"
export WINEPREFIX="$2"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
wine=/usr/lib/wine/wine64
[ -x "$wine" ] || wine=$(command -v wine64 || command -v wine)
"$wine" "$app" --quit-after-show >/dev/null 2>&1 || true  # Wine's server and the file cache warm
for run in 1 2 3 4 5; do
  start=$(date +%s%N)
  shown=$("$wine" "$app" --quit-after-show 2>/dev/null | tr -d '\r')
  end=$(date +%s%N)
  echo "run $run: $shown; wall $(((end - start) / 1000000)) ms"
done
