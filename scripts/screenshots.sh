#!/usr/bin/env bash
# Takes the README's pictures of the desktop program on a virtual X display (Xvfb): the main
# window during a recording of a demonstration folder, in both views, and the settings pages.
# Usage: scripts/screenshots.sh [output-folder]   (default: docs/images)
set -euo pipefail
cd "$(dirname "$0")/.."
out="${1:-docs/images}"
scripts/deps.sh xvfb xauth
scripts/build.sh dev >/dev/null
QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1024x640x24" build/dev/tests/gui/tarnwatch_screenshots "$out"
