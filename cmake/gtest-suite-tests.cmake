# One CTest test per GoogleTest suite: each suite a test program lists
# (--gtest_list_tests) becomes a test that runs that suite's cases in one
# process (--gtest_filter=Suite.*). A suite's name keeps ctest's lines short
# where a case's, parameters and all, would not, and since the list is read
# from the program itself a new suite is registered as soon as it is built.
# The approach is that of CMake's gtest_discover_tests: the program lists its
# suites after each build and the result becomes a file that CTest includes;
# under an emulator the listing waits until ctest starts, so that building
# never needs the emulator (whose first start may take a while to set itself
# up: hence DISCOVERY_TIMEOUT). The emulator starts the listing and each test
# alike.
#
#   slot_list_gtest_suite_tests(TARGET [DISCOVERY_TIMEOUT SECONDS]
#                               [PROPERTIES NAME VALUE...])
#
# PROPERTIES go to every suite's test. A suite of a typed test is named as
# Suite<TypeParam>. A suite whose every case skipped is reported as skipped; a
# suite with a skipped case beside passing ones has passed. A program that
# fails to list its suites, or lists none, stops the build (or ctest) with its
# output.
#
# Run with cmake -P, or included by the file CTest reads, this file writes the
# tests file instead.

# GoogleTest's summary when no case passed and every case that ran skipped:
# nothing but the skipped cases' names after it, so no failure and no report
# of a checker that ran at exit (Valgrind's, a sanitizer's). CTest takes a
# match for a skip whatever the exit status, hence the tight pattern. The
# tests file sets it, CTest's reading turning "\n" into a line's end.
set(_slot_list_gtest_all_skipped [=[set(slot_list_gtest_all_skipped "\\[  PASSED  \\] 0 tests\\.\n\\[  SKIPPED \\] [0-9]+ tests?, listed below:\n(\\[  SKIPPED \\] [^\n]*\n)+$")]=])

# Brackets for an argument that holds text (no "]==]" in a suite's name).
function(_slot_list_bracket out text)
  set(${out} "[==[${text}]==]" PARENT_SCOPE)
endfunction()

# Lists the suites of EXECUTABLE and writes TESTS_FILE, which adds one test
# per suite.
function(_slot_list_write_gtest_suites executable emulator working_directory timeout properties
         tests_file)
  file(REMOVE "${tests_file}")
  execute_process(
    COMMAND ${emulator} "${executable}" --gtest_list_tests
    WORKING_DIRECTORY "${working_directory}"
    TIMEOUT ${timeout}
    OUTPUT_VARIABLE listing
    ERROR_VARIABLE errors
    RESULT_VARIABLE result)
  string(REPLACE "\r" "" listing "${listing}")
  # A suite's line is not indented and ends in its name's full stop, or in
  # the type of a typed suite; the cases follow it, indented.
  string(REGEX MATCHALL "\n[^ \n][^\n]*" lines "\n${listing}")
  list(TRANSFORM lines REPLACE "^\n" "")
  list(FILTER lines INCLUDE REGEX "\\.(  # TypeParam = .*)?$")
  # Worded as gtest_discover_tests words it, for whatever reads build logs
  # for it (the mutation tool takes it for a killed mutant).
  if(NOT result EQUAL 0 OR NOT lines)
    string(JOIN " " command ${emulator} "${executable}" --gtest_list_tests)
    message(FATAL_ERROR "Error running test executable: it listed no GoogleTest suite.\n"
                        "  Command: ${command}\n  Result: ${result}\n"
                        "  Output:\n${listing}${errors}")
  endif()

  set(quoted_command "")
  foreach(word IN LISTS emulator)
    _slot_list_bracket(word "${word}")
    string(APPEND quoted_command " ${word}")
  endforeach()
  _slot_list_bracket(word "${executable}")
  string(APPEND quoted_command " ${word}")
  set(quoted_properties "")
  foreach(word IN LISTS properties)
    _slot_list_bracket(word "${word}")
    string(APPEND quoted_properties " ${word}")
  endforeach()
  _slot_list_bracket(quoted_directory "${working_directory}")

  set(script "${_slot_list_gtest_all_skipped}\n")
  foreach(line IN LISTS lines)
    # "Suite." or, for a typed suite, "Suite/0.  # TypeParam = Type".
    if(line MATCHES "^(.*)\\.  # TypeParam = (.*)$")
      set(suite "${CMAKE_MATCH_1}")
      string(REGEX REPLACE "/[0-9]+$" "<${CMAKE_MATCH_2}>" name "${suite}")
    else()
      string(REGEX REPLACE "\\.$" "" suite "${line}")
      set(name "${suite}")
    endif()
    _slot_list_bracket(name "${name}")
    _slot_list_bracket(filter "--gtest_filter=${suite}.*")
    string(APPEND script "add_test(${name}${quoted_command} ${filter})\n"
                         "set_tests_properties(${name} PROPERTIES\n"
                         "  WORKING_DIRECTORY ${quoted_directory}\n"
                         "  SKIP_REGULAR_EXPRESSION \"\${slot_list_gtest_all_skipped}\"\n"
                         " ${quoted_properties})\n")
    if(suite MATCHES "^DISABLED_")
      string(APPEND script "set_tests_properties(${name} PROPERTIES DISABLED TRUE)\n")
    endif()
  endforeach()
  file(WRITE "${tests_file}" "${script}")
