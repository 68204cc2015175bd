#!/usr/bin/env bash
# Windows builds with MinGW-w64: every test and the demonstration of the i686
# and the x86_64 build run under Wine, each test suite in a Wine process of its
# own. The i686 build runs on Wine's 32-bit side, by the route
# cmake/wine-route.cmake chooses and prints (the 32-bit loader, or WoW64 mode).
set -euo pipefail
cd "$(dirname "$0")/.."

cmake --workflow --preset mingw32
cmake --workflow --preset mingw64

# The demonstration with no input, under Wine and natively: the same bytes up
# to the key prompt, once the C runtime's text-mode "\r\n" -> "\r\r\n" and the
# printed address are set aside. The prompt itself comes from the system's
# "pause", in Wine's words for the Chinese locale.
cmake --preset default >/dev/null
cmake --build --preset default --target slot_list_demo
out=build/demo-check
mkdir -p "$out"
build/default/demo/slot_list_demo </dev/null >"$out/linux.txt"
for preset in mingw32 mingw64; do
  LC_ALL=zh_CN.UTF-8 LANG=zh_CN.UTF-8 build/$preset/wine-run \
    build/$preset/demo/slot_list_demo.exe </dev/null >"$out/$preset.txt"
done

source .ci/before-prompt.sh
before_prompt "$out/linux.txt" >"$out/linux.cmp"
for preset in mingw32 mingw64; do
  before_prompt "$out/$preset.txt" >"$out/$preset.cmp"
  cmp "$out/linux.cmp" "$out/$preset.cmp"
  echo "windows: the $preset demonstration under Wine printed what it prints on Linux and exited 0"
done
