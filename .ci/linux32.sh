#!/usr/bin/env bash
# The whole suite at 32 bits on Linux (gcc -m32), plain and with
# AddressSanitizer and UndefinedBehaviorSanitizer: the demonstration's tests
# and the fuzz corpus replay included. Each configuration prints the route it
# took (native, or qemu-i386 where the kernel cannot run i386 programs).
set -euo pipefail
cd "$(dirname "$0")/.."

cmake --workflow --preset linux32
cmake --workflow --preset linux32-asan
