#!/usr/bin/env bash
# Installs every package CI needs, in one update and one install step, and
# chooses and prints the 32-bit route first: wine32:i386 where the kernel
# runs i386 programs and the package lists came, else libwine:i386's DLLs in
# build/wine-i386 for Wine's WoW64 mode (and qemu-i386 for the Linux tests).
set -euo pipefail
cd "$(dirname "$0")/.."

export DEBIAN_FRONTEND=noninteractive
route=$(.ci/i386-probe.sh)

packages=(
  cmake ninja-build g++ clang llvm-14 libclang-rt-14-dev libgtest-dev libgmock-dev googletest
  pkg-config binutils valgrind python3
  libbenchmark-dev libglib2.0-dev uthash-dev gnuplot-nox
  gcc-multilib g++-multilib
  g++-mingw-w64-x86-64 g++-mingw-w64-i686 wine64
  clang-tools-14 lld-14 libc++-14-dev libwine-dev
)

# A mirror caught mid-sync can fail one list (seen: bookworm-security's i386
# Packages). wine32:i386 then cannot be installed, since its i386 libraries
# must match the amd64 ones exactly; the 32-bit Windows tests still run, on
# the WoW64 route, which needs only libwine:i386 from the main archive.
dpkg --add-architecture i386
lists=complete
if ! apt-get update -qq; then
  lists=partial
fi
if [[ $route == native && $lists == complete ]]; then
  echo "32-bit route: this kernel runs i386 programs; Linux tests run natively, Windows ones under wine32"
  packages+=(wine32:i386)
elif [[ $route == native ]]; then
  echo "32-bit route: this kernel runs i386 programs; Linux tests run natively, Windows ones under wine64 in WoW64 mode, since some package lists could not be fetched (above) and wine32:i386 needs them"
else
  echo "32-bit route: this kernel cannot run i386 programs; Linux tests run under qemu-i386, Windows ones under wine64 in WoW64 mode"
  packages+=(qemu-user)
fi

apt-get install -y -qq --no-install-recommends "${packages[@]}" >/dev/null

if [[ $route != native || $lists == partial ]]; then
  rm -rf build/wine-i386
  mkdir -p build/wine-i386
  (cd build/wine-i386 && apt-get download -qq libwine:i386 && dpkg-deb -x libwine_*.deb .)
  test -f build/wine-i386/usr/lib/i386-linux-gnu/wine/i386-windows/kernel32.dll
fi
