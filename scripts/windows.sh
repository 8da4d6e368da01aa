#!/usr/bin/env bash
# Cross-builds Velmora for 64-bit Windows on Debian: installs mingw-w64,
# Wine and icoutils with apt-get, then builds build-windows/velmora.exe
# (Release), one statically linked executable with every picture, its
# icon and its version information built in.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup-debian.sh

packages=(
  mingw-w64 g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  googletest wine wine64 icoutils binutils
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
  echo "Installing: ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# The toolchain is fixed when the build folder is first configured.
toolchain=()
[ -f build-windows/CMakeCache.txt ] || toolchain=(-DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake)
cmake -S . -B build-windows -G Ninja "${toolchain[@]}" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build-windows -j 2 --target velmora
echo "Built build-windows/velmora.exe"
