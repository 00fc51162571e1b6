#!/usr/bin/env bash
# The engine as its users meet it: builds the reference from the public
# headers (an undocumented call fails), installs the kit from a finished
# build into an empty prefix, builds the starter game out of the tree with
# find_package(kr) (with g++ and with clang) and again with pkg-config, runs
# them headless and compares their frames exactly with the starter's golden
# frames (its Japanese line among them). The package's handling of the
# execution character set is checked on g++ and clang. The starter's
# headless program is the kit's script driver: its --help, its answer to a
# wrong argument and its --audio output are checked as a user meets them.
#
#   bash scripts/kit_test.sh [BUILD]     (BUILD: build/release by default)
#
# examples/starter/golden/ holds input.txt (the keys), frames.txt (the frame
# numbers, one run of starter-headless each) and NNNN.png, the expected
# screens. KR_GOLDEN_UPDATE=1 rewrites them from the actual frames. A
# mismatch leaves NNNN.actual.png, NNNN.expected.png and NNNN.diff.png
# (expected | actual | changed pixels) in BUILD/kit/golden/<find_package|pkg-config|clang>/.
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

echo "-- the starter with find_package(kr) and clang (its Japanese text is u8\"...\"_cp932)"
cmake -S "$work/starter" -B "$work/starter-clang" -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_CXX_COMPILER=clang++ > "$work/starter-clang.log" 2>&1 || { cat "$work/starter-clang.log"; exit 1; }
cmake --build "$work/starter-clang" -j"$(nproc)" --target starter starter-headless >> "$work/starter-clang.log" 2>&1 ||
  { cat "$work/starter-clang.log"; exit 1; }
grep -q "Warning" "$work/starter-clang.log" && { echo "the starter's clang build warned:"; cat "$work/starter-clang.log"; exit 1; }
cp "$work/starter-build"/{walker.bmp,chime.wav,tune.mid} "$work/starter-clang/"

echo "-- the starter's headless program with pkg-config kr-headless, and its window program with pkg-config kr"
mkdir -p "$work/pc"
export PKG_CONFIG_PATH="$libdir${PKG_CONFIG_PATH:+:$PKG_CONFIG_PATH}"
read -r -a headless_flags <<< "$(pkg-config --cflags --libs kr-headless)"
read -r -a window_flags <<< "$(pkg-config --cflags --libs kr)"
(cd "$work/starter" &&
 g++ -std=c++20 -O2 headless_main.cpp game.cpp "${headless_flags[@]}" -o "$work/pc/starter-headless" &&
 g++ -std=c++20 -O2 main.cpp game.cpp "${window_flags[@]}" -o "$work/pc/starter")
cp "$work/starter-build"/{walker.bmp,chime.wav,tune.mid} "$work/pc/"

echo "-- the script driver in the starter (--help, wrong arguments, --audio)"
driver_checks=0
driver_failures=0
expect() {  # expect <check>: runs it and counts whether it passed
  driver_checks=$((driver_checks + 1))
  if ! "$1"; then
    echo "FAILED: $1" >&2
    driver_failures=$((driver_failures + 1))
  fi
}
starter="$work/starter-build/starter-headless"
run_starter() {  # run_starter <expected status> <expected first words> <args...>
  local want_status="$1" want_text="$2" status=0
  shift 2
  "$starter" "$@" > "$work/driver.out" 2> "$work/driver.err" || status=$?
  [ "$status" -eq "$want_status" ] || { echo "starter-headless $*: status $status, wanted $want_status" >&2; return 1; }
  if [ "$want_status" -eq 2 ]; then
    [ "$(wc -l < "$work/driver.err")" -eq 1 ] && grep -qF -- "$want_text" "$work/driver.err" ||
      { echo "starter-headless $*: wanted one line naming '$want_text', got:" >&2; cat "$work/driver.err" >&2; return 1; }
  else
    grep -qF -- "$want_text" "$work/driver.out" ||
      { echo "starter-headless $*: wanted '$want_text' on standard output" >&2; return 1; }
  fi
}
check_help() { run_starter 0 "usage: starter-headless --frames N" --help; }
check_unknown() { run_starter 2 "unknown option '--bogus'" --frames 5 --bogus 1; }
check_missing() { run_starter 2 "missing value after --screenshot" --frames 5 --screenshot; }
check_frames() { run_starter 2 "--frames wants a whole number" --frames 0; }
check_script() { printf '3 NOKEY down\n' > "$work/bad.txt" && run_starter 2 "bad.txt" --frames 5 --input "$work/bad.txt"; }
check_audio() {
  SDL_AUDIODRIVER=dummy "$starter" --frames 30 --audio "$work/sound.wav" > /dev/null &&
    [ "$(head -c 4 "$work/sound.wav")" = RIFF ] && [ "$(stat -c %s "$work/sound.wav")" -gt 44 ]
}
# The kit's package and the execution character set: g++ is given CP932
# (a plain "あ" is two bytes), clang cannot be and the configure warns.
mkdir -p "$work/charset"
cat > "$work/charset/CMakeLists.txt" <<'CMAKE'
cmake_minimum_required(VERSION 3.25)
project(charset LANGUAGES CXX)
set(CMAKE_CXX_STANDARD 20)
find_package(kr CONFIG REQUIRED)
add_executable(charset charset.cpp)
target_link_libraries(charset PRIVATE kr::headless)
CMAKE
printf 'static_assert(sizeof("\xE3\x81\x82") == 3, "not CP932");\nint main() { return 0; }\n' > "$work/charset/charset.cpp"
configure_charset() {  # configure_charset <compiler> <folder>
  cmake -S "$work/charset" -B "$work/$2" -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_CXX_COMPILER="$1" > "$work/$2.log" 2>&1
}
check_gxx_gets_cp932() {
  configure_charset g++ charset-gxx && ! grep -q "code page 932" "$work/charset-gxx.log" &&
    cmake --build "$work/charset-gxx" > /dev/null 2>&1
}
check_clang_warns() {
  configure_charset clang++ charset-clang &&
    grep -q "cannot compile narrow string literals" "$work/charset-clang.log" ||
    { cat "$work/charset-clang.log" >&2; return 1; }
}
# The reference written above is installed with the kit, and its first page
# starts at main.
check_reference() {
  grep -q "plat::SetBackend" "$prefix/share/doc/kr/html/index.html" &&
    grep -q "PixelOf" "$prefix/share/doc/kr/html/index.html"
}
for what in check_help check_unknown check_missing check_frames check_script check_audio check_gxx_gets_cp932 \
            check_clang_warns check_reference; do
  expect "$what"
done

echo "-- golden frames"
out="$build/kit/golden"
rm -rf "$out" && mkdir -p "$out"
failures=0
read -r -a frames < "$golden/frames.txt"
for build_kind in find_package pkg-config clang; do
  program="$work/starter-build/starter-headless"
  [ "$build_kind" = "pkg-config" ] && program="$work/pc/starter-headless"
  [ "$build_kind" = "clang" ] && program="$work/starter-clang/starter-headless"
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
failures=$((failures + driver_failures))
echo "$((3 * ${#frames[@]} + driver_checks - failures)) passed, $failures failed"
[ "$failures" -eq 0 ]
