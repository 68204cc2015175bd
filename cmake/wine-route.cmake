# How the Windows programs of a cross build run here: under Wine, with a
# prefix of the build's own; 32-bit ones under the 32-bit loader (wine32:i386)
# where it runs, else under wine64 in WoW64 mode with libwine:i386's DLLs,
# installed or unpacked into build/wine-i386. No route stops the
# configuration: the tests are never skipped.
if(NOT (CMAKE_CROSSCOMPILING AND WIN32) OR CMAKE_CROSSCOMPILING_EMULATOR)
  return()
endif()

set(wine_dir /usr/lib/wine)
set(wine_prefix ${CMAKE_BINARY_DIR}/wine-prefix)
set(loader ${wine_dir}/wine64)
set(route wine64)
set(dll_path "")
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  execute_process(COMMAND ${wine_dir}/wine --version RESULT_VARIABLE runs OUTPUT_QUIET ERROR_QUIET)
  if(runs STREQUAL "0")
    set(route wine32)
    set(loader ${wine_dir}/wine)
  else()
    set(route wow64)
    find_path(SLOT_LIST_WINE_I386 i386-windows/kernel32.dll NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH
              PATHS /usr/lib/i386-linux-gnu/wine
                    ${PROJECT_SOURCE_DIR}/build/wine-i386/usr/lib/i386-linux-gnu/wine)
    set(dll_path ${SLOT_LIST_WINE_I386})
    if(NOT dll_path)
      message(FATAL_ERROR "No way to run 32-bit Windows programs: the 32-bit Wine loader does "
                          "not run here and no i386 Windows DLLs were found. Install wine32:i386, "
                          "or extract libwine:i386 into build/wine-i386.")
    endif()
    # A prefix made without these DLLs cannot run 32-bit programs later.
    set(wine_prefix ${CMAKE_BINARY_DIR}/wine-prefix-wow64)
  endif()
endif()

if(NOT EXISTS ${loader})
  message(FATAL_ERROR "Wine's loader ${loader} is missing: install wine64 (and wine32:i386)")
endif()
if(dll_path)
  set(dll_note ", i386 DLLs from ${dll_path}")
else()
  set(dll_path -)
endif()
set(CMAKE_CROSSCOMPILING_EMULATOR ${PROJECT_SOURCE_DIR}/cmake/wine-run.sh ${wine_prefix}
                                  ${loader} ${dll_path})
message(STATUS "Windows route: ${route} (${loader}${dll_note})")
# The same way in by hand: build/<preset>/wine-run PROGRAM [ARGUMENTS...]
file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/wine-run @ONLY CONTENT [[#!/bin/sh
exec "@PROJECT_SOURCE_DIR@/cmake/wine-run.sh" "@wine_prefix@" "@loader@" "@dll_path@" "$@"
]])
file(CHMOD ${CMAKE_BINARY_DIR}/wine-run PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE
     GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
