#!/bin/sh
# wine-run.sh PREFIX LOADER DLLPATH|- PROGRAM [ARGUMENTS...]
# Runs a Windows program under Wine with its own Wine prefix (made on first
# use) and without Wine's debug chatter; the program's exit status is the
# result. LOADER is Wine's loader for the program's side (wine64, or the
# 32-bit wine); DLLPATH, when not empty, is where Wine finds the i386 Windows
# DLLs for a 32-bit program run by wine64 in WoW64 mode ("-" for none). The emulator of the
# MinGW presets (cmake/wine-route.cmake chooses LOADER and DLLPATH).
set -e
# Wine wants the prefix as an absolute path.
mkdir -p "$1"
WINEPREFIX=$(cd "$1" && pwd)
loader=$2
if [ "$3" != - ]; then
    WINEDLLPATH=$3
    export WINEDLLPATH
fi
shift 3
WINEDEBUG=-all
# Without mscoree and mshtml Wine offers to install Mono and Gecko into a new
# prefix. Without winedbg.exe a crash ends the program with the exception's
# code every time, where winedbg --auto would end it with 0 now and then
# (docs/windows.md).
WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"
export WINEPREFIX WINEDEBUG WINEDLLOVERRIDES
# Wine's server and the services it starts with the first program would
# inherit that program's output, and ctest would wait for them to exit. So
# when no server runs yet, start one detached, staying 30 s after its last
# program, and bring its services up with output going nowhere.
# A step of this script that fails says so: a test that fails without output
# would leave no trace of why.
if /usr/lib/wine/wineserver -p30 </dev/null >/dev/null 2>&1; then
    if ! "$loader" wineboot </dev/null >/dev/null 2>&1; then
        echo "wine-run.sh: wineboot failed to bring up the prefix $WINEPREFIX" >&2
        exit 125
    fi
fi
exec "$loader" "$@"
