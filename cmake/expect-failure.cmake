# cmake -DCOMMAND=a|b|c -P expect-failure.cmake
# Runs the command (its words separated by |) and succeeds only when it ends in
# failure: a non-zero exit status or a signal. The command is a program that
# crashes on purpose, started the way every test is, emulator included.
string(REPLACE "|" ";" command "${COMMAND}")
execute_process(COMMAND ${command} RESULT_VARIABLE result)
if(result STREQUAL "0")
  message(FATAL_ERROR "${COMMAND} crashed, yet its runner reported exit status 0")
endif()
message(STATUS "the crash came back as failure: ${result}")
