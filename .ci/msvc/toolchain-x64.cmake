# MSVC mode for x64 Windows on Debian: clang-cl with Wine's CRT and Windows
# headers (.ci/msvc.sh). Not a Visual Studio build: see docs/windows.md.
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(SLOT_LIST_MSVC_TRIPLE x86_64-pc-windows-msvc)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-common.cmake)
