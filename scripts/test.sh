#!/usr/bin/env bash
# Builds and runs the whole test suite twice: a release build (with the
# benchmarks compiled) and an address + undefined-behaviour sanitizer build,
# which also plays the game and the showcase for an hour of virtual time
# each (the tests labelled "endurance"). A thread sanitizer build then runs
# the tests of audio, music and the SDL edge, and every fuzzer runs briefly.
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

echo "== the portable kernel level (what the web and other processors run): the unit tests once more =="
KR_KERNEL_LEVEL=portable ctest --test-dir "$root/build/release" -j"$jobs" --output-on-failure --timeout 300 --label-exclude endurance

echo "== the kit: reference, install, the starter built outside the tree, its golden frames =="
bash "$root/scripts/kit_test.sh" "$root/build/release"

echo "== Japanese text built with clang: the game's and the showcase's frames equal the g++ ones =="
bash "$root/scripts/clang_test.sh" "$root/build/release"

echo "== the packages: made from the release build, their contents, the unpacked game run with an empty home =="
bash "$root/scripts/package_test.sh" "$root/build/release"

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

echo "== fuzzers: 20 seconds each (bash scripts/fuzz.sh runs them deep) =="
bash "$root/scripts/fuzz.sh" 20

echo "All tests passed in every build, and the fuzzers found nothing."
