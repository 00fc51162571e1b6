# The cross-built libraries of the Windows build (sourced by scripts/windows.sh
# and scripts/windows_test.sh). `kr_windows_libs` builds what is missing and
# prints the folder that holds them all (include/, lib/, bin/ with SDL2.dll).
#
# Each library is Debian's source package of the version installed for the
# Linux build (`apt-get source`, with a deb-src line added when the system has
# none). A library is rebuilt only when that version, or the recipe below,
# changes: its stamp file in the folder names both.

kr_windows_recipe=1
kr_windows_toolchain="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/cmake/toolchains/mingw-w64-x86_64.cmake"

kr_log() { echo "$@" >&2; }

# Adds deb-src entries mirroring the system's deb entries, once.
kr_enable_source_lists() {
  if grep -rqsE '^(Types:.*deb-src|deb-src )' /etc/apt/sources.list /etc/apt/sources.list.d/; then
    return
  fi
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  if [ -f /etc/apt/sources.list.d/debian.sources ]; then
    sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources \
      | $sudo tee /etc/apt/sources.list.d/kr-deb-src.sources > /dev/null
  else
    grep -hE '^deb ' /etc/apt/sources.list | sed 's/^deb /deb-src /' \
      | $sudo tee /etc/apt/sources.list.d/kr-deb-src.list > /dev/null
  fi
  $sudo apt-get update -qq >&2
}

# kr_fetch_source SOURCE VERSION WORK: unpacks the Debian source package (with
# Debian's patches applied) under WORK and prints its folder.
kr_fetch_source() {
  local source="$1" version="$2" work="$3"
  rm -rf "$work" && mkdir -p "$work"
  kr_enable_source_lists
  (cd "$work" && apt-get source -qq --only-source "$source=$version" >&2)
  find "$work" -mindepth 1 -maxdepth 1 -type d | head -n 1
}

# kr_source_version BINARY: "source version" of an installed Debian package.
kr_source_version() {
  dpkg-query -W -f='${source:Package} ${source:Version}' "$1"
}

# kr_build_library BINARY PREFIX CMAKE-ARGS...: builds the source package of
# BINARY into PREFIX unless its stamp is there.
kr_build_library() {
  local binary="$1" prefix="$2"
  shift 2
  local source version
  read -r source version < <(kr_source_version "$binary")
  local stamp="$prefix/stamps/$source-$version-r$kr_windows_recipe"
  [ -f "$stamp" ] && return
  kr_log "== cross-building $source $version for Windows =="
  local work="$prefix/../work-$source"
  local tree
  tree="$(kr_fetch_source "$source" "$version" "$work")"
  cmake -S "$tree" -B "$work/build" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$kr_windows_toolchain" -DCMAKE_INSTALL_PREFIX="$prefix" \
        -DKR_WINDOWS_PREFIX="$prefix" "$@" >&2
  cmake --build "$work/build" -j"$(nproc)" >&2
  cmake --install "$work/build" >&2
  rm -rf "$work"
  mkdir -p "$prefix/stamps"
  touch "$stamp"
}

kr_windows_libs() {
  local cache="${KR_CACHE:-$HOME/.cache/kr}"
  local prefix="$cache/windows-x64"
  mkdir -p "$prefix"
  kr_build_library libsdl2-dev "$prefix" -DSDL_SHARED=ON -DSDL_STATIC=OFF -DSDL_TEST=OFF
  # Programs keep their own main and their console (tests and tools print
  # there; the game picks the window subsystem itself): SDL's WinMain and its
  # renaming of main are left out.
  sed -i -e 's/ -lmingw32//; s/ -lSDL2main//; s/ -mwindows//; s/ -Dmain=SDL_main/ -DSDL_MAIN_HANDLED/' \
      "$prefix/lib/pkgconfig/sdl2.pc"
  kr_build_library libfreetype-dev "$prefix" -DBUILD_SHARED_LIBS=OFF \
        -DFT_DISABLE_ZLIB=ON -DFT_DISABLE_BZIP2=ON -DFT_DISABLE_PNG=ON \
        -DFT_DISABLE_HARFBUZZ=ON -DFT_DISABLE_BROTLI=ON
  kr_build_library googletest "$prefix" -DBUILD_GMOCK=OFF -Dgtest_disable_pthreads=OFF
  echo "$prefix"
}
