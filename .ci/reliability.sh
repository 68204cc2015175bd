#!/usr/bin/env bash
# Reliability checks: the test suite under ThreadSanitizer and under Valgrind
# memcheck (the demo too, when it is built), line and branch coverage of list/,
# and a bounded run of the differential fuzzer. The AddressSanitizer preset runs
# from .ci/run itself. Takes about 8 minutes on two cores.
set -euo pipefail
cd "$(dirname "$0")/.."


FUZZ_SECONDS=${FUZZ_SECONDS:-180}

echo "== out-of-memory sweep totals (default preset)"
cmake --preset default >/dev/null
cmake --build --preset default
./build/default/tests/slot_list_tests --gtest_brief=1 --gtest_filter='Operations/OomSweep.*' |
  grep -E 'sweep|PASSED|FAILED'

echo "== ThreadSanitizer"
cmake --workflow --preset tsan

echo "== Valgrind memcheck"
cmake --workflow --preset valgrind
demo=$(find build/valgrind -type f -name slot_list_demo -perm -u+x | head -n 1)
if [[ -n "$demo" ]]; then
  # The demo ends by asking for a key; give it an empty input.
  valgrind --leak-check=full --error-exitcode=1 --quiet "$demo" </dev/null >/dev/null
  echo "demo under valgrind: no report"
else
  echo "no slot_list_demo target in this tree; demo not run"
fi

echo "== coverage of list/"
rm -rf build/coverage/profiles
cmake --workflow --preset coverage

echo "== differential fuzzing, ${FUZZ_SECONDS} s"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
rm -rf build/fuzz/corpus
mkdir -p build/fuzz/corpus
# New inputs go to build/fuzz/corpus; the committed corpus is only read.
./build/fuzz/fuzz/slot_list_fuzz -max_total_time="${FUZZ_SECONDS}" -timeout=10 \
  -print_final_stats=1 build/fuzz/corpus fuzz/corpus 2>&1 |
  grep -E '^(Done|stat::number_of_executed_units|stat::new_units_added|list fuzz)|INITED|divergence|ERROR'
