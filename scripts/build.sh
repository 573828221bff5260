#!/usr/bin/env bash
# Configures and builds one CMake preset (dev by default).
# Usage: scripts/build.sh [dev|asan|tsan]
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-dev}"
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset"
