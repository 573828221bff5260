#!/usr/bin/env bash
# Builds the Linux program as a packager does (a Release build with the system compiler, Debian's
# hardening flags, no -Werror, no tests) and makes the .deb of it with CPack.
# Usage: scripts/package-deb.sh [build-folder]   (default: build/deb)
# Prints the path of the .deb on its last line.
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build/deb}"

# Debian's flags for a package: optimisation, stack protector, fortified functions, full RELRO,
# immediate binding and PIE.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
CXXFLAGS="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
LDFLAGS="$(dpkg-buildflags --get LDFLAGS)"
export CXXFLAGS LDFLAGS

cmake -S . -B "$build" -G Ninja \
  -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_INSTALL_PREFIX=/usr \
  -DTARNWATCH_WERROR=OFF \
  -DTARNWATCH_BUILD_TESTS=OFF \
  -DTARNWATCH_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j 2
(cd "$build" && cpack -G DEB >/dev/null)
ls -t "$build"/tarnwatch_*.deb | head -n 1
