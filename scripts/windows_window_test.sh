#!/usr/bin/env bash
# The Windows game in a real window under Wine and Xvfb: it opens its
# window, a second copy started beside it is refused (ends at once with
# status 0), and Escape ends the first with status 0.
#
#   bash scripts/windows_window_test.sh [WINDOWS-BUILD]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build/windows}"
export WINEDEBUG="${WINEDEBUG:--all}"
display=":$((90 + RANDOM % 9))"
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp > /dev/null 2>&1 &
xvfb=$!
game=""
cleanup() {
  [ -n "$game" ] && kill "$game" 2> /dev/null || true
  kill "$xvfb" 2> /dev/null || true
}
trap cleanup EXIT
export DISPLAY="$display"
sleep 2

work="$(mktemp -d)"
cp "$build/run/map.txt" "$work/"
(cd "$work" && exec "$root/cmake/toolchains/wine-run.sh" "$build/run/pokotanba.exe") > "$work/first.txt" 2>&1 &
game=$!
window=""
for _ in $(seq 1 60); do
  window="$(xdotool search --name 'ポコタンバ' 2> /dev/null | head -n 1 || true)"
  [ -n "$window" ] && break
  sleep 1
done
[ -n "$window" ] || { cat "$work/first.txt"; echo "the game opened no window"; exit 1; }
echo "the game opened its window"
sleep 2

# A second copy is refused while the first runs.
second=0
(cd "$work" && timeout 60 "$root/cmake/toolchains/wine-run.sh" "$build/run/pokotanba.exe") > "$work/second.txt" 2>&1 || second=$?
[ "$second" -eq 0 ] || { cat "$work/second.txt"; echo "the second copy ended with status $second"; exit 1; }
kill -0 "$game" 2> /dev/null || { echo "the first copy ended when the second started"; exit 1; }
echo "a second copy was refused"

xdotool windowactivate --sync "$window" 2> /dev/null || xdotool windowfocus "$window" 2> /dev/null || true
xdotool key --window "$window" Escape
status=0
for _ in $(seq 1 30); do
  kill -0 "$game" 2> /dev/null || break
  sleep 1
done
if kill -0 "$game" 2> /dev/null; then echo "Escape did not end the game"; exit 1; fi
wait "$game" || status=$?
game=""
[ "$status" -eq 0 ] || { cat "$work/first.txt"; echo "the game ended with status $status"; exit 1; }
echo "Escape ended the game with status 0"
rm -rf "$work"
