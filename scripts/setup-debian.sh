#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Velmora
# need. Safe to run again; skips apt when everything is already there.
set -euo pipefail

packages=(
  g++ cmake ninja-build pkg-config
  libx11-dev libxext-dev libxrandr-dev libxinerama-dev
  libstb-dev fonts-liberation
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb openbox xdotool x11-utils x11-apps imagemagick
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
