#!/usr/bin/env bash
# The Windows program's views under Wine on a virtual screen: runs windows_views_bench.exe (its
# figures; "quick" for the first part only, "announce=N" for fewer announced changes) in the
# given Wine prefix, and samples the RSS of its Linux process twice a second: the peak is the
# memory as Linux counts it, for comparison with the working set the program reports.
# Usage: bench/windows_views_bench.sh PATH-TO-windows_views_bench.exe WINEPREFIX [quick] [announce=N] [fill=N] [tree=N]
set -euo pipefail
if [ -z "${TARNWATCH_BENCH_SCREEN:-}" ]; then
  TARNWATCH_BENCH_SCREEN=1 exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
fi
bench="$1"
export WINEPREFIX="$2"
shift 2
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
wine=/usr/lib/wine/wine64
[ -x "$wine" ] || wine=$(command -v wine64 || command -v wine)
peak="$(mktemp)"
trap 'rm -f "$peak"' EXIT
"$wine" "$bench" "$@" | sed -u 's/\r$//' &
runner=$!
# The Linux process that runs the benchmark: the one whose command line names it.
name=$(basename "$bench")
high=0
while kill -0 "$runner" 2>/dev/null; do
  for pid in $(pgrep -f "$name" || true); do
    [ "$pid" = "$$" ] && continue
    rss=$(sed -nE 's/^VmRSS:\s+([0-9]+) kB/\1/p' "/proc/$pid/status" 2>/dev/null || echo 0)
    [ -n "$rss" ] && [ "$rss" -gt "$high" ] && high=$rss
  done
  sleep 0.5
done
wait "$runner"
echo "Linux RSS of the benchmark's process, sampled: peak $((high / 1024)) MiB"
