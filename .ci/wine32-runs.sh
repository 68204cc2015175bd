#!/usr/bin/env bash
# wine32-runs.sh WINE_RUN: exits 0 when a 32-bit Windows program starts here
# through WINE_RUN (a build folder's wine-run); else says why not and exits 1.
# On a kernel that runs no i386 code, Debian's Wine starts none in WoW64 mode
# either, so the 32-bit Windows builds can be compiled but not run.
set -uo pipefail
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
printf 'int main(void) { return 0; }\n' >"$work/probe.c"
i686-w64-mingw32-gcc -o "$work/probe.exe" "$work/probe.c" || exit 1
if timeout 600 "$1" "$work/probe.exe" </dev/null >/dev/null 2>&1; then
  exit 0
fi
echo "32-bit Windows programs do not start here (i386 kernel support:" \
  "$(bash "$(dirname "$0")/i386-probe.sh"); Wine's WoW64 mode fails too)"
exit 1
