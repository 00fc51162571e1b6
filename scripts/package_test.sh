#!/usr/bin/env bash
# The Debian packages as a player and a game developer meet them: makes both
# from a finished release build, checks their fields and contents with
# dpkg-deb, unpacks the game into an empty root and plays it there headless
# (through its launcher's --headless switch) with HOME pointing to an empty
# folder and no XDG_* variables: it must start, play its frames, read its map
# from beside itself, and write nothing outside HOME (the unpacked root and
# the working folder are compared before and after). Both packages go
# through lintian, which must report no error (its warnings are kept in
# BUILD/packages/<package>.lintian).
#
#   bash scripts/package_test.sh [BUILD]     (BUILD: build/release by default)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "${1:-$root/build/release}" && pwd)"
work="$(mktemp -d)"
trap 'chmod -R u+w "$work" 2>/dev/null; rm -rf "$work"' EXIT
passed=0
failed=0
check() {  # check <what> <command...>
  local what="$1"
  shift
  if "$@" > /dev/null 2>&1; then
    passed=$((passed + 1))
  else
    echo "FAILED: $what"
    failed=$((failed + 1))
  fi
}

echo "-- build the packages"
bash "$root/scripts/package.sh" "$build" > "$work/package.log" 2>&1 || { cat "$work/package.log"; exit 1; }
game_deb="$(ls "$build"/packages/pokotanba_*.deb)"
kit_deb="$(ls "$build"/packages/libkr-dev_*.deb)"

echo "-- fields (dpkg-deb -I)"
field() { dpkg-deb -f "$1" "$2"; }
has() { grep -qE "(^|, )$2( |,|$)" <<< "$1"; }
game_depends="$(field "$game_deb" Depends)"
check "the game is named pokotanba" test "$(field "$game_deb" Package)" = pokotanba
check "the game has a maintainer" test -n "$(field "$game_deb" Maintainer)"
check "the game is in section games" test "$(field "$game_deb" Section)" = games
check "the game describes itself" grep -q "ポコタンバ！" <<< "$(field "$game_deb" Description)"
for p in libsdl2-2.0-0 libfreetype6 libfontconfig1 libfluidsynth3 fonts-ipafont-gothic fonts-ipafont-mincho; do
  check "the game depends on $p" has "$game_depends" "$p"
done
check "the game recommends no SoundFont (it plays no music)" test -z "$(field "$game_deb" Recommends | grep -i soundfont)"
kit_depends="$(field "$kit_deb" Depends)"
check "the kit is named libkr-dev" test "$(field "$kit_deb" Package)" = libkr-dev
for p in libsdl2-dev libfreetype-dev libfontconfig-dev libfluidsynth-dev; do
  check "the kit depends on $p" has "$kit_depends" "$p"
done
dpkg-deb -I "$game_deb" > "$build/packages/pokotanba.info"
dpkg-deb -I "$kit_deb" > "$build/packages/libkr-dev.info"

echo "-- contents (dpkg-deb -c)"
dpkg-deb -c "$game_deb" | awk '{print $6}' | sed 's|^\./|/|' > "$work/game.list"
dpkg-deb -c "$kit_deb" | awk '{print $6}' | sed 's|^\./|/|' > "$work/kit.list"
multiarch="$(dpkg-architecture -qDEB_HOST_MULTIARCH)"
for f in /usr/games/pokotanba /usr/lib/pokotanba/pokotanba /usr/lib/pokotanba/pokotanba-replay \
         /usr/lib/pokotanba/kr-installed /usr/lib/pokotanba/map.txt /usr/lib/pokotanba/music.mid \
         /usr/lib/pokotanba/BMP/hokou1.BMP /usr/lib/pokotanba/BMP/map_data.BMP \
         /usr/share/applications/pokotanba.desktop /usr/share/icons/hicolor/48x48/apps/pokotanba.png \
         /usr/share/icons/hicolor/256x256/apps/pokotanba.png /usr/share/man/man6/pokotanba.6.gz \
         /usr/share/doc/pokotanba/copyright /usr/share/doc/pokotanba/changelog.gz; do
  check "the game holds $f" grep -qx "$f" "$work/game.list"
done
check "the game lays nothing outside /usr/games/pokotanba, /usr/lib/pokotanba and /usr/share" \
  test -z "$(grep -vE '^/usr/(|games/|games/pokotanba|lib/|lib/pokotanba/.*|share/.*)$' "$work/game.list")"
