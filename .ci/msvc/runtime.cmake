# Gives every program of the MSVC-mode build what Visual Studio would link
# into it: runtime.cpp, the stand-in for the static Visual C++ runtime, and
# the import libraries of Wine's ucrtbase, vcruntime140 and kernel32. For x86
# libwine-dev has none: kernel32's comes from MinGW-w64 (only an import
# library knows the __stdcall decorated names), the others are made from the
# exports of Wine's i386 DLLs, ntdll's for the 64-bit division helpers.

add_library(slot_list_ci_msvc_runtime STATIC ${CMAKE_CURRENT_LIST_DIR}/runtime.cpp)
target_compile_options(slot_list_ci_msvc_runtime PRIVATE /W4 /WX)

if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(wine_libs /usr/lib/x86_64-linux-gnu/wine/x86_64-windows)
  set(import_libs ${wine_libs}/libucrtbase.a ${wine_libs}/libvcruntime140.a
                  ${wine_libs}/libkernel32.a)
else()
  set(import_libs /usr/i686-w64-mingw32/lib/libkernel32.a)
  # The same search as cmake/wine-route.cmake's, which then finds it cached.
  find_path(SLOT_LIST_WINE_I386 i386-windows/kernel32.dll NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH
            PATHS /usr/lib/i386-linux-gnu/wine
                  ${PROJECT_SOURCE_DIR}/build/wine-i386/usr/lib/i386-linux-gnu/wine)
  set(dll_dir ${SLOT_LIST_WINE_I386}/i386-windows)
  if(NOT SLOT_LIST_WINE_I386 OR NOT EXISTS ${import_libs})
    message(FATAL_ERROR "MSVC mode, x86: needs Wine's i386 DLLs (libwine:i386, or build/wine-i386 "
                        "as .ci/deps.sh unpacks it) and MinGW-w64's i686 libkernel32.a")
  endif()
  find_program(SLOT_LIST_LLVM_READOBJ NAMES llvm-readobj-14 llvm-readobj REQUIRED)
  find_program(SLOT_LIST_LLVM_DLLTOOL NAMES llvm-dlltool-14 llvm-dlltool REQUIRED)
  set(out ${CMAKE_BINARY_DIR}/msvc-import)
  file(MAKE_DIRECTORY ${out})
  foreach(dll ucrtbase vcruntime140 ntdll)
    execute_process(COMMAND ${SLOT_LIST_LLVM_READOBJ} --coff-exports ${dll_dir}/${dll}.dll
                    OUTPUT_VARIABLE exports COMMAND_ERROR_IS_FATAL ANY)
    string(REGEX MATCHALL "Name: [^\n]+" names "${exports}")
    list(TRANSFORM names REPLACE "^Name: " "")
    if(dll STREQUAL "ntdll")
      # Only what the compiler calls; the rest of ntdll is not for programs.
      list(FILTER names INCLUDE REGEX "^_a(ll|ull)(div|rem|mul|shl|shr|dvrm)$")
    endif()
    list(JOIN names "\n" names)
    file(WRITE ${out}/${dll}.def "LIBRARY ${dll}.dll\nEXPORTS\n${names}\n")
    execute_process(COMMAND ${SLOT_LIST_LLVM_DLLTOOL} -m i386 -d ${out}/${dll}.def
                            -l ${out}/${dll}.lib COMMAND_ERROR_IS_FATAL ANY)
    list(APPEND import_libs ${out}/${dll}.lib)
  endforeach()
endif()

target_link_libraries(slot_list_ci_msvc_runtime PUBLIC ${import_libs})

# Programs alone, once the project is read: the installed package must not
# name them.
function(slot_list_ci_link_runtime dir)
  get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  foreach(target IN LISTS targets)
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "EXECUTABLE")
      target_link_libraries(${target} PRIVATE slot_list_ci_msvc_runtime)
    endif()
  endforeach()
  get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(subdir IN LISTS subdirs)
    slot_list_ci_link_runtime(${subdir})
  endforeach()
endfunction()
cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL slot_list_ci_link_runtime
               ${CMAKE_SOURCE_DIR})
message(STATUS "MSVC mode: clang-cl for ${SLOT_LIST_MSVC_TRIPLE}, Wine's headers and DLLs, "
               "the stand-in runtime of .ci/msvc/runtime.cpp")
