#!/usr/bin/env bash
# The whole suite at 32 bits on Linux (gcc -m32), plain and with
# AddressSanitizer and UndefinedBehaviorSanitizer: the demonstration's tests
# and the fuzz corpus replay included. Each configuration prints the route it
# took (native, or qemu-i386 where the kernel cannot run i386 programs).
set -euo pipefail
cd "$(dirname "$0")/.."

cmake --workflow --preset linux32

flags="-m32 -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"
cmake --preset linux32 -B build/linux32-asan -DCMAKE_BUILD_TYPE=Debug -DCMAKE_C_FLAGS="$flags" \
  -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS=-fsanitize=address,undefined
cmake --build build/linux32-asan
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --preset linux32 --test-dir build/linux32-asan
