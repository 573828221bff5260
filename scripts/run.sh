#!/usr/bin/env bash
# Installs what is missing, builds, and starts the desktop program. Without a display it runs on
# a virtual screen (Xvfb), so that the program can still be started and driven, for example by
# screenshots.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
scripts/build.sh dev
app=build/dev/src/app/tarnwatch
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display: starting Tarnwatch on a virtual screen (Xvfb)." >&2
  scripts/deps.sh xvfb xauth
  exec xvfb-run -a -s "-screen 0 1280x800x24" "$app" "$@"
fi
exec "$app" "$@"
