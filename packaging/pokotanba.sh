#!/bin/sh
# pokotanba: starts the installed game, found beside this launcher as
# ../lib/pokotanba (so an unpacked package runs wherever it lies).
#
#   pokotanba                   the game in a window
#   pokotanba --headless ARGS   the same game without a window, driven by an
#                               input script (ARGS as pokotanba-replay's)
#
# The game reads its pictures and map beside itself and writes its settings,
# screenshots and log under $XDG_DATA_HOME/pokotanba (~/.local/share/pokotanba).
set -e
here="$(dirname "$(readlink -f "$0")")"
game="$here/../lib/pokotanba"
if [ "${1:-}" = "--headless" ]; then
  shift
  exec "$game/pokotanba-replay" "$@"
fi
exec "$game/pokotanba" "$@"
