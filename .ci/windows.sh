#!/usr/bin/env bash
# Windows builds with MinGW-w64: every test and the demonstration of the i686
# and the x86_64 build run under Wine, by the route cmake/wine-route.cmake
# prints; where no route starts a 32-bit program, the i686 one is only built.
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
# to the key prompt.
source .ci/before-prompt.sh
out=build/demo-check
linux_reference "$out"
for preset in "${presets[@]}"; do
  demo_matches "build/$preset/wine-run" "build/$preset/demo/slot_list_demo.exe" "$out" "$preset"
  echo "windows: the $preset demonstration under Wine printed what it prints on Linux and exited 0"
done
