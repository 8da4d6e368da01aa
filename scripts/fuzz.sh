#!/usr/bin/env bash
# Fuzzes the picture decoder with libFuzzer (clang), seeded with the card's
# own pictures. Usage: bash scripts/fuzz.sh [seconds]   (default 60)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
out=build-fuzz
mkdir -p "$out/corpus"
command -v clang++ >/dev/null || { echo "clang++ is needed (Debian package clang)"; exit 1; }
clang++ -std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -I. -isystem /usr/include/stb \
  tests/fuzz/fuzz_picture.cpp runtime/graphics/{picture,stb_decoder,icon_file,format_checks,draw}.cpp \
  -o "$out/fuzz_picture"
cp assets/*.jpg assets/*.bmp assets/*.gif assets/*.ico assets/*.cur "$out/corpus/"
"$out/fuzz_picture" "$out/corpus" -max_len=65536 -max_total_time="$seconds"
