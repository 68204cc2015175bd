# The public header states the version for code built without CMake
# (SLOT_LIST_VERSION_MAJOR/MINOR/PATCH in slot_list.h); configuration
# stops when it differs from project(VERSION), so neither is bumped alone.
file(STRINGS ${PROJECT_SOURCE_DIR}/list/include/slot_list/slot_list.h version_lines
     REGEX "^#define SLOT_LIST_VERSION_(MAJOR|MINOR|PATCH) ")
foreach(part MAJOR MINOR PATCH)
  set(header_${part} "")
  foreach(line IN LISTS version_lines)
    if(line MATCHES "^#define SLOT_LIST_VERSION_${part} +([0-9]+)")
      set(header_${part} ${CMAKE_MATCH_1})
    endif()
  endforeach()
endforeach()
set(header_version "${header_MAJOR}.${header_MINOR}.${header_PATCH}")
if(NOT header_version STREQUAL PROJECT_VERSION)
  message(FATAL_ERROR "slot_list.h says version ${header_version}, CMakeLists.txt says "
                      "${PROJECT_VERSION}: make them the same")
endif()
