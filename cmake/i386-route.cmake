# How programs built for 32-bit x86 Linux (-m32) run here: natively when a
# static probe runs, else under qemu-i386. No route stops the configuration:
# the 32-bit runs are never skipped.
if(NOT (CMAKE_SYSTEM_NAME STREQUAL "Linux" AND CMAKE_SIZEOF_VOID_P EQUAL 4))
  return()
endif()

# Static and without the sanitizers, so that only the kernel decides; a
# function, so that the flags it changes are its own.
function(slot_list_i386_probe)
  string(REGEX REPLACE "-fsanitize[^ ]*" "" CMAKE_C_FLAGS "${CMAKE_C_FLAGS}")
  set(CMAKE_EXE_LINKER_FLAGS "")
  try_run(probe_run probe_built ${CMAKE_BINARY_DIR}/i386-probe
          ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/probe/exit0.c
          LINK_OPTIONS -static
          COMPILE_OUTPUT_VARIABLE probe_log)
  set(probe_run "${probe_run}" PARENT_SCOPE)
  set(probe_built "${probe_built}" PARENT_SCOPE)
  set(probe_log "${probe_log}" PARENT_SCOPE)
endfunction()

slot_list_i386_probe()
if(NOT probe_built)
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
