#!/usr/bin/env bash
# MSVC mode on Debian: the Windows build, x64 and x86, compiled by clang-cl
# as cl would compile it, against Wine's C runtime and headers, every source
# with no warning; the demo and the C example run under Wine and print what
# they print on Linux. docs/windows.md ("MSVC mode in CI") says how, and what
# it cannot see that a Windows runner with Visual Studio would.
set -euo pipefail
cd "$(dirname "$0")/.."

source .ci/before-prompt.sh
out=build/msvc-check
linux_reference "$out"
echo "== msvc: the Linux reference run"

# Why the Windows build leaves a source of the repository out; any other
# left out fails the job, so that a new file cannot go unchecked here without
# a word.
left_out_because() {
  case $1 in
    *posix*.cpp | tests/fork_check.cpp | bench/residency.cpp) echo "POSIX only" ;;
    bench/slot_list_bench.cpp) echo "slot_list_bench: needs <sys/resource.h>" ;;
    tests/consumer/*) echo "a consumer of the installed package: .ci/package.sh" ;;
    *) return 1 ;;
  esac
}

rm -f "$out/compiled.txt"
for arch in x64 x86; do
  dir=build/msvc-$arch
  echo "== msvc $arch: configure ($dir)"
  # Debug as docs/windows.md has it, but with the release C runtime (/MD),
  # since Wine has no debug one, and without /Zi. Google Benchmark is offered
  # as vcpkg would: slot_list_bench must still be left out.
  bench_dir=$(find /usr/lib -name benchmarkConfig.cmake -printf '%h' -quit 2>/dev/null || true)
  cmake -S . -B "$dir" -G Ninja -DCMAKE_TOOLCHAIN_FILE=.ci/msvc/toolchain-$arch.cmake \
    -DCMAKE_BUILD_TYPE=Debug '-DCMAKE_C_FLAGS_DEBUG=/Od /Ob0' '-DCMAKE_CXX_FLAGS_DEBUG=/Od /Ob0' \
    -DSLOT_LIST_TEST=ON -DSLOT_LIST_WERROR=ON \
    -DCMAKE_EXPORT_COMPILE_COMMANDS=ON ${bench_dir:+-Dbenchmark_DIR=$bench_dir} \
    >"$out/configure-$arch.log" 2>&1 || { cat "$out/configure-$arch.log"; exit 1; }
  grep -E 'MSVC mode|Windows route|slot_list_bench' "$out/configure-$arch.log" | sed 's/^-- /   /'
  # Read whole before matching: grep -q leaving early would fail the pipe.
  targets=$(ninja -C "$dir" -t targets all)
  if grep -q '^bench/slot_list_bench\.exe:' <<<"$targets"; then
    echo "msvc $arch: slot_list_bench is in the build; it cannot compile with MSVC" >&2
    exit 1
  fi
  # Wine's first start makes the prefix, slowly: done while the sources compile.
  "$dir/wine-run" wineboot </dev/null >/dev/null 2>&1 &
  wine_ready=$!

  # Every object file but GoogleTest's and the one that must not compile.
  mapfile -t objects < <(ninja -C "$dir" -t targets all |
    sed -n 's/^\([^:]*\.obj\): C[A-Z]*_COMPILER__.*/\1/p' |
    grep -v -e '^googletest/' -e 'slot_list_padded_element')
  echo "== msvc $arch: compiling ${#objects[@]} sources, linking the demo and the C example"
  set +e
  ninja -C "$dir" -k 0 "${objects[@]}" slot_list_demo slot_list_example_c >"$out/build-$arch.log" 2>&1
  built=$?
  set -e
  # With /WX a warning is an error marked [-Werror,...]; count it as a warning.
  warnings=$(grep -cE 'warning:|error:.*\[-Werror' "$out/build-$arch.log" || true)
  errors=$(grep -E ': error:|^lld-link: error' "$out/build-$arch.log" | grep -cv '\[-Werror' || true)
  echo "msvc $arch: warnings: $warnings, other errors: $errors"
  if ((warnings > 0 || errors > 0 || built != 0)); then
    grep -E -A4 'warning:|error' "$out/build-$arch.log" | head -60
    echo "msvc $arch: the build must have no warning (cl's /W4 /WX)" >&2
    exit 1
  fi

  # The default equality must still refuse a type with padding bytes.
  if ninja -C "$dir" slot_list_padded_element >"$out/padded-$arch.log" 2>&1 ||
    ! grep -q 'slot_list::BytewiseComparable<T>' "$out/padded-$arch.log"; then
    cat "$out/padded-$arch.log"
    echo "msvc $arch: padded_element.cpp compiled, or failed for another reason" >&2
    exit 1
  fi

  sed -n "s|^  \"file\": \"$PWD/\(.*\)\"\$|\1|p" "$dir/compile_commands.json" >>"$out/compiled.txt"

  echo "== msvc $arch: the demo and the C example under Wine"
  wait "$wine_ready" || true
  if [[ $arch == x86 ]] && ! .ci/wine32-runs.sh "$dir/wine-run"; then
    echo "msvc x86: built without a warning; the demo and the C example NOT run on this machine"
    continue
  fi
  demo_matches "$dir/wine-run" "$dir/demo/slot_list_demo.exe" "$out" "$arch"
  "$dir/wine-run" "$dir/examples/slot_list_example_c.exe" | tr -d '\r' >"$out/$arch-example.txt"
  cmp "$out/linux-example.txt" "$out/$arch-example.txt"
  echo "msvc $arch: the demo printed what it prints on Linux, the C example too; both exited 0"
done

echo "== msvc: sources of the repository the Windows build leaves out"
missing=0
while read -r source; do
  if reason=$(left_out_because "$source"); then
    echo "   $source ($reason)"
  else
    echo "msvc: $source is compiled by neither Windows build; build it, or say in .ci/msvc.sh why not" >&2
    missing=1
  fi
done < <(git ls-files 'list/*.c' 'list/*.cpp' 'demo/*.cpp' 'examples/*.c' 'examples/*.cpp' \
  'tests/*.c' 'tests/*.cpp' 'fuzz/*.cpp' 'bench/*.cpp' | sort | comm -23 - <(sort -u "$out/compiled.txt"))
((missing == 0))

echo "msvc: the test programs are compiled, not linked or run: no C++ runtime for the MSVC ABI" \
  "exists here (libc++ is headers only), and the tests run under Wine in the MinGW builds"
echo "msvc: warnings: 0, x64 and x86"
