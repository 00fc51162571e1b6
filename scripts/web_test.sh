#!/usr/bin/env bash
# The web stage: builds for the web (scripts/web.sh), runs the unit-test
# program under Node.js through ctest (the emulator emcmake sets), then the
# pages in Debian's Chromium, headless, driven by playwright-core from the
# npm registry (cached beside the web libraries). Prints the time of each part.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bash "$root/scripts/deps.sh" --web-test
cache="${KR_CACHE:-$HOME/.cache/kr}"
jobs="$(nproc)"

part() { echo "-- $1: $(( $(date +%s) - $2 )) s"; }

t=$(date +%s)
bash "$root/scripts/web.sh"
part "web build (libraries from an empty cache included)" "$t"

t=$(date +%s)
ctest --test-dir "$root/build/web" -j"$jobs" --output-on-failure --timeout 600
part "unit tests under Node.js" "$t"

t=$(date +%s)
driver="$cache/web-driver"
if [ ! -d "$driver/node_modules/playwright-core" ]; then
  mkdir -p "$driver"
  npm install --prefix "$driver" --no-audit --no-fund playwright-core@1 >/dev/null
fi
KR_WEB_DRIVER="$driver" node "$root/web/tests/page_test.mjs" "$root/build/web/site"
part "pages in Chromium" "$t"
