# The library target and its build variants.
#
# slot_list is static or shared as BUILD_SHARED_LIBS says. A shared build
# exports only the functions marked SLOT_LIST_API (list/slot_list_export.h).
# Code that reaches the internal heap layer (list/mem.h), such as the tests,
# links a static build instead: slot_list_internal_library() names one.

if(WIN32)
  set(SLOT_LIST_PLATFORM_SOURCES ${PROJECT_SOURCE_DIR}/list/platform/heap.cpp
                                 ${PROJECT_SOURCE_DIR}/list/platform/win.cpp)
else()
  set(SLOT_LIST_PLATFORM_SOURCES ${PROJECT_SOURCE_DIR}/list/platform/heap.cpp
                                 ${PROJECT_SOURCE_DIR}/list/platform/posix.cpp)
  find_package(Threads REQUIRED)
endif()

set(SLOT_LIST_SOURCES
  ${PROJECT_SOURCE_DIR}/list/block.cpp
  ${PROJECT_SOURCE_DIR}/list/insert.cpp
  ${PROJECT_SOURCE_DIR}/list/traverse.cpp
  ${PROJECT_SOURCE_DIR}/list/delete.cpp
  ${SLOT_LIST_PLATFORM_SOURCES})

set(SLOT_LIST_PUBLIC_HEADERS
  ${PROJECT_SOURCE_DIR}/list/slot_list.h
  ${PROJECT_SOURCE_DIR}/list/slot_list_export.h
  ${PROJECT_SOURCE_DIR}/list/slot_list.hpp)

# Adds library target of kind type (STATIC, SHARED, or empty to follow
# BUILD_SHARED_LIBS) built from the list's sources.
function(slot_list_library target type)
  add_library(${target} ${type} ${SLOT_LIST_SOURCES})
  target_include_directories(${target} PUBLIC
    $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/list>
    $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}/slot_list>)
  # slot_list.hpp is C++17; C users are not affected.
  target_compile_features(${target} PUBLIC cxx_std_17)
  slot_list_warnings(${target})
  if(NOT WIN32)
    target_link_libraries(${target} PUBLIC Threads::Threads)
  endif()
  get_target_property(kind ${target} TYPE)
  if(kind STREQUAL "SHARED_LIBRARY")
    # SLOT_LIST_BUILDING is defined only while the shared library itself is
    # compiled; its users get SLOT_LIST_SHARED (dllimport on Windows).
    set_target_properties(${target} PROPERTIES
      DEFINE_SYMBOL SLOT_LIST_BUILDING
      C_VISIBILITY_PRESET hidden
      CXX_VISIBILITY_PRESET hidden
      VISIBILITY_INLINES_HIDDEN ON
      VERSION ${PROJECT_VERSION}
      SOVERSION ${PROJECT_VERSION_MAJOR})
    target_compile_definitions(${target} INTERFACE SLOT_LIST_SHARED)
  endif()
endfunction()

# Sets out_var to a static build of the library: slot_list itself when it is
# static, else a second target built once from the same sources.
function(slot_list_internal_library out_var)
  get_target_property(kind slot_list TYPE)
  if(kind STREQUAL "STATIC_LIBRARY")
    set(${out_var} slot_list PARENT_SCOPE)
    return()
  endif()
  if(NOT TARGET slot_list_static)
    slot_list_library(slot_list_static STATIC)
  endif()
  set(${out_var} slot_list_static PARENT_SCOPE)
endfunction()