for f in /usr/include/kr/system/krSystem.h /usr/include/kr/draw/krDraw.h /usr/include/kr/sound/krSound.h \
         /usr/include/kr/input/krJoystick.h "/usr/lib/$multiarch/libkr_engine.a" "/usr/lib/$multiarch/cmake/kr/krConfig.cmake" \
         "/usr/lib/$multiarch/pkgconfig/kr.pc" "/usr/lib/$multiarch/pkgconfig/kr-headless.pc" /usr/bin/imagepack \
         /usr/bin/soundpack /usr/include/kr/driver/script_driver.h "/usr/lib/$multiarch/libkr_driver.a" \
         /usr/include/kr/platform/text/cp932_literal.h /usr/share/doc/kr/html/index.html \
         /usr/share/man/man1/imagepack.1.gz /usr/share/man/man1/soundpack.1.gz /usr/share/doc/libkr-dev/copyright \
         /usr/share/doc/libkr-dev/changelog.gz; do
  check "the kit holds $f" grep -qx "$f" "$work/kit.list"
done
check "the kit holds no game" test -z "$(grep pokotanba "$work/kit.list")"

echo "-- the desktop entry"
unpacked="$work/root"
dpkg-deb -x "$game_deb" "$unpacked"
entry="$unpacked/usr/share/applications/pokotanba.desktop"
check "the menu shows ポコタンバ！" grep -qx "Name=ポコタンバ！" "$entry"
check "the entry starts pokotanba from the PATH" grep -qx "Exec=pokotanba" "$entry"
check "the entry names the installed icon" grep -qx "Icon=pokotanba" "$entry"
if command -v desktop-file-validate > /dev/null; then check "the entry validates" desktop-file-validate "$entry"; fi
check "the launcher is executable" test -x "$unpacked/usr/games/pokotanba"

echo "-- the unpacked game, headless, with an empty home"
home="$work/home"
cwd="$work/cwd"
mkdir -p "$home" "$cwd"
printf '2 RIGHT down\n40 RIGHT up\n50 C down\n52 C up\n' > "$home/input.txt"
chmod -R a-w "$unpacked"  # a system folder is read-only to players (root may still write: compared below)
list() { (cd "$1" && find . -printf '%p %s %m %T@\n' | sort); }
list "$unpacked" > "$work/root.before"
status=0
(cd "$cwd" && env -i PATH=/usr/bin:/bin HOME="$home" SDL_AUDIODRIVER=dummy \
   "$unpacked/usr/games/pokotanba" --headless --frames 120 --input "$home/input.txt" --trace "$home/trace.txt" \
   --screenshot "$home/shot.bmp" > "$work/run.log" 2>&1) || status=$?
check "the unpacked game ran to its end (status $status)" test "$status" -eq 0
check "it played 120 frames" test "$(wc -l < "$home/trace.txt")" -eq 120
first_x="$(awk 'NR == 1 {print $3}' "$home/trace.txt")"
last_x="$(awk 'END {print $3}' "$home/trace.txt")"
check "the player walked (the map beside the program was read): x $first_x -> $last_x" \
  awk -v a="$first_x" -v b="$last_x" 'BEGIN {exit !(b > a + 30)}'
check "the screenshot is an 800 x 600 picture" test "$(identify -format '%wx%h' "$home/shot.bmp" 2>/dev/null)" = 800x600
list "$unpacked" > "$work/root.after"
check "the unpacked root is unchanged" cmp "$work/root.before" "$work/root.after"
check "the working folder is untouched" test -z "$(ls -A "$cwd")"
outside="$(cd "$home" && find . -mindepth 1 ! -name input.txt ! -name trace.txt ! -name shot.bmp \
           ! -path './.local' ! -path './.local/share' ! -path './.local/share/pokotanba*')"
check "nothing else appeared in HOME: ${outside:-none}" test -z "$outside"
[ "$status" -eq 0 ] || cat "$work/run.log"

echo "-- the kit's pkg-config files point into wherever it is unpacked"
kit_root="$work/kit"
dpkg-deb -x "$kit_deb" "$kit_root"
cflags="$(PKG_CONFIG_PATH="$kit_root/usr/lib/$multiarch/pkgconfig" pkg-config --cflags kr-headless)"
include="$(grep -o -- '-I[^ ]*/include/kr' <<< "$cflags" | head -n 1)"
check "pkg-config kr-headless gives the unpacked include folder (${include:-none})" \
  test "$(cd "${include#-I}" 2>/dev/null && pwd)" = "$kit_root/usr/include/kr"

echo "-- lintian on both packages (no error)"
for deb in "$game_deb" "$kit_deb"; do
  name="$(basename "$deb" .deb)"
  lint_status=0
  lintian --fail-on error --tag-display-limit 0 "$deb" > "$build/packages/$name.lintian" 2>&1 || lint_status=$?
  check "lintian finds no error in $name (status $lint_status, see $build/packages/$name.lintian)" \
    test "$lint_status" -eq 0
  grep '^E: ' "$build/packages/$name.lintian" || true
done

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
