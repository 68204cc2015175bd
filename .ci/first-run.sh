#!/usr/bin/env bash
# A newcomer's first build: in a fresh clone, the README's first command must
# build the library and the demo alone, whatever is installed, and show the
# demo. It runs with what this machine has, then with GoogleTest hidden (in a
# private mount namespace, else from CMake's search), where asking for the
# tests must fail.
set -euo pipefail
cd "$(dirname "$0")/.."

first=$(sed -n 's/ *# build and run the demo$//p' README.md)
if [[ -z $first || $first == *$'\n'* ]]; then
  echo "README.md must have exactly one line ending in '# build and run the demo'" >&2
  exit 1
fi
if [[ ! $first =~ ^cmake\ --preset\ ([^ ]+)\ (.*)$ ]]; then
  echo "the README's first command does not start with 'cmake --preset NAME': $first" >&2
  exit 1
fi
preset=${BASH_REMATCH[1]}
rest=${BASH_REMATCH[2]}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# What the build may make: the library and the demo.
allowed='^(CMakeFiles/slot_list_objects\.dir/|libslot_list\.|demo/)'

# The first command in a fresh clone, configured by "$1".
run_first_command() {
  local configure=$1 clone=$work/slot_list-$RANDOM
  git clone -q . "$clone"
  echo "== $configure $rest"
  if ! (cd "$clone" && bash -c "$configure $rest") </dev/null >"$work/log" 2>&1; then
    cat "$work/log"
    echo "the README's first command failed" >&2
    exit 1
  fi
  if [[ -e $clone/build/$preset/CTestTestfile.cmake ]]; then
    echo "the README's first command configured the tests" >&2
    exit 1
  fi
  local steps outputs extra
  steps=$(grep -o '^\[[0-9]*/[0-9]*\]' "$work/log" | tail -1 | tr -d '[]' | cut -d/ -f2)
  outputs=$(cut -f4 "$clone/build/$preset/.ninja_log" | grep -v '^#' | sort -u)
  extra=$(grep -vE "$allowed" <<<"$outputs" || true)
  if [[ -n $extra ]]; then
    echo "the README's first command built more than the library and the demo:" >&2
    echo "$extra" >&2
    exit 1
  fi
  echo "built the library and the demo alone, in ${steps:-0} steps:" \
    $(grep -vE '/CMakeFiles/|^CMakeFiles/' <<<"$outputs")
  # The final prompt, in GBK.
  local prompt
  prompt=$(printf '\xc7\xeb\xb0\xb4\xc8\xce\xd2\xe2\xbc\xfc\xbc\xcc\xd0\xf8. . .')
  if ! LC_ALL=C grep -qF "$prompt" "$work/log"; then
    cat "$work/log"
    echo "the demo did not run to its prompt" >&2
    exit 1
  fi
  echo "the demo ran to its prompt"
  rm -rf "$clone"
}

if [[ ${1:-} != --googletest-hidden ]]; then
  echo "-- with what is installed here"
  run_first_command "cmake --preset $preset"
  if unshare --mount true 2>/dev/null; then
    exec unshare --mount bash "$0" --googletest-hidden
  fi
  configure="cmake --preset $preset -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON"
  echo "-- no mount namespace here: CMake's search for GoogleTest is disabled instead"
else
  for dir in /usr/include/gtest /usr/include/gmock /usr/lib/*/cmake/GTest /usr/src/googletest \
    /usr/src/gtest; do
    [[ ! -d $dir ]] || mount -t tmpfs none "$dir"
  done
  configure="cmake --preset $preset"
  echo "-- GoogleTest hidden in a private mount namespace"
fi
run_first_command "$configure"

git clone -q . "$work/slot_list"
cd "$work/slot_list"
echo "== $configure -DSLOT_LIST_TEST=ON (must fail)"
if $configure -DSLOT_LIST_TEST=ON >"$work/log" 2>&1; then
  cat "$work/log"
  echo "asking for the tests without GoogleTest did not fail" >&2
  exit 1
fi
if ! grep -A3 'CMake Error' "$work/log" | grep GTest; then
  cat "$work/log"
  echo "asking for the tests failed, but not for want of GoogleTest" >&2
  exit 1
fi
echo "failed for want of GoogleTest, as it should"
