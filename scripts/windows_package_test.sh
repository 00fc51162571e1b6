#!/usr/bin/env bash
# Unpacks pokotanba-windows-x64.zip into an empty folder whose name has a
# space and Japanese characters, and plays the game there under Wine: the
# headless twin runs a golden case's input from that folder (finding its
# DLL, pictures, map and fonts beside itself) and its screenshot must equal,
# byte for byte, the one the Linux build's replay makes of the same input.
#
#   bash scripts/windows_package_test.sh [WINDOWS-BUILD] [LINUX-BUILD]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build/windows}"
linux="${2:-$root/build/release}"
zip="$build/package/pokotanba-windows-x64.zip"
[ -f "$zip" ] || { echo "no $zip (scripts/windows_package.sh makes it)"; exit 1; }
export WINEDEBUG="${WINEDEBUG:--all}"

place="$(mktemp -d)/ポコタンバ の フォルダー"
trap 'rm -rf "$(dirname "$place")"' EXIT
mkdir -p "$place"
unzip -q "$zip" -d "$place"
game="$place/pokotanba-windows-x64"

case_dir="$root/tests/golden/game_order_v1"
frames=220
mkdir -p "$place/linux"
cp "$case_dir/input.txt" "$game/input.txt"
cp "$case_dir/input.txt" "$linux/run/map.txt" "$place/linux/"
(cd "$game" && KR_DESKTOP_BITS=16 "$root/cmake/toolchains/wine-run.sh" ./pokotanba-replay.exe \
   --frames "$frames" --input input.txt --screenshot frame.bmp > output.txt 2>&1) || {
  cat "$game/output.txt"; echo "the unpacked game did not run"; exit 1; }
(cd "$place/linux" && KR_DESKTOP_BITS=16 "$linux/run/pokotanba-replay" \
   --frames "$frames" --input input.txt --screenshot frame.bmp > output.txt 2>&1)
if ! cmp -s "$game/frame.bmp" "$place/linux/frame.bmp"; then
  echo "the unpacked game's frame $frames differs from the Linux build's"
  exit 1
fi
echo "the unpacked game runs from \"$(basename "$place")\" and draws the Linux build's frame $frames"
