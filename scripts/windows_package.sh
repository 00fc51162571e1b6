#!/usr/bin/env bash
# Makes pokotanba-windows-x64.zip from a Windows build: the game, its replay
# program and the showcase, SDL2.dll, the pictures, the map, the music, the
# showcase's pictures and sounds, the IPA fonts with their licence, and a
# read-me in Japanese and English. The marker kr-installed makes the
# programs write under %APPDATA%\pokotanba, never beside themselves.
#
#   bash scripts/windows_package.sh [BUILD]   (build/windows by default; built first when missing)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build/windows}"
run="$build/run"
[ -x "$run/pokotanba.exe" ] || bash "$root/scripts/windows.sh" "$build"
command -v zip > /dev/null || bash "$root/scripts/deps.sh" --windows

stage="$build/package/pokotanba-windows-x64"
rm -rf "$build/package" && mkdir -p "$stage/fonts" "$stage/showcase"
cp "$run"/pokotanba.exe "$run"/pokotanba-replay.exe "$run"/krshowcase.exe "$run"/krshowcase-headless.exe \
   "$run"/SDL2.dll "$run"/map.txt "$run"/music.mid "$stage/"
cp -r "$run/BMP" "$stage/"
(cd "$run/showcase" && cp -r ./*.bmp sounds.pak sound "$stage/showcase/")
cp "$run"/fonts/*.ttf "$stage/fonts/"
cp /usr/share/doc/fonts-ipafont-gothic/copyright "$stage/fonts/IPA_Font_License.txt"
# Windows' own editors want CRLF line ends.
sed 's/$/\r/' "$root/packaging/windows/README.txt" > "$stage/README.txt"
printf 'This program is installed: it writes its settings, screenshots and log under\r\n%%APPDATA%%\\pokotanba.\r\n' \
  > "$stage/kr-installed"
(cd "$build/package" && zip -qr -X pokotanba-windows-x64.zip pokotanba-windows-x64)
echo "$build/package/pokotanba-windows-x64.zip"
