#!/usr/bin/env bash
# Builds the benchmarks against every peer and runs each one once at the
# smallest size, so that they keep working, then counts the instructions of
# one append with callgrind on the current tree. Timings are never checked.
set -euo pipefail
cd "$(dirname "$0")/.."


cmake --preset default
cmake --build --preset default --target slot_list_bench slot_list_turns slot_list_insert_cost \
  slot_list_delete_cost
bench=build/default/bench/slot_list_bench

# Every peer must be in the build CI makes, with every kind of append.
listing=$("$bench" --benchmark_list_tests 2>&1)
grep -qx 'peers left out: none' <<<"$listing"
for peer in vector garray utarray; do
  for operation in append append-fresh append-bulk turns-2 turns-2-fresh; do
    if ! grep -q "^$operation/$peer/" <<<"$listing"; then
      echo "bench: no $operation benchmark for $peer" >&2
      exit 1
    fi
  done
done

# Each benchmark once, at its smallest size: one short pass over every
# operation.
"$bench" --benchmark_filter='/1000$|^turns.*/(10000|20000|40000)$' --benchmark_min_time=0.0001 \
  --benchmark_format=json --benchmark_out=build/bench-smoke.json >/dev/null
if grep -q '"error_occurred": true' build/bench-smoke.json; then
  echo "bench: a benchmark reported an error" >&2
  exit 1
fi
# Every row of the report states its page faults: each benchmark must count them.
python3 - build/bench-smoke.json <<'EOF'
import json
import sys

runs = json.load(open(sys.argv[1]))["benchmarks"]
silent = [run["name"] for run in runs if "faults" not in run]
if not runs or silent:
    sys.exit("bench: no faults counted by %s" % (", ".join(silent) or "any benchmark"))
EOF
build/default/bench/slot_list_turns
# One deletion by position and one by key, which the driver checks itself.
for how in at key; do
  build/default/bench/slot_list_delete_cost "$how" last 2000 >/dev/null
done

# Instructions per append, current tree only (the baseline's build is left
# to bench/report).
bench/callgrind-insert --driver build/default/bench/slot_list_insert_cost --n 2000 \
  --out build/bench-smoke-insert-cost.json >/dev/null

# The report script reads both outputs and draws its plots without rerunning.
./bench/report --json build/bench-smoke.json --insert-cost build/bench-smoke-insert-cost.json \
  --docs build/bench-smoke-docs >/dev/null
test -s build/bench-smoke-docs/performance.md
test -s build/bench-smoke-docs/append.png
test -s build/bench-smoke-docs/append-bulk.png
grep -q '^## Instructions per append' build/bench-smoke-docs/performance.md
