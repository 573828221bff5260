#!/usr/bin/env bash
# Installs what is missing, builds, and starts the desktop program.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
scripts/build.sh dev
if [ -x build/dev/src/app/tarnwatch ]; then
  exec build/dev/src/app/tarnwatch
fi
echo "The desktop program (tarnwatch) is not built yet: this version holds the recording core,"
echo "the Linux platform layer and their tests. Run scripts/test.sh to check them."
