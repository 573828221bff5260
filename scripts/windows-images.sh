#!/usr/bin/env bash
# Makes the Windows program's pictures (image-list strips and icons under src/win/resources/)
# from the desktop program's SVG pictures. Run it after changing a picture and commit what it
# writes; scripts/test-windows.sh fails while a picture is older than its SVG.
# Usage: scripts/windows-images.sh
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh librsvg2-bin python3
python3 scripts/windows_images.py src/win/resources
