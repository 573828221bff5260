#!/usr/bin/env bash
# Installs what is missing, builds the optimised build, and runs the benchmarks; each prints
# its figures (and md5sum's, for the digest). Usage: scripts/bench.sh [events|md5|report]
# Needs about 1.5 GiB free under the temporary folder.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
scripts/build.sh dev
exec build/dev/bench/capture_bench "$@"
