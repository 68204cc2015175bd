#!/usr/bin/env bash
# Mutation testing of the library (list/ and the C++ header): every mutant
# against the default preset's tests, then the survivors again under
# AddressSanitizer and UBSan, where a leak or an out-of-bounds read kills a
# mutant the default run cannot see. Writes docs/mutation-figures.md from the
# two reports and the survivors' classification (tests/mutation-survivors.json).
# Not part of .ci/run: about an hour on two cores. Needs the mutation tool,
# MUTATE (default ../shared/tools/mutate.py).
#
# The files are shared out among MUTATION_JOBS runs of the tool (default 2,
# one per core), each with a work copy of its own; their reports are merged.
#
# Usage: .ci/mutation.sh [--files FILE...]   (default: the tool's own choice)
set -euo pipefail
cd "$(dirname "$0")/.."

tool=${MUTATE:-../shared/tools/mutate.py}
jobs=${MUTATION_JOBS:-2}
reports=build/mutation
work=/tmp/slot-list-mutation
mkdir -p "$reports"
files=()
if [[ ${1:-} == --files ]]; then
  shift
  files=("$@")
fi

# Every file with its number of mutants, from the tool's own list, shared out
# greedily, largest first, so that the runs take about as long as each other.
# A header's mutant rebuilds every test that includes it, about three times
# as long as a source file's.
listing=$(python3 "$tool" ${files[@]+--files "${files[@]}"} --list)
mapfile -t groups < <(python3 -c '
import collections, sys
jobs = int(sys.argv[1])
counts = collections.Counter(line.split()[1].rsplit(":", 2)[0]
                             for line in sys.stdin
                             if len(line.split()) > 2 and ":" in line.split()[1])
groups = [[0, []] for _ in range(jobs)]
weights = {name: count * (3 if name.endswith((".h", ".hpp")) else 1)
           for name, count in counts.items()}
for name in sorted(weights, key=weights.get, reverse=True):
    group = min(groups, key=lambda g: g[0])
    group[0] += weights[name]
    group[1].append(name)
for _, names in groups:
    print(" ".join(names))
' "$jobs" <<<"$listing")

targets="slot_list_tests slot_list_cpp_tests slot_list_fuzz_replay"
# The library's tests (label "library") through ctest, as CI runs them: each
# suite in a process of its own (a lock that behaves differently once the
# process has had a thread is seen both ways: most suites start none, and the
# lock's suite starts its first while holding a list's lock) and with the
# environment CI gives it.
# A mutant is judged by ctest's exit status (--keep-going): the tool's early
# stop would take the 32-bit size test, skipped at 64 bits, for a failure.
tests() {
  echo "ctest --test-dir $1 -L library -j1 --timeout 10 --output-on-failure"
}

# Runs every group's mutants of one preset, each group in the background, and
# merges the reports into $reports/$preset.json. With ids, only those mutants.
sweep() {
  local preset=$1 timeout=$2 env=$3
  shift 3
  local pids=() g
  for g in "${!groups[@]}"; do
    [[ -n ${groups[$g]} ]] || continue
    # shellcheck disable=SC2086
    python3 "$tool" --files ${groups[$g]} --work "$work/$preset-$g" --fresh \
      --setup "cmake --preset $preset" --build-dir "build/$preset" \
      --build "cmake --build build/$preset --target $targets" \
      --test "$env $(tests "build/$preset")" --test-timeout "$timeout" --keep-going \
      --report "$reports/$preset-$g" "$@" >"$reports/$preset-$g.log" 2>&1 &
    pids+=($!)
  done
  local status=0 pid
  for pid in "${pids[@]}"; do
    wait "$pid" || status=1
  done
  python3 - "$reports/$preset.json" "$reports/$preset"-*.json <<'EOF'
import json, sys
merged = {}
for path in sys.argv[2:]:
    merged.update(json.load(open(path))["results"])
json.dump({"results": merged}, open(sys.argv[1], "w"), indent=1)
EOF
  tail -n 3 "$reports/$preset"-*.log
  return $status
}

# A whole test run takes about 2 s; a test that a mutant makes loop forever is
# stopped after 10 s (the whole run after 20 s), and the mutant counts as killed.
echo "== default preset, every mutant (${#groups[@]} runs side by side)"
rm -f "$reports"/default-*.json "$reports"/asan-*.json
sweep default 20 ""

survivors=$(python3 -c '
import json, sys
results = json.load(open(sys.argv[1]))["results"]
print(" ".join(k for k, m in results.items() if m["status"] == "survived"))
' "$reports/default.json")

echo "== asan preset, the default run's survivors"
if [[ -n $survivors ]]; then
  # shellcheck disable=SC2086
  sweep asan 120 "ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=halt_on_error=1" \
    --ids $survivors
else
  echo '{"results": {}}' >"$reports/asan.json"
fi

python3 .ci/mutation-figures.py "$reports/default.json" "$reports/asan.json" \
  tests/mutation-survivors.json docs/mutation-figures.md
cat docs/mutation-figures.md
