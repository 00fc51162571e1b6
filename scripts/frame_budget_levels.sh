#!/usr/bin/env bash
# The frame budget at every kernel level the processor has: one kr_bench
# run of the frame-budget members and their peers per level (AVX-512, AVX2,
# SSE2, chosen with KR_BENCH_LEVEL), each peer measured in its level's own
# run, then the table (standard output) and the chart drawn from all of them.
#
#   scripts/frame_budget_levels.sh [kr_bench] [output folder] [repetitions] [more kr_bench flags...]
#
# The medians of the repetitions are taken. Each pass takes some minutes
# (the game and text members set up for long); a shorter
# --benchmark_min_time among the flags shortens it.
# The chart needs python3-matplotlib (scripts/deps.sh --docs); without it
# only the table is printed.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bench="${1:-$root/build/release/kr_bench}"
out="${2:-$root/build/frame_budget}"
repetitions="${3:-3}"
shift $(($# < 3 ? $# : 3))
mkdir -p "$out"
filter="$(/usr/bin/python3 "$root/scripts/frame_budget.py" --filter)"
runs=()
for level in avx512 avx2 sse2; do
  json="$out/$level.json"
  # kr_bench stops with status 2 when the processor lacks the level.
  status=0
  KR_BENCH_LEVEL="$level" "$bench" --benchmark_filter="$filter" --benchmark_repetitions="$repetitions" \
    --benchmark_report_aggregates_only=true --benchmark_out="$json" --benchmark_out_format=json "$@" \
    > "$out/$level.txt" 2> "$out/$level.log" || status=$?
  if [ "$status" -eq 2 ]; then
    echo "frame_budget_levels: the processor lacks $level; no column for it" >&2
    continue
  fi
  [ "$status" -eq 0 ] || { cat "$out/$level.log" >&2; exit "$status"; }
  case "$level" in avx512) name=AVX-512 ;; avx2) name=AVX2 ;; *) name=SSE2 ;; esac
  runs+=("$name=$json")
done
chart=()
if /usr/bin/python3 -c 'import matplotlib' 2>/dev/null; then chart=(--chart "$out/frame_budget.png"); fi
[ ${#runs[@]} -gt 0 ] || { echo "frame_budget_levels: no level ran" >&2; exit 1; }
/usr/bin/python3 "$root/scripts/frame_budget.py" "${runs[@]}" --markdown - "${chart[@]}"
