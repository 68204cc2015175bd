#!/usr/bin/env bash
# Lists the global symbols each library given defines and fails on any outside
# the public List* functions, or, in a static library, outside the C++
# namespace slot_list::internal as well (a shared library hides that one).
# Usage: .ci/symbols.sh LIBRARY...
set -euo pipefail

status=0
for library in "$@"; do
  case $library in
    *.so*) symbols=$(nm -D --defined-only "$library"); allowed='^List[A-Z]' ;;
    *) symbols=$(nm -g --defined-only "$library"); allowed='^(List[A-Z]|_ZN9slot_list8internal)' ;;
  esac
  # nm prints "address type name"; archive member headers and blank lines
  # have no third field.
  names=$(awk 'NF == 3 {print $3}' <<<"$symbols" | sort -u)
  stray=$(grep -vE "$allowed" <<<"$names" || true)
  echo "$library: $(wc -l <<<"$names") global symbols, public ones: $(grep -E '^List' <<<"$names" | tr '\n' ' ')"
  if [ -z "$(grep -E '^List' <<<"$names" || true)" ]; then
    echo "$library: no List* symbol found; nm read nothing?" >&2
    status=1
  fi
  if [ -n "$stray" ]; then
    echo "$library: global symbols outside List* and slot_list::internal:" >&2
    echo "$stray" >&2
    status=1
  fi
done
exit $status
