#!/usr/bin/env bash
# Builds the game and starts it in a window, from its run folder. Also builds
# what the README's sections after the set-up run from that folder: the
# headless replay, the music, the window icon and the pack tools.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bash "$root/scripts/deps.sh"
cmake -S "$root" -B "$root/build/release" -DCMAKE_BUILD_TYPE=Release -DKR_BENCH=OFF
cmake --build "$root/build/release" -j"$(nproc)" --target pokotanba pokotanba-replay game_assets game_music game_icon \
  imagepack soundpack
cd "$root/build/release/run"
exec ./pokotanba "$@"
