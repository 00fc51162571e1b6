#!/usr/bin/env bash
# Builds the engine, the game, the showcase, the tools and the test program
# for 64-bit Windows with Debian's mingw-w64 cross compiler.
#
#   bash scripts/windows.sh [BUILD]      (BUILD: build/windows by default)
#
# SDL2, FreeType and GoogleTest are not shipped by Debian for this target:
# they are built here from Debian's own source packages, of exactly the
# versions the Linux build uses, and kept under ${KR_CACHE:-~/.cache/kr}
# keyed by version, so a second build (and every build folder) reuses them.
# The programs land in BUILD/run/ beside the pictures and the map; run them
# with Wine (`wine BUILD/run/pokotanba.exe`).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build/windows}"
bash "$root/scripts/deps.sh" --windows

# shellcheck source=windows_libs.sh
source "$root/scripts/windows_libs.sh"
prefix="$(kr_windows_libs)"

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DKR_BENCH=OFF \
      -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchains/mingw-w64-x86_64.cmake" \
      -DKR_WINDOWS_PREFIX="$prefix"
cmake --build "$build" -j"$(nproc)"
echo "Windows programs in $build/run/"
