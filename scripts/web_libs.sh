#!/usr/bin/env bash
# Builds the libraries the web build links, SDL2 and FreeType, with emcc
# from Debian's own source packages, pinned to the versions the Linux build
# uses, into ${KR_CACHE:-$HOME/.cache/kr}/web-<emcc version>/. A library
# already built at its version is kept. Emscripten's own "ports" are never
# used: they download from elsewhere.
# Prints nothing but progress; the prefix is $cache/prefix.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bash "$root/scripts/deps.sh" --web

emcc_version="$(emcc -dumpversion)"
cache="${KR_CACHE:-$HOME/.cache/kr}/web-$emcc_version"
prefix="$cache/prefix"
mkdir -p "$cache/src" "$prefix"
# Debian's emscripten ships its system libraries built (a frozen cache).
jobs="$(nproc)"

# The source of a Debian package at the version installed for the Linux
# build, unpacked once into $cache/src/<package>-<version>/.
debian_source() {
  local package="$1" binary="$2"
  local version
  version="$(dpkg-query -W -f='${Version}' "$binary")"
  local dir="$cache/src/$package-$version"
  if [ ! -f "$dir/.unpacked" ]; then
    rm -rf "$dir" && mkdir -p "$dir"
    (cd "$dir" && apt-get source -qq --download-only "$package=$version" >/dev/null &&
       dpkg-source -x --no-check ./*.dsc tree >/dev/null)
    touch "$dir/.unpacked"
  fi
  echo "$dir/tree"
}

build_freetype() {
  local stamp="$prefix/.freetype-$(dpkg-query -W -f='${Version}' libfreetype-dev)"
  [ -f "$stamp" ] && return 0
  echo "== FreeType for the web =="
  local src
  src="$(debian_source freetype libfreetype-dev)"
  # Only what the engine uses: no zlib, bzip2, PNG, HarfBuzz or Brotli.
  emcmake cmake -S "$src" -B "$cache/build-freetype" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$prefix" -DFT_DISABLE_ZLIB=ON -DFT_DISABLE_BZIP2=ON -DFT_DISABLE_PNG=ON \
    -DFT_DISABLE_HARFBUZZ=ON -DFT_DISABLE_BROTLI=ON >/dev/null
  cmake --build "$cache/build-freetype" -j"$jobs" >/dev/null
  cmake --install "$cache/build-freetype" >/dev/null
  touch "$stamp"
}

build_sdl2() {
  local stamp="$prefix/.sdl2-$(dpkg-query -W -f='${Version}' libsdl2-dev)"
  [ -f "$stamp" ] && return 0
  echo "== SDL2 for the web =="
  local src
  src="$(debian_source libsdl2 libsdl2-dev)"
  # No threads: a page served by any static server has no shared memory.
  emcmake cmake -S "$src" -B "$cache/build-sdl2" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$prefix" -DSDL_SHARED=OFF -DSDL_STATIC=ON -DSDL_TEST=OFF \
    -DSDL_THREADS=OFF -DSDL_PTHREADS=OFF >/dev/null
  cmake --build "$cache/build-sdl2" -j"$jobs" >/dev/null
  cmake --install "$cache/build-sdl2" >/dev/null
  touch "$stamp"
}

build_freetype
build_sdl2
echo "$prefix"
