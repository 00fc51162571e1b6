#!/usr/bin/env bash
# Builds the showcase and starts it in a window, from the run folder.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bash "$root/scripts/deps.sh"
cmake -S "$root" -B "$root/build/release" -DCMAKE_BUILD_TYPE=Release -DKR_BENCH=OFF
cmake --build "$root/build/release" -j"$(nproc)" --target krshowcase krshowcase-headless showcase_assets
cd "$root/build/release/run"
exec ./krshowcase "$@"
