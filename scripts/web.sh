#!/usr/bin/env bash
# Builds for the web with Debian's emscripten: SDL2 and FreeType from
# Debian's sources (scripts/web_libs.sh, cached), then the engine, the
# game's and the showcase's pages and the unit tests into build/web/.
# The pages end up in build/web/site/; serve that folder with any static
# file server, e.g.  python3 -m http.server 8000 --bind 127.0.0.1 -d build/web/site
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
prefix="$(bash "$root/scripts/web_libs.sh" | tail -n 1)"
jobs="$(nproc)"
# Debian's emscripten finds its Node.js modules (acorn) where Debian keeps them.
export NODE_PATH="${NODE_PATH:+$NODE_PATH:}/usr/share/nodejs"
build="${KR_WEB_BUILD:-$root/build/web}"

emcmake cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DKR_BENCH=OFF -DKR_WEB_PREFIX="$prefix" >/dev/null
cmake --build "$build" -j"$jobs" "$@"
echo "The pages are in $build/site/"
