#!/usr/bin/env bash
# Builds and runs the whole test suite twice: a release build (with the
# benchmarks compiled) and an address + undefined-behaviour sanitizer build,
# which also plays the game and the showcase for an hour of virtual time
# each (the tests labelled "endurance"). A thread sanitizer build then runs
# the tests of audio, music and the SDL edge.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bash "$root/scripts/deps.sh" --test
jobs="$(nproc)"

export LSAN_OPTIONS="suppressions=$root/scripts/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"

echo "== release build =="
cmake -S "$root" -B "$root/build/release" -DCMAKE_BUILD_TYPE=Release -DKR_BENCH=ON
cmake --build "$root/build/release" -j"$jobs"
ctest --test-dir "$root/build/release" -j"$jobs" --output-on-failure --timeout 300 --label-exclude endurance

echo "== the kit: reference, install, the starter built outside the tree, its golden frames =="
bash "$root/scripts/kit_test.sh" "$root/build/release"

echo "== the packages: made from the release build, their contents, the unpacked game run with an empty home =="
bash "$root/scripts/package_test.sh" "$root/build/release"

echo "== Windows: the cross build, its unit tests and golden frames under Wine, the window, the zip =="
bash "$root/scripts/windows_test.sh" "$root/build/release"

echo "== benchmarks (a short pass; each peer runs beside ours) =="
"$root/build/release/kr_bench" --benchmark_min_time=0.05

echo "== sanitizer build =="
cmake -S "$root" -B "$root/build/sanitize" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKR_SANITIZE=ON -DKR_BENCH=OFF
cmake --build "$root/build/sanitize" -j"$jobs"
ctest --test-dir "$root/build/sanitize" -j"$jobs" --output-on-failure --timeout 600

echo "== thread sanitizer: audio, music and the SDL edge =="
# SDL's dummy audio driver pulls the mixer on a real thread of its own. Any
# report fails its test at once; scripts/tsan.supp silences only reports
# inside libraries we do not build ourselves.
cmake -S "$root" -B "$root/build/tsan" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKR_TSAN=ON -DKR_BENCH=OFF
cmake --build "$root/build/tsan" -j"$jobs" --target kr_tests
tsan_suites="MixerTest|WavWriterTest|AudioThreadsTest|Midi[A-Za-z]*|Sound[A-Za-z]*|GoldenSound|Sdl[A-Za-z]*"
tsan_suites+="|XvfbSmokeTest|NoDisplaySmokeTest"
TSAN_OPTIONS="halt_on_error=1:exitcode=66:second_deadlock_stack=1:suppressions=$root/scripts/tsan.supp" \
  ctest --test-dir "$root/build/tsan" -j"$jobs" --output-on-failure --timeout 600 \
        --tests-regex "^([A-Za-z]+/)?($tsan_suites)\\."

echo "== fuzzers: 60 seconds each =="
# Every harness in fuzz/, seeded from fuzz/corpus/<name>/ when that exists;
# fuzz/<name>.options may hold extra libFuzzer flags for one harness, and
# fuzz/<name>.dict its format's keywords.
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
  (cd "$root/build/fuzz" && "./$name" "$corpus" "${seeds[@]}" -max_total_time=60 -timeout=10 \
      -print_final_stats=1 "${options[@]}" > "$log" 2>&1) || status=$?
  grep -E "^stat::(number_of_executed_units|new_units_added|peak_rss_mb)" "$log" || true
  if [ "$status" -ne 0 ]; then
    echo "$name found a failing input (the input is saved in build/fuzz/):"
    tail -n 40 "$log"
    exit 1
  fi
done

echo "All tests passed in every build, and the fuzzers found nothing."
