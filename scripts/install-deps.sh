#!/usr/bin/env bash
# Installs the Debian 12 packages Kelvane needs to build, test and run, when
# any of them is missing. Runs as root (or through sudo when available).
set -euo pipefail

packages=(
  qt6-base-dev libqt6opengl6-dev qt6-serialport-dev qt6-tools-dev qt6-tools-dev-tools
  libfreexl-dev xvfb xauth fonts-dejavu-core cmake ninja-build g++ pkgconf
  libgtest-dev libgmock-dev libbenchmark-dev clang clang-format libclang-rt-14-dev
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  sudo_cmd=(sudo)
fi
"${sudo_cmd[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
