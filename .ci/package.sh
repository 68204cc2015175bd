#!/usr/bin/env bash
# The library as its users get it: installed into a temporary prefix, static
# and shared, then consumed by a C99 program through pkg-config and by a C++
# program through find_package; the source tree consumed with
# add_subdirectory. Each library defines no global symbol outside its public
# List* functions (and, when static, the namespace slot_list::internal).
set -euo pipefail
cd "$(dirname "$0")/.."

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

for kind in static shared; do
  echo "== $kind library"
  build=build/package-$kind
  prefix=$work/prefix-$kind
  rm -rf "$build"
  if [ "$kind" = shared ]; then shared=ON; else shared=OFF; fi
  # The shared build also runs the tests that need no static build, against
  # the shared library itself.
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DSLOT_LIST_WERROR=ON \
    -DBUILD_SHARED_LIBS=$shared -DSLOT_LIST_TEST=$shared
  cmake --build "$build" -j2
  if [ "$kind" = shared ]; then
    ctest --test-dir "$build" -j2 --timeout 300 --output-on-failure
  fi
  cmake --install "$build" --prefix "$prefix"

  for header in slot_list.h slot_list_export.h slot_list.hpp; do
    test -f "$prefix/include/slot_list/$header"
  done
  test -f "$(find "$prefix" -name SlotListConfigVersion.cmake)"
  cmp LICENSE "$prefix/share/doc/SlotList/LICENSE"
  pcfile=$(find "$prefix" -name slot_list.pc)
  libdir=$(dirname "$(dirname "$pcfile")")

  if [ "$kind" = shared ]; then
    bash .ci/symbols.sh "$libdir/libslot_list.so"
  else
    bash .ci/symbols.sh "$libdir/libslot_list.a"
  fi

  PKG_CONFIG_PATH=$(dirname "$pcfile") cc -std=c99 -pedantic -Wall -Wextra -Werror \
    tests/consumer/c/main.c \
    $(PKG_CONFIG_PATH=$(dirname "$pcfile") pkg-config --cflags --libs slot_list) \
    -o "$work/c-consumer-$kind"
  LD_LIBRARY_PATH=$libdir "$work/c-consumer-$kind"

  cmake -S tests/consumer/cpp -B "$work/cpp-$kind" -G Ninja -DCMAKE_PREFIX_PATH="$prefix"
  cmake --build "$work/cpp-$kind"
  "$work/cpp-$kind/consumer"
done

echo "== add_subdirectory"
cmake -S tests/consumer/cpp -B "$work/subdir" -G Ninja -DSLOT_LIST_SOURCE_DIR="$PWD"
# Read whole first: grep -q ending the pipe early would fail it under pipefail
# and let the check pass.
targets=$(ninja -C "$work/subdir" -t targets all)
if grep -qE 'slot_list_(tests|demo|example)' <<<"$targets"; then
  echo "tests, the demo or the examples are built for a project that pulls slot list in" >&2
  exit 1
fi
cmake --build "$work/subdir"
"$work/subdir/consumer"
