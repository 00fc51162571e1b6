#!/usr/bin/env bash
# Builds the game and starts it in a window, from its run folder.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bash "$root/scripts/deps.sh"
cmake -S "$root" -B "$root/build/release" -DCMAKE_BUILD_TYPE=Release -DKR_BENCH=OFF
cmake --build "$root/build/release" -j"$(nproc)" --target pokotanba game_assets
cd "$root/build/release/run"
exec ./pokotanba "$@"
