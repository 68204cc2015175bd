#!/usr/bin/env bash
# Reliability checks: the out-of-memory sweep's totals, resident memory after
# the lists are destroyed, fork() beside threads using lists, the test suite under
# AddressSanitizer with UBSan, under ThreadSanitizer and under Valgrind memcheck
# (the demo too), line and branch coverage of list/, and a bounded run of the
# differential fuzzer. .ci/figures.py writes docs/reliability-figures.md from
# what they printed. Takes about 12 minutes on two cores.
set -euo pipefail
cd "$(dirname "$0")/.."

FUZZ_SECONDS=${FUZZ_SECONDS:-180}
logs=build/reliability
rm -rf "$logs"
mkdir -p "$logs"

echo "== out-of-memory sweep totals (default preset)"
cmake --preset default >/dev/null
cmake --build --preset default
./build/default/tests/slot_list_tests --gtest_brief=1 --gtest_filter='Operations/OomSweep.*' \
  >"$logs/sweep.log"

echo "== resident memory once every list is destroyed, against the realloc twin"
./build/default/bench/slot_list_residency --check | tee "$logs/residency.log"

echo "== fork() beside threads churning lists"
./build/default/tests/slot_list_fork_check | tee "$logs/fork.log"

for preset in asan tsan valgrind; do
  echo "== $preset"
  cmake --workflow --preset "$preset" 2>&1 | tee "$logs/$preset.log"
done

demo=build/valgrind/demo/slot_list_demo
# The demo ends by asking for a key; give it an empty input.
valgrind --leak-check=full --error-exitcode=1 --quiet "$demo" </dev/null >/dev/null
echo "the demo: no report" | tee "$logs/valgrind-demo.log"

echo "== coverage of list/"
rm -rf build/coverage/profiles
cmake --workflow --preset coverage

echo "== differential fuzzing, ${FUZZ_SECONDS} s"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
rm -rf build/fuzz/corpus
mkdir -p build/fuzz/corpus
# New inputs go to build/fuzz/corpus; the committed corpus is only read.
if ! ./build/fuzz/fuzz/slot_list_fuzz -max_total_time="${FUZZ_SECONDS}" -timeout=10 \
  -print_final_stats=1 build/fuzz/corpus fuzz/corpus >"$logs/fuzz.log" 2>&1; then
  # All of it: a crash's stack trace and the input that caused it are at the end
  # of a long log.
  cat "$logs/fuzz.log"
  exit 1
fi
python3 .ci/figures.py reliability "$logs" build/coverage docs/reliability-figures.md
cat docs/reliability-figures.md
