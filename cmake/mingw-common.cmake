# What both MinGW-w64 toolchain files share; SLOT_LIST_MINGW_TRIPLET names the
# target.

# The posix thread model: with GCC 12 only it has std::thread and std::async.
set(CMAKE_C_COMPILER ${SLOT_LIST_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${SLOT_LIST_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${SLOT_LIST_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${SLOT_LIST_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Fully static programs run without the MinGW runtime DLLs (libgcc, libstdc++,
# winpthread) beside them.
set(CMAKE_EXE_LINKER_FLAGS_INIT -static)
