#!/usr/bin/env bash
# Makes the two Debian packages from a release build:
#   pokotanba_<version>_<arch>.deb   the game, for players
#   libkr-dev_<version>_<arch>.deb   the kit, for games built on the engine
#
#   bash scripts/package.sh [BUILD]     (BUILD: build/release by default)
#
# Configures BUILD (as a release build when it is new), builds
# only what the packages hold, and leaves the packages in BUILD/packages/.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build/release}"
bash "$root/scripts/deps.sh" --package

if [ -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build" > /dev/null
else
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release > /dev/null
fi
cmake --build "$build" -j"$(nproc)" --target package_parts
rm -rf "$build/packages"
(cd "$build" && cpack --config CPackConfig.cmake > "$build/cpack.log") || { cat "$build/cpack.log"; exit 1; }
ls "$build"/packages/*.deb

# The Windows zip, from the Windows build (scripts/windows_package.sh).
bash "$root/scripts/windows_package.sh"
