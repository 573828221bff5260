#!/usr/bin/env bash
# Builds the Windows programs with mingw-w64 and makes the zip a Windows user unpacks and runs:
# build/win/tarnwatch-<version>-win64.zip with tarnwatch.exe (the desktop program),
# tarnwatch-record.exe (the headless recorder) and README.txt. Both programs are statically
# linked: they need no DLL that Windows does not ship.
# Usage: scripts/package-windows.sh
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh g++-mingw-w64-x86-64-posix python3

build=build/win
cmake -S . -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw64.cmake -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTARNWATCH_BUILD_GUI=OFF -DTARNWATCH_BUILD_BENCH=OFF -DTARNWATCH_WERROR=ON >/dev/null
cmake --build "$build" -j 2 --target tarnwatch tarnwatch-record >/dev/null

version=$(sed -nE 's/^project\(Tarnwatch VERSION ([0-9.]+).*/\1/p' CMakeLists.txt)
[ -n "$version" ] || { echo "package-windows: no version in CMakeLists.txt" >&2; exit 1; }
name="tarnwatch-$version-win64"
stage="$build/package/$name"
rm -rf "$build/package" && mkdir -p "$stage"
# Without the debugging information the programs are a fraction of the size.
for program in tarnwatch tarnwatch-record; do
  x86_64-w64-mingw32-strip -o "$stage/$program.exe" "$build/src/app/$program.exe"
done
# The imports must be system libraries only.
allowed='^(kernel32|user32|gdi32|comctl32|comdlg32|shell32|ole32|advapi32|msvcrt|uxtheme)\.dll$'
for program in "$stage"/*.exe; do
  x86_64-w64-mingw32-objdump -p "$program" | sed -nE 's/^\s*DLL Name: (.*)$/\1/p' | while read -r dll; do
    if ! echo "$dll" | tr 'A-Z' 'a-z' | grep -qE "$allowed"; then
      echo "package-windows: $(basename "$program") needs $dll, which Windows does not ship" >&2
      exit 1
    fi
  done
done
sed "s/@VERSION@/$version/g" packaging/windows-readme.txt | sed 's/$/\r/' > "$stage/README.txt"

zip="$build/$name.zip"
rm -f "$zip"
python3 - "$build/package" "$name" "$zip" <<'PY'
import os, sys, zipfile
base, name, out = sys.argv[1:]
with zipfile.ZipFile(out, "w", zipfile.ZIP_DEFLATED) as z:
    for entry in sorted(os.listdir(os.path.join(base, name))):
        z.write(os.path.join(base, name, entry), f"{name}/{entry}")
PY
echo "$zip"
