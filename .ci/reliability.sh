#!/usr/bin/env bash
# Reliability checks: the out-of-memory sweep's totals, resident memory after
# the lists are destroyed, fork() beside threads using lists, the test suite
# under AddressSanitizer with UBSan, under Valgrind memcheck (the default
# build, the demo too) and under ThreadSanitizer, line and branch coverage of
# list/ by every test of CI's Clang build, and a bounded run of the
# differential fuzzer. .ci/figures.py writes docs/reliability-figures.md from
# what they printed.
#
# The fuzzer has one core to itself: Valgrind, ThreadSanitizer and the coverage
# build run beside it on the other, one job at a time.
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

echo "== asan"
cmake --workflow --preset asan 2>&1 | tee "$logs/asan.log"

echo "== differential fuzzing, ${FUZZ_SECONDS} s, beside Valgrind, tsan and coverage"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
rm -rf build/fuzz/corpus
mkdir -p build/fuzz/corpus
# New inputs go to build/fuzz/corpus; the committed corpus is only read.
./build/fuzz/fuzz/slot_list_fuzz -max_total_time="${FUZZ_SECONDS}" -timeout=10 \
  -print_final_stats=1 build/fuzz/corpus fuzz/corpus >"$logs/fuzz.log" 2>&1 &
fuzzer=$!
trap 'kill "$fuzzer" 2>/dev/null || true' EXIT

echo "== valgrind: every test of the default build under Valgrind memcheck"
# The two tests that run CMake, not a program of the build, stay out.
if ! ctest --test-dir build/default -T memcheck --timeout 600 -E 'readme|bytewise' \
  --overwrite MemoryCheckCommand="$(command -v valgrind)" \
  --overwrite 'MemoryCheckCommandOptions=--leak-check=full --error-exitcode=1' \
  >"$logs/valgrind.log" 2>&1; then
  cat "$logs/valgrind.log" build/default/Testing/Temporary/MemoryChecker.*.log
  exit 1
fi
cat "$logs/valgrind.log"
# The demo ends by asking for a key; give it an empty input.
valgrind --leak-check=full --error-exitcode=1 --quiet build/default/demo/slot_list_demo \
  </dev/null >/dev/null
echo "the demo: no report" | tee "$logs/valgrind-demo.log"

echo "== tsan"
CMAKE_BUILD_PARALLEL_LEVEL=1 cmake --workflow --preset tsan 2>&1 | tee "$logs/tsan.log"

echo "== coverage of list/, by every test of the Clang build"
rm -rf build/coverage/profiles
CMAKE_BUILD_PARALLEL_LEVEL=1 cmake --workflow --preset coverage

echo "== waiting for the fuzzer"
status=0
wait "$fuzzer" || status=$?
trap - EXIT
if ((status != 0)); then
  # All of it: a crash's stack trace and the input that caused it are at the end
  # of a long log.
  cat "$logs/fuzz.log"
  exit 1
fi

python3 .ci/figures.py reliability "$logs" build/coverage docs/reliability-figures.md
cat docs/reliability-figures.md
