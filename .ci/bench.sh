#!/usr/bin/env bash
# Builds every benchmark against every peer and runs each once at its smallest
# size, so that they keep working, then writes the performance page from that
# output into build/ (with callgrind's counts over small runs). Timings are
# never checked.
set -euo pipefail
cd "$(dirname "$0")/.."

cmake --preset default
cmake --build --preset default --target slot_list_bench slot_list_cost
bench=build/default/bench/slot_list_bench

# Every peer must be in the build CI makes.
"$bench" --benchmark_list_tests 2>build/bench-smoke-peers.txt >/dev/null
grep -qx 'peers left out: none' build/bench-smoke-peers.txt

# Each benchmark once, at its smallest size.
"$bench" --benchmark_filter='/1000$|^turns.*/(10000|20000|40000)$' --benchmark_min_time=0.0001 \
  --benchmark_format=json --benchmark_out=build/bench-smoke.json >/dev/null
build/default/bench/slot_list_cost turns
for how in at key; do
  build/default/bench/slot_list_cost delete "$how" last 2000 >/dev/null
done

# The page from that output: it stops on a benchmark's error or a row without
# page faults, and on a callgrind count of nothing.
python3 bench/performance.py --json build/bench-smoke.json --callgrind-n 2000 \
  --out build/bench-smoke-performance.md
for section in append append-bulk append-fresh turns-2 walk 'Instructions per element'; do
  grep -qx "## $section" build/bench-smoke-performance.md
done
