#!/usr/bin/env bash
# Prints "native" when this kernel runs 32-bit x86 (i386) programs, else
# "emulated" (also when no probe builds). Before any package is installed:
# the probe needs gcc alone, no C library, and exits through int 0x80.
set -uo pipefail
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cat >"$work/probe.c" <<'C'
void _start(void) {
    __asm__ volatile("int $0x80" : : "a"(1), "b"(0));
}
C
if gcc -m32 -nostdlib -static -o "$work/probe" "$work/probe.c" 2>/dev/null &&
  "$work/probe" 2>/dev/null; then
  echo native
else
  echo emulated
fi
