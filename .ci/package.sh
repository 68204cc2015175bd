#!/usr/bin/env bash
# The library as its users get it: the installed package, static and shared,
# through pkg-config and find_package; the source tree through add_subdirectory
# and FetchContent; Tally, a C project with a plugin, both ways; the build
# without CMake, for Linux and Windows. docs/building.md ("What CI runs") says each check.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The names nm lists as defined; archive member headers and blank lines have
# no third field.
defined() {
  nm --defined-only "$@" | awk 'NF == 3 {print $3}'
}

# A shared object of a user's that links the static library: it must export
# its one function alone, though the library's code is inside it.
check_plugin() {
  local plugin=$1 exported inside
  exported=$(defined -D "$plugin")
  inside=$(defined "$plugin")
  echo "$plugin exports:" $exported
  if [ "$exported" != TallyPluginDistinct ] || ! grep -qx ListCreate <<<"$inside"; then
    echo "$plugin should export TallyPluginDistinct alone and hold the library's ListCreate" >&2
    return 1
  fi
}

# Fails when the library $1 defines a global symbol outside the public List*
# functions or, when static, the namespace slot_list::internal as well (a
# shared library hides that one).
check_symbols() {
  local library=$1 names allowed public stray
  case $library in
    *.so*) names=$(defined -D "$library"); allowed='^List[A-Z]' ;;
    *) names=$(defined -g "$library"); allowed='^(List[A-Z]|_ZN9slot_list8internal)' ;;
  esac
  names=$(sort -u <<<"$names")
  public=$(grep -E '^List' <<<"$names" || true)
  stray=$(grep -vE "$allowed" <<<"$names" || true)
  echo "$library: $(wc -l <<<"$names") global symbols, public ones:" $public
  if [ -z "$public" ] || [ -n "$stray" ]; then
    echo "$library: no List* symbol (did nm read it?), or global symbols outside List* and" \
      "slot_list::internal:" $stray >&2
    return 1
  fi
}

# Tally built with slot list through $1 (package, from prefix $2, or
# subdirectory), installed, and used from there by tests/consumer/tally-user.
tally() {
  local way=$1 package_prefix=${2:-}
  local build=$work/tally-$way prefix=$work/tally-$way-prefix from search found
  echo "== Tally, with slot list through $way"
  if [ "$way" = package ]; then
    from=(-DCMAKE_PREFIX_PATH="$package_prefix")
    search="$prefix;$package_prefix"
  else
    from=(-DSLOT_LIST_SOURCE_DIR="$root")
    search=$prefix
    package_prefix=$prefix
  fi
  cmake -S tests/consumer/tally -B "$build" -G Ninja -DTALLY_SLOT_LIST="$way" "${from[@]}"
  cmake --build "$build" -j2
  cmake --install "$build" --prefix "$prefix"
  check_plugin "$(find "$prefix" -name libtally_plugin.so)"
  if [ "$way" = subdirectory ]; then
    # The library's install rules ran with Tally's.
    cmp LICENSE "$prefix/share/doc/SlotList/LICENSE"
    test -f "$prefix/share/doc/Tally/NOTICE"
  fi
  cmake -S tests/consumer/tally-user -B "$build-user" -G Ninja -DCMAKE_PREFIX_PATH="$search"
  found=$(sed -n 's/^SlotList_DIR:PATH=//p' "$build-user/CMakeCache.txt")
  echo "tally-user found slot list in $found"
  case $found in
    "$package_prefix"/*) ;;
    *) echo "tally-user should find slot list under $package_prefix" >&2; exit 1 ;;
  esac
  cmake --build "$build-user"
  LD_LIBRARY_PATH=$(dirname "$(find "$prefix" -name libtally_plugin.so)") "$build-user/tally_user"
}

# The static library as the default preset builds it; the shared one here,
# with the tests run against it (the benchmarks would only be compiled).
cmake --preset default >/dev/null
cmake --build --preset default --target slot_list
cmake --install build/default --prefix "$work/prefix-static"
shared=build/package-shared
rm -rf "$shared"
cmake -S . -B "$shared" -G Ninja -DCMAKE_BUILD_TYPE=Release -DSLOT_LIST_WERROR=ON \
  -DBUILD_SHARED_LIBS=ON -DSLOT_LIST_TEST=ON -DSLOT_LIST_BENCH=OFF
cmake --build "$shared" -j2
ctest --test-dir "$shared" -j2 --timeout 300 --output-on-failure
cmake --install "$shared" --prefix "$work/prefix-shared"

for kind in static shared; do
  echo "== $kind library"
  prefix=$work/prefix-$kind
  ls "$prefix"/include/slot_list/slot_list.{h,hpp} >/dev/null
  test -f "$(find "$prefix" -name SlotListConfigVersion.cmake)"
  cmp LICENSE "$prefix/share/doc/SlotList/LICENSE"
  pcfile=$(find "$prefix" -name slot_list.pc)
  libdir=$(dirname "$(dirname "$pcfile")")
  check_symbols "$(ls "$libdir"/libslot_list.{a,so} 2>/dev/null)"

  cc -std=c99 -pedantic -Wall -Wextra -Werror tests/consumer/c/main.c -o "$work/c-consumer-$kind" \
    $(PKG_CONFIG_PATH=$(dirname "$pcfile") pkg-config --cflags --libs slot_list)
  LD_LIBRARY_PATH=$libdir "$work/c-consumer-$kind"

  cmake -S tests/consumer/cpp -B "$work/cpp-$kind" -G Ninja -DCMAKE_PREFIX_PATH="$prefix"
  cmake --build "$work/cpp-$kind"
  "$work/cpp-$kind/consumer"
done
tally package "$work/prefix-static"

echo "== add_subdirectory"
cmake -S tests/consumer/cpp -B "$work/subdir" -G Ninja -DSLOT_LIST_SOURCE_DIR="$PWD"
# The library alone: no test, demo or example target, no option but
# SLOT_LIST_INSTALL. Read whole first: grep -q ending a pipe early would fail it.
targets=$(ninja -C "$work/subdir" -t targets all)
options=$(cmake -LA -N "$work/subdir" | sed -n 's/^\(SLOT_LIST_[A-Z0-9_]*\):.*/\1/p')
if grep -qE 'slot_list_(tests|demo|example)' <<<"$targets" || [ "$options" != SLOT_LIST_INSTALL ]; then
  echo "a project that pulls slot list in gets its tests, demo or examples, or options:" $options >&2
  exit 1
fi
cmake --build "$work/subdir"
"$work/subdir/consumer"

tally subdirectory

# The block after "<!-- $1: .ci/package.sh runs the next block -->" in
# docs/building.md, as it is there.
docs_block() {
  awk -v mark="<!-- $1: .ci/package.sh runs the next block -->" '$0 == mark {marked = 1; next}
    marked && /^```/ && !inside {inside = 1; next}
    inside && /^```$/ {exit}
    inside {print}' docs/building.md | grep . || {
    echo "docs/building.md has no block marked '$1'" >&2
    return 1
  }
}