endfunction()

if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
  _slot_list_write_gtest_suites("${SUITES_EXECUTABLE}" "${SUITES_EMULATOR}"
                                "${SUITES_WORKING_DIRECTORY}" "${SUITES_TIMEOUT}"
                                "${SUITES_PROPERTIES}" "${SUITES_TESTS_FILE}")
  return()
endif()

function(slot_list_gtest_suite_tests target)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "DISCOVERY_TIMEOUT" "PROPERTIES")
  if(NOT arg_DISCOVERY_TIMEOUT)
    set(arg_DISCOVERY_TIMEOUT 5)
  endif()
  get_property(emulator TARGET ${target} PROPERTY CROSSCOMPILING_EMULATOR)
  set(base "${CMAKE_CURRENT_BINARY_DIR}/${target}_suites")
  set(include_file "${base}_include.cmake")
  get_property(multi_config GLOBAL PROPERTY GENERATOR_IS_MULTI_CONFIG)

  if(NOT emulator)
    set(tests_file "${base}_tests.cmake")
    # Linked again, and so listed again, when this file changes.
    set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS "${CMAKE_CURRENT_FUNCTION_LIST_FILE}")
    add_custom_command(
      TARGET ${target} POST_BUILD
      BYPRODUCTS "${tests_file}"
      COMMAND "${CMAKE_COMMAND}" -D "SUITES_EXECUTABLE=$<TARGET_FILE:${target}>"
              -D "SUITES_EMULATOR=" -D "SUITES_WORKING_DIRECTORY=${CMAKE_CURRENT_BINARY_DIR}"
              -D "SUITES_TIMEOUT=${arg_DISCOVERY_TIMEOUT}" -D "SUITES_PROPERTIES=${arg_PROPERTIES}"
              -D "SUITES_TESTS_FILE=${tests_file}" -P "${CMAKE_CURRENT_FUNCTION_LIST_FILE}"
      VERBATIM)
    file(WRITE "${include_file}"
         "if(EXISTS \"${tests_file}\")\n"
         "  include(\"${tests_file}\")\n"
         "else()\n"
         "  add_test(${target}_NOT_BUILT ${target}_NOT_BUILT)\n"
         "endif()\n")
  else()
    # Listed again when the program, the registration or this file is newer
    # than the list.
    set(config_suffix "")
    if(multi_config)
      set(config_suffix "-$<CONFIG>")
    endif()
    set(tests_file "${base}_tests${config_suffix}.cmake")
    set(generated "${base}_include${config_suffix}.cmake")
    string(CONCAT content
      "if(EXISTS \"$<TARGET_FILE:${target}>\")\n"
      "  if(NOT EXISTS \"${tests_file}\" OR\n"
      "     NOT \"${tests_file}\" IS_NEWER_THAN \"$<TARGET_FILE:${target}>\" OR\n"
      "     NOT \"${tests_file}\" IS_NEWER_THAN \"\${CMAKE_CURRENT_LIST_FILE}\" OR\n"
      "     NOT \"${tests_file}\" IS_NEWER_THAN \"${CMAKE_CURRENT_FUNCTION_LIST_FILE}\")\n"
      "    include(\"${CMAKE_CURRENT_FUNCTION_LIST_FILE}\")\n"
      "    _slot_list_write_gtest_suites([==[$<TARGET_FILE:${target}>]==] [==[${emulator}]==]\n"
      "      [==[${CMAKE_CURRENT_BINARY_DIR}]==] ${arg_DISCOVERY_TIMEOUT}\n"
      "      [==[${arg_PROPERTIES}]==] [==[${tests_file}]==])\n"
      "  endif()\n"
      "  include(\"${tests_file}\")\n"
      "else()\n"
      "  add_test(${target}_NOT_BUILT ${target}_NOT_BUILT)\n"
      "endif()\n")
    file(GENERATE OUTPUT "${generated}" CONTENT "${content}")
    if(multi_config)
      file(WRITE "${include_file}"
           "include(\"${base}_include-\${CTEST_CONFIGURATION_TYPE}.cmake\")\n")
    else()
      set(include_file "${generated}")
    endif()
  endif()
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES "${include_file}")
endfunction()
