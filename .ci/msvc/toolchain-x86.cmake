# MSVC mode for x86 Windows on Debian: clang-cl with Wine's CRT and Windows
# headers (.ci/msvc.sh). Not a Visual Studio build: see docs/windows.md.
set(CMAKE_SYSTEM_PROCESSOR X86)
set(SLOT_LIST_MSVC_TRIPLE i686-pc-windows-msvc)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-common.cmake)
