#!/usr/bin/env bash
# Windows builds with MinGW-w64: every test and the demonstration of the i686
# and the x86_64 build run under Wine. The i686 build runs on Wine's 32-bit
# side, by the route cmake/wine-route.cmake chooses and prints (the 32-bit
# loader, or WoW64 mode); where neither starts a 32-bit program, it is built
# and that is said, not run.
set -euo pipefail
cd "$(dirname "$0")/.."

presets=(mingw64)
cmake --preset mingw32
cmake --build --preset mingw32
if .ci/wine32-runs.sh build/mingw32/wine-run; then
  ctest --preset mingw32
  presets+=(mingw32)
else
  echo "windows: mingw32 built; its tests and demo NOT run on this machine (above)"
fi
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
for preset in "${presets[@]}"; do
  LC_ALL=zh_CN.UTF-8 LANG=zh_CN.UTF-8 build/$preset/wine-run \
    build/$preset/demo/slot_list_demo.exe </dev/null >"$out/$preset.txt"
done

source .ci/before-prompt.sh
before_prompt "$out/linux.txt" >"$out/linux.cmp"
for preset in "${presets[@]}"; do
  before_prompt "$out/$preset.txt" >"$out/$preset.cmp"
  cmp "$out/linux.cmp" "$out/$preset.cmp"
  echo "windows: the $preset demonstration under Wine printed what it prints on Linux and exited 0"
done
