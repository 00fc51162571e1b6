#!/usr/bin/env bash
# Runs every harness in fuzz/ for the given number of seconds (default 600,
# a deep run; the test command runs them briefly), seeded from
# fuzz/corpus/<name>/ when that exists and from what earlier runs found in
# build/fuzz/corpus/<name>/. fuzz/<name>.options may hold extra libFuzzer
# flags for one harness, and fuzz/<name>.dict its format's keywords.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-600}"
case "$seconds" in
  ''|*[!0-9]*) echo "fuzz.sh: seconds must be a whole number, not '$seconds'" >&2; exit 2 ;;
esac
bash "$root/scripts/deps.sh" --test
jobs="$(nproc)"

CXX=clang++ cmake -S "$root" -B "$root/build/fuzz" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKR_FUZZ=ON -DKR_BENCH=OFF
for source in "$root"/fuzz/*.cpp; do
  name="$(basename "$source" .cpp)"
  cmake --build "$root/build/fuzz" -j"$jobs" --target "$name"
  corpus="$root/build/fuzz/corpus/$name"
  mkdir -p "$corpus"
  seeds=()
  if [ -d "$root/fuzz/corpus/$name" ]; then seeds=("$root/fuzz/corpus/$name"); fi
  options=()
  if [ -f "$root/fuzz/$name.options" ]; then read -r -a options < "$root/fuzz/$name.options"; fi
  if [ -f "$root/fuzz/$name.dict" ]; then options+=("-dict=$root/fuzz/$name.dict"); fi
  echo "-- $name"
  log="$root/build/fuzz/$name.log"
  status=0
  (cd "$root/build/fuzz" && "./$name" "$corpus" "${seeds[@]}" -max_total_time="$seconds" -timeout=10 \
      -print_final_stats=1 "${options[@]}" > "$log" 2>&1) || status=$?
  grep -E "^stat::(number_of_executed_units|new_units_added|peak_rss_mb)" "$log" || true
  if [ "$status" -ne 0 ]; then
    echo "$name found a failing input (the input is saved in build/fuzz/):"
    tail -n 40 "$log"
    exit 1
  fi
done
