#!/bin/sh
# wine-run.sh PREFIX LOADER DLLPATH|- PROGRAM [ARGUMENTS...]
# Runs a Windows program under Wine with its own prefix, quietly; its exit
# status is the result. cmake/wine-route.cmake chooses LOADER (wine64 or the
# 32-bit wine) and DLLPATH, the i386 Windows DLLs for wine64's WoW64 mode.
set -e
# Wine wants the prefix as an absolute path.
mkdir -p "$1"
WINEPREFIX=$(cd "$1" && pwd)
loader=$2
[ "$3" = - ] || export WINEDLLPATH="$3"
shift 3
WINEDEBUG=-all
# Without mscoree and mshtml Wine offers to install Mono and Gecko into a new
# prefix. Without winedbg.exe a crash ends the program with the exception's
# code every time, where winedbg --auto would end it with 0 now and then
# (docs/windows.md).
WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"
export WINEPREFIX WINEDEBUG WINEDLLOVERRIDES
# Wine's server and services, started by a first program, would inherit its
# output and ctest would wait for them: start them detached when none runs.
# A failing step says so, or the failing test would leave no trace of why.
if /usr/lib/wine/wineserver -p30 </dev/null >/dev/null 2>&1; then
    if ! "$loader" wineboot </dev/null >/dev/null 2>&1; then
        echo "wine-run.sh: wineboot failed to bring up the prefix $WINEPREFIX" >&2
        exit 125
    fi
fi
exec "$loader" "$@"
