#!/usr/bin/env bash
# Builds Velmora (installing what it needs) and opens the card.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup-debian.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build --target velmora
exec ./build/velmora
