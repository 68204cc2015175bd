# The library target, slot_list: static or shared as BUILD_SHARED_LIBS says.
#
# Its users see list/include/ only (#include <slot_list/slot_list.h>); the
# rest of list/ is private to it. A shared build exports only the functions
# marked SLOT_LIST_API (slot_list_export.h). Internal functions live in the
# C++ namespace slot_list::internal; tests of the heap and platform layers
# reach them through the private headers, which only a static build allows.

set(SLOT_LIST_SOURCE_DIR ${PROJECT_SOURCE_DIR}/list)

set(SLOT_LIST_SOURCES
  ${SLOT_LIST_SOURCE_DIR}/mem.cpp
  ${SLOT_LIST_SOURCE_DIR}/slots.cpp
  ${SLOT_LIST_SOURCE_DIR}/create_destroy.cpp
  ${SLOT_LIST_SOURCE_DIR}/insert.cpp
  ${SLOT_LIST_SOURCE_DIR}/delete.cpp
  ${SLOT_LIST_SOURCE_DIR}/traverse_find.cpp
  ${SLOT_LIST_SOURCE_DIR}/platform/heap.cpp)
# The private headers: list/ itself, and the platform's own folder, which
# holds what platform.h includes from it (platform_lock.h).
if(WIN32)
  list(APPEND SLOT_LIST_SOURCES ${SLOT_LIST_SOURCE_DIR}/platform/win.cpp)
  set(SLOT_LIST_PRIVATE_INCLUDE_DIRS ${SLOT_LIST_SOURCE_DIR} ${SLOT_LIST_SOURCE_DIR}/platform/win)
else()
  list(APPEND SLOT_LIST_SOURCES ${SLOT_LIST_SOURCE_DIR}/platform/posix.cpp)
  set(SLOT_LIST_PRIVATE_INCLUDE_DIRS ${SLOT_LIST_SOURCE_DIR} ${SLOT_LIST_SOURCE_DIR}/platform/posix)
  find_package(Threads REQUIRED)
endif()

set(SLOT_LIST_PUBLIC_HEADERS
  ${SLOT_LIST_SOURCE_DIR}/include/slot_list/slot_list.h
  ${SLOT_LIST_SOURCE_DIR}/include/slot_list/slot_list_export.h
  ${SLOT_LIST_SOURCE_DIR}/include/slot_list/slot_list.hpp)

add_library(slot_list ${SLOT_LIST_SOURCES})
add_library(SlotList::slot_list ALIAS slot_list)
target_include_directories(slot_list
  PUBLIC $<BUILD_INTERFACE:${SLOT_LIST_SOURCE_DIR}/include>
         $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>
  PRIVATE ${SLOT_LIST_PRIVATE_INCLUDE_DIRS})
# slot_list.hpp is C++17; C users are not affected.
target_compile_features(slot_list PUBLIC cxx_std_17)
slot_list_warnings(slot_list)
if(NOT WIN32)
  target_link_libraries(slot_list PUBLIC Threads::Threads)
endif()
get_target_property(SLOT_LIST_KIND slot_list TYPE)
if(SLOT_LIST_KIND STREQUAL "SHARED_LIBRARY")
  # SLOT_LIST_BUILDING is defined only while the shared library itself is
  # compiled; its users get SLOT_LIST_SHARED (dllimport on Windows).
  set_target_properties(slot_list PROPERTIES
    DEFINE_SYMBOL SLOT_LIST_BUILDING
    C_VISIBILITY_PRESET hidden
    CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON
    VERSION ${PROJECT_VERSION}
    SOVERSION ${PROJECT_VERSION_MAJOR})
  target_compile_definitions(slot_list INTERFACE SLOT_LIST_SHARED)
endif()
