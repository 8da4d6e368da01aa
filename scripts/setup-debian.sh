#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Velmora
# need. Safe to run again; skips apt when everything is already there.
# Usage: bash scripts/setup-debian.sh [release] [pictures] [assets] [windows] [bench] [web]
#   release   also what scripts/release.sh needs to make and check packages
#   pictures  also what scripts/pictures.sh needs to assemble the README's pictures
#   assets    also what assets/generate.py needs to paint the built-in pictures
#   windows   also what scripts/windows.sh needs to cross-build for Windows,
#             and Wine to run and test the result
#   bench     also the web browser that bench/measure_presentation.sh -b runs
#             the show's web page in, as a reference for the card's cost
#   web       also what scripts/web.sh needs to build the card for browsers
#             (emscripten, fonttools to cut the faces down, esbuild to bundle
#             the page's modules, PIL for the first-frame picture), and the
#             browsers (chromium, and firefox-esr for the one-file card) and
#             node its test runs in
set -euo pipefail

packages=(
  g++ cmake ninja-build pkg-config
  libx11-dev libxext-dev libxrandr-dev libxinerama-dev
  libstb-dev fonts-liberation2
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb openbox fontconfig xdotool x11-utils x11-apps imagemagick
)
release_packages=(
  dpkg-dev fakeroot file lintian man-db appstream desktop-file-utils zip
)
pictures_packages=(
  python3-pil
)
assets_packages=(
  python3-pil python3-numpy fonts-dancingscript fonts-dejavu-core
)
windows_packages=(
  mingw-w64 g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  googletest wine wine64 icoutils binutils
)
bench_packages=(
  chromium
)
web_packages=(
  emscripten python3-fonttools python3-pil esbuild chromium firefox-esr
)
for group in "$@"; do
  case $group in
    release) packages+=("${release_packages[@]}") ;;
    pictures) packages+=("${pictures_packages[@]}") ;;
    assets) packages+=("${assets_packages[@]}") ;;
    windows) packages+=("${windows_packages[@]}") ;;
    bench) packages+=("${bench_packages[@]}") ;;
    web)
      packages+=("${web_packages[@]}")
      # Node and npm from Debian, unless the machine has its own node.
      command -v node >/dev/null || packages+=(nodejs)
      command -v npm >/dev/null || packages+=(npm)
      ;;
    *) echo "setup-debian: unknown group '$group' (release, pictures, assets, windows, bench, web)" >&2; exit 2 ;;
  esac
done

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
