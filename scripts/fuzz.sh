#!/usr/bin/env bash
# Builds the settings fuzz target with clang and libFuzzer (AddressSanitizer and
# UndefinedBehaviorSanitizer on) and runs it for a bounded time.
# Usage: scripts/fuzz.sh [SECONDS]   (default 60)
# Inputs come from the kept corpus, tests/core/settings/fuzz/corpus; what the run finds new goes to
# build/fuzz/corpus, and any failing input to build/fuzz/artifacts/ (the script then fails).
# Keep a failing input in tests/core/settings/fuzz/regressions once it is mended; merge new corpus
# inputs with:  build/fuzz/tests/core/settings_ini_fuzzer -merge=1 tests/core/settings/fuzz/corpus build/fuzz/corpus
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"

scripts/deps.sh clang libclang-rt-14-dev

build=build/fuzz
CC=clang CXX=clang++ cmake -S . -B "$build" -G "Unix Makefiles" \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTARNWATCH_SANITIZE=address,undefined,fuzzer-no-link \
  -DTARNWATCH_BUILD_FUZZ=ON -DTARNWATCH_BUILD_GUI=OFF -DTARNWATCH_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" --target settings_ini_fuzzer -j2

mkdir -p "$build/corpus" "$build/artifacts"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  "$build/tests/core/settings_ini_fuzzer" \
  -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=4096 -print_final_stats=1 \
  -artifact_prefix="$build/artifacts/" \
  "$build/corpus" tests/core/settings/fuzz/corpus
