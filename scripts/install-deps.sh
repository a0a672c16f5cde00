#!/usr/bin/env bash
# Installs the Debian 12 packages that building, testing and running need.
# Does nothing when they are all present already.
set -euo pipefail
packages=(
  build-essential cmake pkg-config clang
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  libfltk1.3-dev fluid libcli11-dev libssl-dev
  xvfb xauth
  srecord python3-intelhex
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
echo "Installing: ${missing[*]}"
$sudo apt-get update
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y "${missing[@]}"
