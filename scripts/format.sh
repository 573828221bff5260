#!/usr/bin/env bash
# Formats every C++ source as .clang-format says; with --check, changes nothing and fails when a
# file differs (CI runs it so).
# Usage: scripts/format.sh [--check]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh clang-format
mapfile -t files < <(git ls-files '*.cpp' '*.h')
if [ "${1:-}" = "--check" ]; then
  clang-format --dry-run -Werror "${files[@]}"
  echo "clang-format: ${#files[@]} files as .clang-format says"
else
  clang-format -i "${files[@]}"
fi
