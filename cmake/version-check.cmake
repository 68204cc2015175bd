# The public header states the version for code built without CMake
# (SLOT_LIST_VERSION_MAJOR/MINOR/PATCH in slot_list.h); configuration
# stops when it differs from project(VERSION), so neither is bumped alone.
file(STRINGS ${PROJECT_SOURCE_DIR}/list/include/slot_list/slot_list.h version_lines
     REGEX "^#define SLOT_LIST_VERSION_(MAJOR|MINOR|PATCH) ")
set(header_version "")
foreach(part MAJOR MINOR PATCH)
  string(REGEX MATCH "SLOT_LIST_VERSION_${part} +([0-9]+)" line "${version_lines}")
  list(APPEND header_version "${CMAKE_MATCH_1}")
endforeach()
list(JOIN header_version . header_version)
if(NOT header_version STREQUAL PROJECT_VERSION)
  message(FATAL_ERROR "slot_list.h says version ${header_version}, CMakeLists.txt says "
                      "${PROJECT_VERSION}: make them the same")
endif()
