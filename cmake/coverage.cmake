# coverage_report: the coverage preset's raw profiles merged, the summary of
# list/ in report.txt, every branch count in branches.txt (.ci/figures.py).
if(NOT SLOT_LIST_COVERAGE OR NOT SLOT_LIST_BUILD_TESTS)
  return()
endif()

find_program(SLOT_LIST_LLVM_PROFDATA NAMES llvm-profdata-14 llvm-profdata REQUIRED)
find_program(SLOT_LIST_LLVM_COV NAMES llvm-cov-14 llvm-cov REQUIRED)

set(_profiles ${PROJECT_SOURCE_DIR}/build/coverage/profiles)
set(_merged ${CMAKE_BINARY_DIR}/coverage.profdata)
# The Windows platform file is not built here, so it is not measured.
file(GLOB _measured ${PROJECT_SOURCE_DIR}/list/*.cpp ${PROJECT_SOURCE_DIR}/list/*.h)
list(FILTER _measured EXCLUDE REGEX "platform_win")
set(_objects $<TARGET_FILE:slot_list_tests> -object $<TARGET_FILE:slot_list_fuzz_replay>)

add_custom_target(coverage_report
  COMMAND ${CMAKE_COMMAND} -E echo "merging the raw profiles in ${_profiles}"
  COMMAND sh -c "${SLOT_LIST_LLVM_PROFDATA} merge -sparse -o ${_merged} ${_profiles}/*.profraw && rm -f ${_profiles}/*.profraw"
  COMMAND ${SLOT_LIST_LLVM_COV} report ${_objects} -instr-profile=${_merged} ${_measured}
          > ${CMAKE_BINARY_DIR}/report.txt
  COMMAND ${SLOT_LIST_LLVM_COV} show ${_objects} -instr-profile=${_merged} -show-branches=count
          -show-line-counts-or-regions ${_measured} > ${CMAKE_BINARY_DIR}/branches.txt
  COMMAND ${CMAKE_COMMAND} -E cat ${CMAKE_BINARY_DIR}/report.txt
  VERBATIM)
