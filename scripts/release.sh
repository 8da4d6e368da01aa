#!/usr/bin/env bash
# Builds Velmora's release files into dist/ (installing what it needs):
#   dist/velmora_<release>_<arch>.deb        the Debian package (cpack)
#   dist/velmora-<release>-windows-x64.zip   the Windows executable with a
#                                            README and the licences
#   dist/velmora-<release>-web.zip           the card for web browsers: a
#                                            static site (scripts/web.sh)
#   dist/velmora-<release>-card.html         the same card as one file
# Usage: bash scripts/release.sh [all|deb|windows|web]   (default: all)
# The desktop entry, the AppStream metadata and the manual page are checked
# first, and the package must pass lintian without errors or warnings.
set -euo pipefail
cd "$(dirname "$0")/.."
what=${1:-all}
case $what in
  all | deb | windows | web) ;;
  *) echo "usage: bash scripts/release.sh [all|deb|windows|web]" >&2; exit 2 ;;
esac
release=$(sed -n 's/^set(VELMORA_RELEASE \([0-9.]*\))$/\1/p' cmake/Packaging.cmake)
[[ -n "$release" ]] || { echo "release: no VELMORA_RELEASE in cmake/Packaging.cmake" >&2; exit 1; }
bash scripts/setup-debian.sh release
mkdir -p dist
jobs=$(nproc)

# Fails when a validator says anything: desktop-file-validate prints only
# problems, appstreamcli fails on errors and warnings (its info notes are
# explained in the README), man --warnings prints only problems.
check_metadata() {
  local out
  out=$(desktop-file-validate packaging/example.velmora.Velmora.desktop 2>&1) || true
  [[ -z "$out" ]] || { echo "$out" >&2; echo "release: the desktop entry does not validate" >&2; exit 1; }
  appstreamcli validate --no-net packaging/example.velmora.Velmora.metainfo.xml
  out=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z packaging/velmora.6 2>&1 >/dev/null) || true
  [[ -z "$out" ]] || { echo "$out" >&2; echo "release: the manual page has problems" >&2; exit 1; }
}

# A Release build of the program alone, with Debian's hardening flags,
# packed by cpack (which strips the executable). A subshell, so that the
# flags it exports (LDFLAGS with -z relro, which mingw's linker refuses)
# never reach the Windows build.
build_deb() (
  flags=$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --export=sh)
  eval "$flags"
  cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DVELMORA_TESTS=OFF -DVELMORA_BENCHMARKS=OFF -DVELMORA_TOOLS=OFF \
    -DCMAKE_INSTALL_PREFIX=/usr -DVELMORA_INSTALL_BINDIR=games \
    -DCMAKE_CXX_FLAGS="$CPPFLAGS $CXXFLAGS" -DCMAKE_EXE_LINKER_FLAGS="$LDFLAGS" >/dev/null
  cmake --build build-release -j "$jobs"
  rm -f build-release/velmora_*.deb
  (cd build-release && cpack -G DEB)
  local deb
  deb=$(ls build-release/velmora_"$release"_*.deb)
  rm -f dist/velmora_*.deb
  cp "$deb" dist/
  deb=dist/$(basename "$deb")
  lintian --fail-on error,warning "$deb"
  echo "release: $deb ($(stat -c %s "$deb") bytes)"
)

# The Windows zip: scripts/windows.sh cross-builds build-windows/velmora.exe.
build_windows() {
  if [[ ! -f scripts/windows.sh ]]; then
    echo "release: the Windows build is not available (scripts/windows.sh is missing); no Windows zip made." >&2
    return 0
  fi
  bash scripts/windows.sh
  [[ -f build-windows/velmora.exe ]] || { echo "release: scripts/windows.sh made no build-windows/velmora.exe" >&2; exit 1; }
  local name=velmora-$release-windows-x64
  local stage=build-windows/zip/$name
  rm -rf build-windows/zip
  mkdir -p "$stage/licenses"
  cp build-windows/velmora.exe "$stage/"
  # Text files with Windows line ends, for every editor there.
  crlf() { sed 's/\r$//; s/$/\r/' "$1" >"$2"; }
  crlf packaging/windows/README.txt "$stage/README.txt"
  crlf LICENSE "$stage/LICENSE.txt"
  local f
  for f in Liberation-fonts.txt stb.txt; do crlf "licenses/$f" "$stage/licenses/$f"; done
  # The MinGW-w64 runtime (winpthreads and the startup code) that the
  # cross-compiler links in asks for its notice to travel with the program.
  for f in /usr/share/doc/mingw-w64-x86-64-dev/copyright /usr/share/doc/mingw-w64-common/copyright; do
    if [[ -f $f ]]; then crlf "$f" "$stage/licenses/mingw-w64-runtime.txt"; break; fi
  done
  rm -f "dist/$name.zip"
  (cd build-windows/zip && zip -q -X -r -9 "../../dist/$name.zip" "$name")
  echo "release: dist/$name.zip ($(stat -c %s "dist/$name.zip") bytes)"
}

# The web zip: the site scripts/web.sh builds, in a folder of the
# release's name, ready to be put on any static host.
build_web() {
  bash scripts/web.sh
  local name=velmora-$release-web
  rm -rf build-web/zip
  mkdir -p build-web/zip
  cp -r build-web/site "build-web/zip/$name"
  rm -f "dist/$name.zip"
  (cd build-web/zip && zip -q -X -r -9 "../../dist/$name.zip" "$name")
  echo "release: dist/$name.zip ($(stat -c %s "dist/$name.zip") bytes)"
  local card=dist/velmora-$release-card.html
  cp build-web/velmora-card.html "$card"
  echo "release: $card ($(stat -c %s "$card") bytes)"
}

if [[ $what == web ]]; then
  build_web
  exit 0
fi
check_metadata
[[ $what == windows ]] || build_deb
[[ $what == deb ]] || build_windows
[[ $what != all ]] || build_web
