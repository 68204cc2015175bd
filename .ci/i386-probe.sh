#!/usr/bin/env bash
# Prints "native" when this kernel runs 32-bit x86 (i386) programs and
# "emulated" when it does not. Needs only the host's gcc and binutils: the
# probe is a static i386 program with no C library that exits 0 through the
# i386 system call gate. Prints "emulated" too when no probe can be built, the
# route that works on every kernel.
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
