#!/usr/bin/env bash
# Mutation testing of the library (list/ and the C++ header): every mutant
# against the default preset's tests, then the survivors again under
# AddressSanitizer and UBSan, where a leak or an out-of-bounds read kills a
# mutant the default run cannot see. Writes docs/mutation-figures.md from the
# two reports and the survivors' classification (tests/mutation-survivors.json).
# Not part of .ci/run: about an hour on two cores. Needs the mutation tool,
# MUTATE (default ../shared/tools/mutate.py).
#
# Usage: .ci/mutation.sh [--files FILE...]   (default: the tool's own choice)
set -euo pipefail
cd "$(dirname "$0")/.."

tool=${MUTATE:-../shared/tools/mutate.py}
reports=build/mutation
mkdir -p "$reports"
files=()
if [[ ${1:-} == --files ]]; then
  shift
  files=(--files "$@")
fi

targets="slot_list_tests slot_list_cpp_tests slot_list_fuzz_replay"
# The library's tests (label "library") through ctest, as CI runs them: each
# test in a process of its own (a lock that behaves differently once the
# process has threads is seen both ways) and with the environment CI gives it.
# A mutant is judged by ctest's exit status (--keep-going): the tool's early
# stop would take the 32-bit size test, skipped at 64 bits, for a failure.
tests() {
  echo "ctest --test-dir $1 -L library -j2 --timeout 10 --output-on-failure"
}

# A whole test run takes about 2 s; a test that a mutant makes loop forever is
# stopped after 10 s (the whole run after 15 s), and the mutant counts as killed.
echo "== default preset, every mutant"
python3 "$tool" "${files[@]}" --work /tmp/slot-list-mutation/default --fresh \
  --setup "cmake --preset default" --build-dir build/default \
  --build "cmake --build build/default --target $targets" \
  --test "$(tests build/default)" --test-timeout 15 --keep-going --report "$reports/default"

survivors=$(python3 -c '
import json, sys
results = json.load(open(sys.argv[1]))["results"]
print(" ".join(k for k, m in results.items() if m["status"] == "survived"))
' "$reports/default.json")

echo "== asan preset, the default run's survivors"
if [[ -n $survivors ]]; then
  # shellcheck disable=SC2086
  python3 "$tool" "${files[@]}" --work /tmp/slot-list-mutation/asan --fresh \
    --setup "cmake --preset asan" --build-dir build/asan \
    --build "cmake --build build/asan --target $targets" \
    --test "ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=halt_on_error=1 $(tests build/asan)" \
    --test-timeout 120 --keep-going --report "$reports/asan" --ids $survivors
else
  echo '{"results": {}}' >"$reports/asan.json"
fi

python3 .ci/mutation-figures.py "$reports/default.json" "$reports/asan.json" \
  tests/mutation-survivors.json docs/mutation-figures.md
cat docs/mutation-figures.md
