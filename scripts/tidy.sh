#!/usr/bin/env bash
# Runs clang-tidy with the checked-in .clang-tidy over the program's own sources (not the tests),
# using the compile commands of the dev build; any finding fails the run.
# Usage: scripts/tidy.sh [FILE-REGEX]   (default: every .cpp under src/)
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh clang-tidy
scripts/build.sh dev >/dev/null

filter="${1:-$PWD/src/.*\.cpp$}"
log="$(mktemp)"
trap 'rm -f "$log"' EXIT
status=0
run-clang-tidy -quiet -p build/dev -j 2 "$filter" 2>&1 | sed 's/\x1b\[[0-9;]*m//g' >"$log" || status=$?
grep -v -E '^[0-9]+ warnings? (and [0-9]+ errors? )?generated\.$|^Suppressed [0-9]+ warnings|^Use -header-filter|^Running clang-tidy|^clang-tidy-14 ' "$log" || true
# This clang-tidy fails a file only for errors: a warning is a finding too.
findings=$(grep -c -E ': (warning|error): ' "$log" || true)
if [ "$status" -ne 0 ] || [ "$findings" -ne 0 ]; then
  echo "clang-tidy: $findings finding(s)"
  exit 1
fi
echo "clang-tidy: no finding"
