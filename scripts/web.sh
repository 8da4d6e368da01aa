#!/usr/bin/env bash
# Builds the card for web browsers into build-web/site/: the page, its
# script and the WebAssembly module, a static site any static host serves;
# and the same card as one file, build-web/velmora-card.html, which plays
# from the disk. The page's poster (the card's first frame, shown before the
# module has drawn it) is made by the native program on the headless
# backend (tools/pictures, in build/) and put into the site as WebP.
# With VELMORA_SITE_URL=https://... (where the site will be served) the link
# preview's addresses in the page are absolute, as sites that show link
# previews require.
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
  -DVELMORA_TESTS=OFF -DVELMORA_BENCHMARKS=OFF -DVELMORA_TOOLS=OFF \
  -DVELMORA_SITE_URL="${VELMORA_SITE_URL:-}" >/dev/null
cmake --build build-web -j "${WEB_JOBS:-2}"
site=build-web/site
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMORA_TOOLS=ON >/dev/null
cmake --build build -j "${WEB_JOBS:-2}" --target velmora_pictures
rm -rf build-web/poster
./build/tools/pictures/velmora_pictures --poster build-web/poster
/usr/bin/python3 tools/web/poster_webp.py build-web/poster "$site"
node tools/web/make_card_file.mjs "$site" build-web/velmora-card.html
# What a static host sends, compressed as it would send it: all of it, and
# what a 1x screen fetches for the card (everything but the 2x pictures,
# the licences, the write page and the pictures for link previews and
# home screens).
gz() { gzip -9 -c "$1" | wc -c; }
total=0 first=0
while IFS= read -r f; do
  size=$(gz "$f")
  total=$((total + size))
  case $f in
    */pictures-2x.pack | */poster@2x.webp | */licenses/* | */og-image.jpg | */icon-[0-9m]*.png | */apple-touch-icon.png | \
    */write.* | */card_file.js) ;;
    *) first=$((first + size)) ;;
  esac
done < <(find "$site" -type f)
echo "web: $site: $(du -sb "$site" | cut -f1) bytes; gzipped: $total in all, $first for a 1x screen"
