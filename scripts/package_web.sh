#!/usr/bin/env bash
# Makes pokotanba-web.zip: the game's and the showcase's pages as a folder
# that any static file server serves (index.html at the top), from the web
# build (scripts/web.sh), left in build/web/packages/.
#
#   bash scripts/package_web.sh [WEB BUILD]     (build/web by default)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build/web}"
KR_WEB_BUILD="$build" bash "$root/scripts/web.sh" --target pokotanba krshowcase >/dev/null
mkdir -p "$build/packages"
rm -f "$build/packages/pokotanba-web.zip"
staging="$(mktemp -d)"
trap 'rm -rf "$staging"' EXIT
cp -r "$build/site" "$staging/pokotanba-web"
(cd "$staging" && python3 -m zipfile -c "$build/packages/pokotanba-web.zip" pokotanba-web)
ls "$build/packages/pokotanba-web.zip"