echo "== FetchContent, the lines docs/building.md shows, in a C project"
mkdir "$work/fetch"
{
  printf 'cmake_minimum_required(VERSION 3.22)\nproject(app LANGUAGES C)\nadd_executable(app %s)\n' \
    "$root/tests/consumer/c/main.c"
  docs_block FetchContent | sed "s|<slot list's repository>|file://$root|"
} >"$work/fetch/CMakeLists.txt"
cat "$work/fetch/CMakeLists.txt"
cmake -S "$work/fetch" -B "$work/fetch/build" -G Ninja >/dev/null
cmake --build "$work/fetch/build"
"$work/fetch/build/app"

echo "== vendored build, the lines docs/building.md shows"
commands=$(docs_block "vendored build")
echo "$commands"
vendored=$work/vendored
mkdir "$vendored"
cp examples/example.c "$vendored/app.c"
(cd "$vendored" && SLOT_LIST=$root bash -euo pipefail -c "$commands")
output=$("$vendored/app")
if [ "$output" != $'2: pear\napple is gone' ]; then
  echo "the vendored build's examples/example.c printed:" >&2
  echo "$output" >&2
  exit 1
fi
echo "examples/example.c against the vendored library: ok"
# The same sources as CMake's static library: the lines keep up with it.
from_cmake=$(ar t "$(find "$work/prefix-static" -name libslot_list.a)" | sed 's/\.cpp\.o$//' | sort)
from_lines=$(ar t "$vendored/libslot_list.a" | sed 's/\.o$//' | sort)
if [ "$from_cmake" != "$from_lines" ]; then
  echo "the vendored lines build other sources than CMake does:" >&2
  diff <(echo "$from_cmake") <(echo "$from_lines") >&2 || true
  exit 1
fi
echo "sources, the same as CMake's: $(tr '\n' ' ' <<<"$from_lines")"
# Built so, the library suits a shared object as CMake's static one does.
cc -std=c99 -shared -fPIC -I"$root/list/include" -I"$root/tests/consumer/tally" \
  tests/consumer/tally/plugin.c "$vendored/libslot_list.a" -pthread -o "$vendored/libtally_plugin.so"
check_plugin "$vendored/libtally_plugin.so"

echo "== vendored build for Windows, with MinGW-w64"
# Linked, not run: .ci/windows.sh runs platform_win.cpp under Wine.
mingw=x86_64-w64-mingw32
mkdir "$vendored-win"
(cd "$vendored-win" &&
  $mingw-g++-posix -std=c++17 -O2 -I"$root/list/include" -I"$root/list" -c "$root"/list/*.cpp &&
  $mingw-ar rcs libslot_list.a ./*.o &&
  $mingw-gcc-posix -std=c99 -I"$root/list/include" "$root/examples/example.c" libslot_list.a \
    -static -o app.exe)
echo "examples/example.c linked against the vendored Windows library: $(ls "$vendored-win"/*.o | wc -l) objects"
