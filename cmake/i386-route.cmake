# How programs built for 32-bit x86 Linux (-m32) run here: natively when a
# static probe runs, else under qemu-i386. No route stops the configuration:
# the 32-bit runs are never skipped.
if(NOT (CMAKE_SYSTEM_NAME STREQUAL "Linux" AND CMAKE_SIZEOF_VOID_P EQUAL 4))
  return()
endif()

# Static and without the sanitizers, so that only the kernel decides.
string(REGEX REPLACE "-fsanitize[^ ]*" "" probe_flags "${CMAKE_C_FLAGS}")
separate_arguments(probe_flags)
set(probe ${CMAKE_BINARY_DIR}/CMakeFiles/i386-probe)
execute_process(COMMAND ${CMAKE_C_COMPILER} ${probe_flags} -static -o ${probe}
                        ${CMAKE_CURRENT_LIST_DIR}/probe/exit0.c
                RESULT_VARIABLE probe_built OUTPUT_VARIABLE probe_log ERROR_VARIABLE probe_log)
if(probe_built STREQUAL "0")
  execute_process(COMMAND ${probe} RESULT_VARIABLE probe_run OUTPUT_QUIET ERROR_QUIET)
else()
  message(FATAL_ERROR "Cannot link a static 32-bit program (install gcc-multilib and "
                      "g++-multilib):\n${probe_log}")
endif()
if(probe_run STREQUAL "0")
  message(STATUS "32-bit route: native (this kernel runs i386 programs)")
else()
  find_program(SLOT_LIST_QEMU_I386 qemu-i386)
  if(NOT SLOT_LIST_QEMU_I386)
    message(FATAL_ERROR "This kernel cannot run i386 programs and qemu-i386 is missing: "
                        "install qemu-user")
  endif()
  # Every test and every program a test starts runs under the emulator.
  set(CMAKE_CROSSCOMPILING_EMULATOR ${SLOT_LIST_QEMU_I386})
  message(STATUS "32-bit route: qemu-i386 user-mode emulation (${SLOT_LIST_QEMU_I386})")
  if(CMAKE_CXX_FLAGS MATCHES "-fsanitize=[^ ]*address")
    # LeakSanitizer stops the process's threads with ptrace at exit, which
    # qemu's user mode does not provide: the program hangs there. Addresses
    # are still checked; leaks are checked by the native and 64-bit runs.
    # The sanitizer reads the host process's environment, so qemu's own -E
    # would not reach it.
    find_program(SLOT_LIST_ENV env REQUIRED)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${SLOT_LIST_ENV} ASAN_OPTIONS=detect_leaks=0:abort_on_error=1
                                      ${SLOT_LIST_QEMU_I386})
    message(STATUS "32-bit route: LeakSanitizer is off under qemu-i386")
  endif()
  # What a test that starts a program of the build as a child process puts
  # in front of it, since the kernel cannot run the program itself.
  set(SLOT_LIST_CHILD_RUNNER ${CMAKE_CROSSCOMPILING_EMULATOR})
endif()
