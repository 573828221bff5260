#!/usr/bin/env bash
# Installs what is missing, builds the optimised build, and runs the benchmarks; each prints
# its figures, and the peer tools' figures from the same run (md5sum for the digest;
# inotifywait and fsnotifywait for capture).
# Usage: scripts/bench.sh [views|events|md5|report|gui|find|capture|helper|startup|windows-startup|windows|windows-open|filter|all]
#        (default: all)
#   views    the capture tree, list and report (build/dev/bench/capture_bench), about 1.5 GiB
#            free under the temporary folder; events, md5 or report run one part of it
#   gui      the capture views offscreen (build/dev/bench/views_gui_bench): the longest gap of
#            a 10 ms UI timer while 100,000 events are delivered, and the RSS at 1,000,000 rows
#   capture  a burst of 100,000 file operations recorded by tarnwatch-record (fanotify when
#            root, and inotify), inotifywait and fsnotifywait; and the recursive watch set-up on
#            100,000 folders
#   helper   whole-drive capture through the capture helper (as root; build/dev/bench/helper_latency_bench):
#            Record to the first change delivered to the views, five runs
#   startup  from start to the desktop program's first shown window (offscreen), five runs
#   windows-startup  from start to the Windows program's first shown window under Wine on a
#            virtual screen, five runs (builds the Windows programs; not part of "all")
#   windows  the Windows program under Wine on a virtual screen: its start (as windows-startup),
#            then its views (build/win/bench/windows_views_bench.exe): the longest gap of a 10 ms
#            timer while 100,000 announced changes arrive, the batch costs and the memory at
#            1,000,000 rows, folder deletions on a tree of 1,000,000 nodes (not part of "all")
#   windows-open  Open Recording in the Windows program under Wine on a virtual screen:
#            recordings of 100,000 and 1,000,000 lines opened into the real window's views, each
#            beside the same changes made live (build/win/bench/windows_open_bench.exe; not part
#            of "all")
#   find     the views' filter over 1,000,000 rows, rows arriving with a filter set, and opening
#            a 1,000,000-line recording beside recording it live (build/dev/bench/find_bench),
#            and the list's filter alone with its caches' memory (build/dev/bench/list_filter_bench)
#   filter   the delivery thread's filter (build/dev/bench/filter_bench): one test with lists of
#            1 and of 100,000 excluded folders or extensions, beside the linear scan it replaced
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh inotify-tools python3
scripts/build.sh dev
what="${1:-all}"
case "$what" in
  views | all) build/dev/bench/capture_bench ;;
  events | md5 | report) build/dev/bench/capture_bench "$what" ;;
esac
if [ "$what" = gui ] || [ "$what" = all ]; then
  build/dev/bench/views_gui_bench
fi
if [ "$what" = find ] || [ "$what" = all ]; then
  for part in filter open live; do build/dev/bench/find_bench "$part"; done
  build/dev/bench/list_filter_bench --views
fi
if [ "$what" = capture ] || [ "$what" = all ]; then
  python3 bench/capture_burst.py build/dev/src/app/tarnwatch-record
fi
if [ "$what" = helper ] || { [ "$what" = all ] && [ "$(id -u)" = 0 ]; }; then
  build/dev/bench/helper_latency_bench build/dev/src/app/tarnwatch-record
fi
if [ "$what" = filter ] || [ "$what" = all ]; then
  build/dev/bench/filter_bench --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
fi
if [ "$what" = windows-startup ] || [ "$what" = windows ]; then
  scripts/package-windows.sh >/dev/null
  bench/windows_startup_bench.sh build/win/src/app/tarnwatch.exe "$PWD/build/win/wineprefix"
fi
if [ "$what" = windows ]; then
  cmake -S . -B build/win -DTARNWATCH_BUILD_BENCH=ON >/dev/null
  cmake --build build/win -j 2 --target windows_views_bench >/dev/null
  bench/windows_views_bench.sh build/win/bench/windows_views_bench.exe "$PWD/build/win/wineprefix"
fi
if [ "$what" = windows-open ]; then
  scripts/package-windows.sh >/dev/null
  cmake -S . -B build/win -DTARNWATCH_BUILD_BENCH=ON >/dev/null
  cmake --build build/win -j 2 --target windows_open_bench >/dev/null
  for lines in 100000 1000000; do
    echo "== $lines lines: opened"
    bench/windows_views_bench.sh build/win/bench/windows_open_bench.exe "$PWD/build/win/wineprefix" \
      "lines=$lines" | tee "$PWD/build/win/open-$lines.txt"
    echo "== $lines lines: made live"
    bench/windows_views_bench.sh build/win/bench/windows_open_bench.exe "$PWD/build/win/wineprefix" \
      "lines=$lines" live | tee "$PWD/build/win/live-$lines.txt"
    opened=$(sed -nE 's/^memory after opening: working set ([0-9.]+) MiB.*/\1/p' "build/win/open-$lines.txt")
    live=$(sed -nE 's/^memory after the live delivery: working set ([0-9.]+) MiB.*/\1/p' "build/win/live-$lines.txt")
    echo "== $lines lines: working set opened $opened MiB, made live $live MiB (goal: opened <= live)"
  done
fi
if [ "$what" = startup ] || [ "$what" = all ]; then
  bench/startup_bench.sh build/dev/src/app/tarnwatch
fi
