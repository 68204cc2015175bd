#!/usr/bin/env bash
# A newcomer's first build: in a fresh clone, on a machine without GoogleTest,
# the README's first command must configure without the tests (saying so),
# build, and show the demo; asking for the tests explicitly must then fail.
#
# GoogleTest is hidden in a private mount namespace, with empty folders over
# its headers, its CMake package and its sources, so nothing needs restoring.
# Where mount namespaces are not allowed, CMake's search for it is disabled
# instead.
set -euo pipefail
cd "$(dirname "$0")/.."

if [[ ${1:-} != --googletest-hidden ]]; then
  if unshare --mount true 2>/dev/null; then
    exec unshare --mount bash "$0" --googletest-hidden
  fi
  hidden=no
else
  for dir in /usr/include/gtest /usr/include/gmock /usr/lib/*/cmake/GTest /usr/src/googletest \
    /usr/src/gtest; do
    if [[ -d $dir ]]; then
      mount -t tmpfs none "$dir"
    fi
  done
  hidden=yes
fi

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
configure="cmake --preset $preset"
if [[ $hidden == yes ]]; then
  echo "GoogleTest hidden in a private mount namespace"
else
  configure+=" -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON"
  echo "no mount namespace here: CMake's search for GoogleTest is disabled instead"
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
git clone -q . "$work/slot_list"
cd "$work/slot_list"

echo "== $configure $rest"
if ! bash -c "$configure $rest" </dev/null >"$work/log" 2>&1; then
  cat "$work/log"
  echo "the README's first command failed without GoogleTest" >&2
  exit 1
fi
# The configuration says in one line that the tests are left out, and none are.
if ! grep 'GoogleTest not found' "$work/log"; then
  cat "$work/log"
  echo "the configuration did not say that the tests are left out" >&2
  exit 1
fi
if [[ -e build/$preset/CTestTestfile.cmake ]]; then
  echo "tests were configured although GoogleTest is missing" >&2
  exit 1
fi
# The demo ran to its final prompt, written as GBK bytes to a file.
prompt=$(printf '\xc7\xeb\xb0\xb4\xc8\xce\xd2\xe2\xbc\xfc\xbc\xcc\xd0\xf8. . .')
if ! LC_ALL=C grep -qF "$prompt" "$work/log"; then
  cat "$work/log"
  echo "the demo did not run to its prompt" >&2
  exit 1
fi
echo "the demo ran to its prompt"

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
