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

# Debian keeps libraries and pkg-config files in the multiarch folder; the
# build's own choice (for `cmake --install --prefix`) is put back afterwards.
libdir="lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH)"
own_libdir=""
if [ -f "$build/CMakeCache.txt" ]; then
  own_libdir="$(sed -n 's/^CMAKE_INSTALL_LIBDIR:PATH=//p' "$build/CMakeCache.txt")"
  cmake -S "$root" -B "$build" -DCMAKE_INSTALL_LIBDIR="$libdir" > /dev/null
else
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_LIBDIR="$libdir" > /dev/null
fi
restore_libdir() { cmake -S "$root" -B "$build" -DCMAKE_INSTALL_LIBDIR="${own_libdir:-lib}" > /dev/null; }
trap restore_libdir EXIT
cmake --build "$build" -j"$(nproc)" --target package_parts
rm -rf "$build/packages"
(cd "$build" && cpack --config CPackConfig.cmake > "$build/cpack.log") || { cat "$build/cpack.log"; exit 1; }
ls "$build"/packages/*.deb

# The pages for the web (pokotanba-web.zip), when the web build was asked
# for: KR_PACKAGE_WEB=1.
if [ "${KR_PACKAGE_WEB:-0}" = "1" ]; then bash "$root/scripts/package_web.sh"; fi
# The Windows zip (pokotanba-windows-x64.zip), when there is a Windows build
# (bash scripts/windows.sh) or it is asked for: KR_PACKAGE_WINDOWS=1.
if [ "${KR_PACKAGE_WINDOWS:-0}" = "1" ] || [ -x "$root/build/windows/run/pokotanba.exe" ]; then
  bash "$root/scripts/windows_package.sh"
fi
