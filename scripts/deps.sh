#!/usr/bin/env bash
# Installs the Debian 12 packages Tarnwatch needs to build, test and run, when any is missing.
# Usage: scripts/deps.sh [extra-package ...]
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev qt6-svg-dev libgl-dev adwaita-icon-theme
  fonts-open-sans
  shared-mime-info xdg-utils
  e2fsprogs mount
  ninja-build ccache
  librsvg2-bin
  "$@"
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
