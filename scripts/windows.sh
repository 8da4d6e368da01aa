#!/usr/bin/env bash
# Cross-builds Velmora for 64-bit Windows on Debian: installs mingw-w64,
# Wine and icoutils (bash scripts/setup-debian.sh windows), then builds
# build-windows/velmora.exe (Release), one statically linked executable
# with every picture, its icon and its version information built in.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup-debian.sh windows

# The toolchain is fixed when the build folder is first configured. A folder
# whose configuring never ended (a failed first run leaves a cache that
# keeps its flags and fails again) or that holds another toolchain's build
# is configured afresh.
toolchain=cmake/mingw-w64-x86_64.cmake
if [[ -f build-windows/CMakeCache.txt ]] &&
  ! { [[ -f build-windows/build.ninja ]] &&
    grep -Eq "^CMAKE_TOOLCHAIN_FILE:[A-Z]*=(.*/)?$toolchain\$" build-windows/CMakeCache.txt; }; then
  echo "windows: build-windows/ was left half-configured or for another toolchain; configuring it afresh"
  rm -rf build-windows/CMakeCache.txt build-windows/CMakeFiles
fi
toolchain_arg=()
[[ -f build-windows/CMakeCache.txt ]] || toolchain_arg=(-DCMAKE_TOOLCHAIN_FILE="$PWD/$toolchain")
cmake -S . -B build-windows -G Ninja "${toolchain_arg[@]}" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build-windows -j 2 --target velmora
echo "Built build-windows/velmora.exe"
