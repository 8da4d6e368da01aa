#!/usr/bin/env bash
# Regenerates the README's pictures in docs/ (installing what it needs):
# card.webp and about.webp, two screenshots, and show.webp, the animated
# show; and app/web/og-image.jpg, the picture a shared link to the web card
# shows. Where the web card is built (bash scripts/web.sh), also
# write.webp and card-words.webp, the write page and a card with words. The real program makes them on the headless backend against its
# virtual clock (tools/pictures), so no display is needed.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup-debian.sh pictures
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMORA_TOOLS=ON >/dev/null
cmake --build build --target velmora_pictures
rm -rf build/pictures
./build/tools/pictures/velmora_pictures build/pictures 10
/usr/bin/python3 tools/pictures/assemble.py build/pictures docs
cp build/pictures/og-image.jpg app/web/og-image.jpg
if [[ -f build-web/site/index.html ]]; then
  (cd tests/web && npm ci --no-audit --no-fund >/dev/null)
  node tools/web/screenshots.mjs build-web/site docs
else
  echo "pictures: no build-web/site; run bash scripts/web.sh for the pictures of sending the card" >&2
fi
