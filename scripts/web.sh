#!/usr/bin/env bash
# Builds the card for web browsers into build-web/site/: the page, its
# script and the WebAssembly module, a static site any static host serves.
# Installs what it needs first (emscripten and fonttools, the "web" group of
# scripts/setup-debian.sh).
# Usage: bash scripts/web.sh
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup-debian.sh web
# Debian's emscripten looks for its JavaScript modules (acorn) where
# Debian's node keeps them; another node on PATH does not know that place.
export NODE_PATH=${NODE_PATH:+$NODE_PATH:}/usr/share/nodejs
emcmake cmake -S . -B build-web -G Ninja -DCMAKE_BUILD_TYPE=MinSizeRel \
  -DVELMORA_TESTS=OFF -DVELMORA_BENCHMARKS=OFF -DVELMORA_TOOLS=OFF >/dev/null
cmake --build build-web -j "${WEB_JOBS:-2}"
site=build-web/site
# What a static host sends, compressed as it would send it: all of it, and
# what a 1x screen fetches (everything but the 2x pictures and the licences).
gz() { gzip -9 -c "$1" | wc -c; }
total=0 first=0
while IFS= read -r f; do
  size=$(gz "$f")
  total=$((total + size))
  case $f in
    */pictures-2x.pack | */licenses/*) ;;
    *) first=$((first + size)) ;;
  esac
done < <(find "$site" -type f)
echo "web: $site: $(du -sb "$site" | cut -f1) bytes; gzipped: $total in all, $first for a 1x screen"
