#!/usr/bin/env bash
# The engine as its users meet it: builds the reference from the public
# headers (an undocumented call fails), installs the kit from a finished
# build into an empty prefix, builds the starter game out of the tree with
# find_package(kr) and again with pkg-config, runs both headless and compares
# their frames exactly with the starter's golden frames.
#
#   bash scripts/kit_test.sh [BUILD]     (BUILD: build/release by default)
#
# examples/starter/golden/ holds input.txt (the keys), frames.txt (the frame
# numbers, one run of starter-headless each) and NNNN.png, the expected
# screens. KR_GOLDEN_UPDATE=1 rewrites them from the actual frames. A
# mismatch leaves NNNN.actual.png, NNNN.expected.png and NNNN.diff.png
# (expected | actual | changed pixels) in BUILD/kit/golden/<find_package|pkg-config>/.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "${1:-$root/build/release}" && pwd)"
golden="$root/examples/starter/golden"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

echo "-- reference (doxygen, warnings are errors)"
mkdir -p "$build/docs"
(cd "$root" && KR_DOCS_OUT="$build/docs" doxygen docs/Doxyfile > "$build/docs/doxygen.log")
echo "reference in $build/docs/html/index.html"

echo "-- install into an empty prefix"
prefix="$work/prefix"
cmake --install "$build" --prefix "$prefix" --component kit > /dev/null
libdir="$(dirname "$(find "$prefix" -name kr.pc)")"

echo "-- the starter with find_package(kr), from a copy outside the tree"
cp -r "$root/examples/starter" "$work/starter"
rm -rf "$work/starter/golden"
cmake -S "$work/starter" -B "$work/starter-build" -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_BUILD_TYPE=Release > /dev/null
cmake --build "$work/starter-build" -j"$(nproc)" > "$work/starter-build.log" || { cat "$work/starter-build.log"; exit 1; }

echo "-- the starter's headless program with pkg-config kr-headless, and its window program with pkg-config kr"
mkdir -p "$work/pc"
export PKG_CONFIG_PATH="$libdir${PKG_CONFIG_PATH:+:$PKG_CONFIG_PATH}"
read -r -a headless_flags <<< "$(pkg-config --cflags --libs kr-headless)"
read -r -a window_flags <<< "$(pkg-config --cflags --libs kr)"
(cd "$work/starter" &&
 g++ -std=c++20 -O2 headless_main.cpp game.cpp "${headless_flags[@]}" -o "$work/pc/starter-headless" &&
 g++ -std=c++20 -O2 main.cpp game.cpp "${window_flags[@]}" -o "$work/pc/starter")
cp "$work/starter-build"/{walker.bmp,chime.wav,tune.mid} "$work/pc/"

echo "-- golden frames"
out="$build/kit/golden"
rm -rf "$out" && mkdir -p "$out"
failures=0
read -r -a frames < "$golden/frames.txt"
for build_kind in find_package pkg-config; do
  program="$work/starter-build/starter-headless"
  [ "$build_kind" = "pkg-config" ] && program="$work/pc/starter-headless"
  mkdir -p "$out/$build_kind"
  for frame in "${frames[@]}"; do
    stem="$(printf '%04d' "$frame")"
    actual="$out/$build_kind/$stem.actual.bmp"
    SDL_AUDIODRIVER=dummy "$program" --frames "$frame" --input "$golden/input.txt" --screenshot "$actual" > /dev/null
    if [ "${KR_GOLDEN_UPDATE:-0}" = "1" ]; then
      convert "$actual" "PNG24:$golden/$stem.png"
      continue
    fi
    at="$out/$build_kind/$stem"
    differing="$(compare -metric AE "$actual" "$golden/$stem.png" "$at.marks.png" 2>&1 || true)"
    if [ "$differing" != "0" ]; then
      convert "$actual" "$at.actual.png"
      cp "$golden/$stem.png" "$at.expected.png"
      convert "$at.expected.png" "$at.actual.png" "$at.marks.png" +append "$at.diff.png"
      echo "frame $frame of the starter built with $build_kind differs in $differing pixels: see $at.diff.png"
      failures=$((failures + 1))
    fi
  done
done
if [ "${KR_GOLDEN_UPDATE:-0}" = "1" ]; then
  echo "rewrote the starter's golden frames ${frames[*]}"
  exit 0
fi
echo "$((2 * ${#frames[@]} - failures)) passed, $failures failed"
[ "$failures" -eq 0 ]
