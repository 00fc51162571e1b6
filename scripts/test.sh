#!/usr/bin/env bash
# Builds and runs the whole test suite twice: a release build (with the
# benchmarks compiled) and an address + undefined-behaviour sanitizer build.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bash "$root/scripts/deps.sh" --test
jobs="$(nproc)"

export LSAN_OPTIONS="suppressions=$root/scripts/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"

echo "== release build =="
cmake -S "$root" -B "$root/build/release" -DCMAKE_BUILD_TYPE=Release -DKR_BENCH=ON
cmake --build "$root/build/release" -j"$jobs"
ctest --test-dir "$root/build/release" -j"$jobs" --output-on-failure --timeout 300

echo "== sanitizer build =="
cmake -S "$root" -B "$root/build/sanitize" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKR_SANITIZE=ON -DKR_BENCH=OFF
cmake --build "$root/build/sanitize" -j"$jobs"
ctest --test-dir "$root/build/sanitize" -j"$jobs" --output-on-failure --timeout 600

echo "All tests passed in both builds."
