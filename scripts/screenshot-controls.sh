#!/usr/bin/env bash
# Shows the themed controls demo on a virtual X display and saves a picture of the screen.
# Usage: scripts/screenshot-controls.sh [output.png]   (default: build/controls-demo.png)
set -euo pipefail
cd "$(dirname "$0")/.."
out="${1:-build/controls-demo.png}"
scripts/deps.sh xvfb xauth
scripts/build.sh dev >/dev/null
mkdir -p "$(dirname "$out")"
QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 660x380x24" \
  build/dev/tests/gui/controls_widget_tests --demo-screenshot "$out"
echo "Saved $out"
