#!/usr/bin/env bash
# Builds the benchmarks against every peer and runs each one once at the
# smallest size, so that they keep working. Timings are never checked.
set -euo pipefail
cd "$(dirname "$0")/.."


cmake --preset default
cmake --build --preset default --target slot_list_bench
bench=build/default/bench/slot_list_bench

# Every peer must be in the build CI makes.
listing=$("$bench" --benchmark_list_tests 2>&1)
grep -qx 'peers left out: none' <<<"$listing"
for peer in vector garray utarray; do
  grep -q "^append/$peer/" <<<"$listing"
done

# Each benchmark once, at n = 1000: one short pass over every operation.
"$bench" --benchmark_filter='/1000$' --benchmark_min_time=0.0001 \
  --benchmark_format=json --benchmark_out=build/bench-smoke.json >/dev/null

# Under set -e a negated command never stops the script, so test explicitly.
if grep -q '"error_occurred": true' build/bench-smoke.json; then
  echo "a benchmark reported an error" >&2
  exit 1
fi

# The report script reads that output and draws its plots without rerunning.
./bench/report --json build/bench-smoke.json --docs build/bench-smoke-docs >/dev/null
test -s build/bench-smoke-docs/performance.md
test -s build/bench-smoke-docs/append.png
