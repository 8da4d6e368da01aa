#!/usr/bin/env bash
# Builds Velmora and runs every test: the unit and whole-show tests, the
# end-to-end tests of the real program under Xvfb, the card built for web
# browsers played in headless chromium, and the unit and
# whole-show tests once more under AddressSanitizer and
# UndefinedBehaviorSanitizer; then the Debian package: made, installed,
# opened from the PATH and removed (needs root or sudo, as in CI); then the
# Windows build, cross-built with mingw-w64, with its tests and velmora.exe
# itself run under Wine, and its release zip.
#
# Usage: bash scripts/test.sh [quick]
#   quick  the inner loop: builds build/ and runs the unit and whole-program
#          tests only (no end-to-end tests, sanitizers, package or Windows)
set -euo pipefail
cd "$(dirname "$0")/.."
what=${1:-all}
case $what in
  all | quick) ;;
  *) echo "usage: bash scripts/test.sh [quick]" >&2; exit 2 ;;
esac
bash scripts/setup-debian.sh
jobs=$(nproc)

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$jobs"
ctest --test-dir build --output-on-failure -j "$jobs" -LE e2e
[[ $what == quick ]] && exit 0
ctest --test-dir build --output-on-failure -L e2e

# The card for web browsers: built to WebAssembly (scripts/web.sh), then
# played in Debian's chromium, headless, driven by puppeteer-core from the
# lock file, and compared with what the native program draws.
bash scripts/web.sh
npm ci --prefix tests/web --no-audit --no-fund >/dev/null
node tests/web/test_web.mjs build-web/site build/tools/pictures/velmora_pictures

cmake -S . -B build-sanitize -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVELMORA_SANITIZE=ON \
  -DVELMORA_BENCHMARKS=OFF -DVELMORA_TOOLS=OFF >/dev/null
cmake --build build-sanitize -j "$jobs"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build-sanitize --output-on-failure -j "$jobs" -LE e2e

# The Debian package: a Release build packed by cpack and checked by
# lintian, installed with apt-get, opened from the PATH under Xvfb, removed.
bash scripts/release.sh deb
bash tests/package/test_deb.sh dist/velmora_*.deb

# Windows: velmora.exe and the unit and whole-show tests cross-built with
# mingw-w64 and run under Wine, the executable's resources checked, and
# velmora.exe end to end under Wine; then the release zip around it.
bash scripts/windows-tests.sh
bash scripts/release.sh windows
