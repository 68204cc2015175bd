#!/usr/bin/env bash
# Windows builds with MinGW-w64: the x86_64 tests and demonstration run under
# Wine; the i686 build (library, tests, demonstration, 32-bit header layout) is
# compiled only, as this machine cannot execute 32-bit programs.
set -euo pipefail
cd "$(dirname "$0")/.."

export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends \
  cmake ninja-build g++ googletest g++-mingw-w64-x86-64 g++-mingw-w64-i686 >/dev/null
apt-get install -y -qq wine64 >/dev/null

cmake --workflow --preset mingw32
# Every test of the x86_64 build, each in its own Wine process.
cmake --workflow --preset mingw64

# The demonstration with no input, under Wine and natively: the same bytes up
# to the key prompt, once the C runtime's text-mode "\r\n" -> "\r\r\n" and the
# printed address are set aside. The prompt itself comes from the system's
# "pause", in Wine's words for the Chinese locale.
cmake --preset default >/dev/null
cmake --build --preset default --target slot_list_demo
out=build/mingw64/demo-check
mkdir -p "$out"
build/default/demo/slot_list_demo </dev/null >"$out/linux.txt"
LC_ALL=zh_CN.UTF-8 LANG=zh_CN.UTF-8 cmake/wine-run.sh build/mingw64/wine-prefix \
  build/mingw64/demo/slot_list_demo.exe </dev/null >"$out/wine.txt"

# Prints a run's output up to the key prompt in comparable form; fails when
# the prompt ("请按任意键继续" in GBK) is missing.
before_prompt() {
  perl -0777 -ne '
    s/\r\r\n/\r\n/g;
    s/(\xd6\xb8\xd5\xeb\xca\xc7:)(?:0x)?[0-9a-fA-F]+/${1}ADDRESS/;
    my $at = index($_, "\xc7\xeb\xb0\xb4\xc8\xce\xd2\xe2\xbc\xfc\xbc\xcc\xd0\xf8");
    exit 1 if $at < 0;
    print substr($_, 0, $at);' "$1"
}
before_prompt "$out/linux.txt" >"$out/linux.cmp"
before_prompt "$out/wine.txt" >"$out/wine.cmp"
cmp "$out/linux.cmp" "$out/wine.cmp"
echo "windows: the demonstration under Wine printed what it prints on Linux and exited 0"
