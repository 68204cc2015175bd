#!/bin/sh
# wine-run.sh PREFIX PROGRAM [ARGUMENTS...]
# Runs a Windows program under Wine with its own Wine prefix (made on first
# use) and without Wine's debug chatter; the program's exit status is the
# result. The emulator of the mingw64 preset.
set -e
# Wine wants the prefix as an absolute path.
mkdir -p "$1"
WINEPREFIX=$(cd "$1" && pwd)
shift
WINEDEBUG=-all
# Without these Wine offers to install Mono and Gecko into a new prefix.
WINEDLLOVERRIDES=mscoree,mshtml=
export WINEPREFIX WINEDEBUG WINEDLLOVERRIDES
# Wine's server and the services it starts with the first program would
# inherit that program's output, and ctest would wait for them to exit. So
# when no server runs yet, start one detached, staying 30 s after its last
# program, and bring its services up with output going nowhere.
if /usr/lib/wine/wineserver -p30 </dev/null >/dev/null 2>&1; then
    /usr/lib/wine/wine64 wineboot </dev/null >/dev/null 2>&1
fi
exec /usr/lib/wine/wine64 "$@"
