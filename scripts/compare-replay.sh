#!/usr/bin/env bash
# Replays one jsonl recording through two builds of tarnwatch-record and compares what they print
# and the reports they export. Deletion stamps are compared apart: a build that stamps deletions
# with the change's own time differs there from one that stamped the time of delivery.
# Usage: scripts/compare-replay.sh OLD-RECORDER NEW-RECORDER RECORDING.jsonl [posix|windows]
set -euo pipefail
old="$1" new="$2" recording="$3" style="${4:-posix}"
out="$(mktemp -d)"
trap 'rm -rf "$out"' EXIT
"$old" --replay "$recording" --export "$out/old.txt" --path-style "$style" >"$out/old.tsv"
"$new" --replay "$recording" --export "$out/new.txt" --path-style "$style" >"$out/new.tsv"
status=0
if cmp -s "$out/old.tsv" "$out/new.tsv"; then echo "printed lines: the same ($(wc -l <"$out/new.tsv"))"
else echo "printed lines differ:"; diff "$out/old.tsv" "$out/new.tsv" | head -20; status=1; fi
if cmp -s "$out/old.txt" "$out/new.txt"; then echo "reports: byte for byte the same"
else
  stamps='s/-->\([0-9]{2}:[0-9]{2}:[0-9]{2}\) /-->(stamp) /'
  if diff <(sed -E "$stamps" "$out/old.txt") <(sed -E "$stamps" "$out/new.txt") >/dev/null; then
    echo "reports: the same but for $(diff "$out/old.txt" "$out/new.txt" | grep -c '^>') deletion stamps"
  else echo "reports differ:"; diff "$out/old.txt" "$out/new.txt" | head -20; status=1; fi
fi
exit $status
