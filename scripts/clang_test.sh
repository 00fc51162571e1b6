#!/usr/bin/env bash
# Japanese text compiled by clang: builds the game's and the showcase's
# headless programs with clang (BUILD/../clang, engine included), plays a
# frame that shows Japanese text in each (the game's hit message, the
# showcase's story in Mincho) with the clang programs and with the g++ ones
# of BUILD, and compares the screenshots byte for byte. clang knows no
# execution character set but UTF-8, so a Japanese literal the engine, the
# game or the showcase writes without the compile-time conversion shows up
# here as garbage or as no text at all.
#
#   bash scripts/clang_test.sh [BUILD]     (BUILD: build/release by default)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "${1:-$root/build/release}" && pwd)"
clang_build="$(dirname "$build")/clang"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

echo "-- build the headless programs with clang in $clang_build"
cmake -S "$root" -B "$clang_build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=Release -DKR_BENCH=OFF \
  > "$work/configure.log" 2>&1 || { cat "$work/configure.log"; exit 1; }
cmake --build "$clang_build" -j"$(nproc)" --target pokotanba-replay krshowcase-headless > "$work/build.log" 2>&1 ||
  { tail -n 60 "$work/build.log"; exit 1; }

# The clang programs sit in a run folder of their own whose pictures, map
# and sounds are the g++ build's (the programs read them from beside
# themselves).
clang_run="$work/clang-run"
mkdir -p "$clang_run"
for entry in "$build/run"/*; do
  ln -s "$entry" "$clang_run/$(basename "$entry")"
done
for program in pokotanba-replay krshowcase-headless; do
  rm -f "$clang_run/$program"
  cp "$clang_build/run/$program" "$clang_run/$program"
done

passed=0
failed=0
# compare <name> <program> <frames> <input script> <arguments...>
compare() {
  local name="$1" program="$2" frames="$3" input="$4"
  shift 4
  for compiler in g++ clang; do
    local folder="$build/run"
    [ "$compiler" = clang ] && folder="$clang_run"
    mkdir -p "$work/$name/$compiler"
    cp "$build/run/map.txt" "$work/$name/$compiler/"
    (cd "$work/$name/$compiler" && KR_DESKTOP_BITS=16 SDL_AUDIODRIVER=dummy "$folder/$program" "$@" --frames "$frames" \
       --input "$input" --screenshot frame.bmp > output.txt 2>&1) ||
      { echo "FAILED: $name with $compiler did not run:"; cat "$work/$name/$compiler/output.txt"; failed=$((failed + 1)); return; }
  done
  if cmp -s "$work/$name/g++/frame.bmp" "$work/$name/clang/frame.bmp"; then
    passed=$((passed + 1))
  else
    mkdir -p "$clang_build/compared"
    cp "$work/$name/g++/frame.bmp" "$clang_build/compared/$name.g++.bmp"
    cp "$work/$name/clang/frame.bmp" "$clang_build/compared/$name.clang.bmp"
    echo "FAILED: $name differs between g++ and clang: see $clang_build/compared/$name.*.bmp"
    failed=$((failed + 1))
  fi
}

echo "-- frames with Japanese text, g++ against clang"
compare game_hit_message pokotanba-replay 244 "$root/tests/golden/game_order_v1/input.txt" --variant 1
: > "$work/no-keys.txt"
compare showcase_story krshowcase-headless 200 "$work/no-keys.txt" --scene message
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
