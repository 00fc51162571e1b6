#!/usr/bin/env bash
# The Windows stage of the test command: builds everything for Windows
# (scripts/windows.sh, with the cross-built libraries from the cache), then
#   1. the unit-test program under Wine, as one process;
#   2. the golden frames of the game and the showcase, made by the Windows
#      programs under Wine and compared by the Linux build's harness;
#   3. the game in a real window under Wine and Xvfb, where
#      scripts/windows_window_test.sh exists;
#   4. the zip, unpacked into a folder whose name has a space and Japanese
#      characters, and the game run from there.
# Each part says how long it took.
#
#   bash scripts/windows_test.sh [LINUX-BUILD]   (build/release by default)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
linux="${1:-$root/build/release}"
build="$root/build/windows"
export WINEDEBUG="${WINEDEBUG:--all}"

part_start=0
part() { part_start=$SECONDS; echo "-- $1"; }
took() { echo "   ($((SECONDS - part_start)) s)"; }

part "build for Windows"
bash "$root/scripts/windows.sh" "$build"
took

part "unit tests under Wine"
echo "   left out on Windows, and why:"
sed 's/^/     /' "$build/skipped_tests.txt"
(cd "$build" && SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy \
   "$root/cmake/toolchains/wine-run.sh" ./kr_tests.exe --gtest_brief=1 > "$build/kr_tests.log" 2>&1) || {
  grep -E "^\[  FAILED|Failure" -A8 "$build/kr_tests.log" | head -n 120
  exit 1
}
grep -E "^\[  (PASSED|SKIPPED) " "$build/kr_tests.log" || true
grep -E "^\[  SKIPPED \] [A-Za-z]" "$build/kr_tests.log" | sed 's/ ([0-9]* ms)$//' | sort -u || true
took

part "golden frames of the Windows programs"
[ -x "$linux/kr_tests" ] || { echo "the Linux build $linux has no kr_tests"; exit 1; }
KR_GOLDEN_RUN_DIR="$build/run" KR_GOLDEN_LAUNCHER="$root/cmake/toolchains/wine-run.sh" \
  "$linux/kr_tests" --gtest_filter='Cases/GoldenFrames.*' --gtest_brief=1
took

if [ -f "$root/scripts/windows_window_test.sh" ]; then
  part "the game in a window under Wine and Xvfb"
  bash "$root/scripts/windows_window_test.sh" "$build"
  took
fi

if [ -f "$root/scripts/windows_package.sh" ]; then
  part "the zip, unpacked and played"
  bash "$root/scripts/windows_package.sh" "$build"
  bash "$root/scripts/windows_package_test.sh" "$build" "$linux"
  took
fi
echo "The Windows stage passed."
