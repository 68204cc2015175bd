#!/usr/bin/env bash
# Mutation testing of list/: every mutant against the library's tests (ctest
# label "library", as CI runs them) with the default preset, then the
# survivors again with the asan and the tsan presets; writes
# docs/mutation-figures.md. By hand only: one to two hours on two cores, the
# files shared between two runs of the tool side by side.
#
# Usage: .ci/mutation.sh [FILE...]   (default: the tool's choice, list/)
# MUTATE names the tool (default ../shared/tools/mutate.py).
set -euo pipefail
shopt -s nullglob
cd "$(dirname "$0")/.."
tool=${MUTATE:-../shared/tools/mutate.py}
out=build/mutation
rm -rf "$out" && mkdir -p "$out"
files=("$@")
if ((${#files[@]} == 0)); then # largest first, so that the halves take about as long
  mapfile -t files < <(python3 "$tool" --list | tail -n 1 | grep -o 'list/[^ ]* [0-9]*' |
    sort -k 2 -rn | cut -d ' ' -f 1)
fi

# One run of the tool per half of the files, side by side: preset, seconds
# before a test run counts as hung (a third of it for one test), environment,
# then the tool's own options.
# A mutant is judged by ctest's exit status (--keep-going): the tool's early
# stop would take a test skipped at 64 bits for a failure.
sweep() {
  local preset=$1 timeout=$2 env=$3 pids=() half i
  shift 3
  for half in 0 1; do
    local mine=()
    for i in "${!files[@]}"; do
      if ((i % 2 == half)); then mine+=("${files[$i]}"); fi
    done
    ((${#mine[@]})) || continue
    python3 "$tool" --files "${mine[@]}" --work "/tmp/slot-list-mutation/$preset-$half" --fresh \
      --setup "cmake --preset $preset" --build-dir "build/$preset" \
      --build "cmake --build build/$preset --target slot_list_tests slot_list_cpp_tests slot_list_single_thread_check slot_list_fuzz_replay" \
      --test "$env ctest --test-dir build/$preset -L library -j1 --timeout $((timeout / 3)) --output-on-failure" \
      --test-timeout "$timeout" --keep-going --classify tests/mutation-survivors.json \
      --report "$out/$preset-$half" "$@" >"$out/$preset-$half.log" 2>&1 &
    pids+=($!)
  done
  for i in "${pids[@]}"; do wait "$i"; done
}

survivors() {
  python3 -c 'import json, sys; print(*[k for p in sys.argv[1:] for k, m in
    json.load(open(p))["results"].items() if m["status"] == "survived"])' "$@"
}
sweep default 15 ""
# The survivors again where a leak or a read out of bounds shows, then where a
# lock used wrongly does.
ids=$(survivors "$out"/default-*.json)
if [[ -n $ids ]]; then
  # shellcheck disable=SC2086
  sweep asan 120 "ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=halt_on_error=1" \
    --ids $ids
  ids=$(survivors "$out"/asan-*.json)
fi
if [[ -n $ids ]]; then
  # shellcheck disable=SC2086
  sweep tsan 300 "TSAN_OPTIONS=halt_on_error=1" --ids $ids
fi
python3 .ci/figures.py mutation docs/mutation-figures.md "$out"/*.json
cat docs/mutation-figures.md
