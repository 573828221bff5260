#!/usr/bin/env bash
# CI: the .deb passes lintian with no error, installs, runs (the installed recorder's --version
# and a one-second recording of a temporary folder), and is purged again leaving none of its
# files. Runs as root in CI's throw-away container, so it installs with apt-get into the
# container itself rather than into a chroot.
# Usage: .ci/check-package.sh PACKAGE.deb
set -euo pipefail
deb="$(realpath "$1")"

echo "-- lintian"
# Errors fail the check; the warnings it still gives are listed for the record.
lintian --fail-on error --tag-display-limit 0 "$deb"

echo "-- install"
export DEBIAN_FRONTEND=noninteractive
apt-get install -y -qq --no-install-recommends "$deb" >/dev/null
installed_files="$(mktemp)"
dpkg-query -L tarnwatch > "$installed_files"

echo "-- run"
/usr/bin/tarnwatch-record --version
watched="$(mktemp -d)"
output="$(mktemp)"
/usr/bin/tarnwatch-record --drive "$watched" --duration 1 --format jsonl > "$output" &
recorder=$!
# Files are made until the recording ends, so that some are made after its watch is in place
# however long it takes to start.
n=0
while kill -0 "$recorder" 2>/dev/null; do
  : > "$watched/made-$n.txt"
  n=$((n + 1))
  sleep 0.05
done
wait "$recorder"
if ! grep -q "made-[0-9]*\\.txt" "$output"; then
  echo "the installed recorder recorded no change in $watched:" >&2
  cat "$output" >&2
  exit 1
fi
echo "recorded $(grep -c . "$output") changes of $n files made"
rm -rf "$watched" "$output"

echo "-- purge"
apt-get remove --purge -y -qq tarnwatch >/dev/null
left=()
while IFS= read -r path; do
  # Folders other packages own stay, and so do folders still holding others' files; the
  # package's own files and folders must not.
  [ -e "$path" ] || continue
  if [ -d "$path" ] && { dpkg-query -S "$path" >/dev/null 2>&1 || [ -n "$(ls -A "$path")" ]; }; then continue; fi
  left+=("$path")
done < "$installed_files"
rm -f "$installed_files"
if [ ${#left[@]} -ne 0 ]; then
  echo "left after the purge: ${left[*]}" >&2
  exit 1
fi
echo "package check passed"
