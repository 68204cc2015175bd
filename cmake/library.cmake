# slot_list, static or shared as BUILD_SHARED_LIBS says, is made of
# slot_list_objects, as the tests are: they reach the internals in a shared
# build too. Hidden visibility: a shared library exports only what slot_list.h
# marks SLOT_LIST_API, a static one nothing, so a user's shared object that
# links it exports none of it.

set(SLOT_LIST_SOURCE_DIR ${PROJECT_SOURCE_DIR}/list)

# Every source on every platform: each platform file is empty but on its own.
set(SLOT_LIST_SOURCES
  ${SLOT_LIST_SOURCE_DIR}/heap.cpp
  ${SLOT_LIST_SOURCE_DIR}/create_insert.cpp
  ${SLOT_LIST_SOURCE_DIR}/walk.cpp
  ${SLOT_LIST_SOURCE_DIR}/delete.cpp
  ${SLOT_LIST_SOURCE_DIR}/platform_posix.cpp
  ${SLOT_LIST_SOURCE_DIR}/platform_win.cpp)
if(NOT WIN32)
  find_package(Threads REQUIRED)
endif()
set(SLOT_LIST_PRIVATE_INCLUDE_DIRS ${SLOT_LIST_SOURCE_DIR})

set(SLOT_LIST_PUBLIC_HEADERS
  ${SLOT_LIST_SOURCE_DIR}/include/slot_list/slot_list.h
  ${SLOT_LIST_SOURCE_DIR}/include/slot_list/slot_list.hpp)

# C++17 is the library's own requirement, not its users': C users need no C++
# compiler, and slot_list.hpp stops an older C++ with an #error.
function(slot_list_usage target scope)
  target_include_directories(${target} ${scope} $<BUILD_INTERFACE:${SLOT_LIST_SOURCE_DIR}/include>)
  if(NOT WIN32)
    target_link_libraries(${target} ${scope} Threads::Threads)
  endif()
endfunction()

add_library(slot_list_objects OBJECT ${SLOT_LIST_SOURCES})
target_compile_features(slot_list_objects PRIVATE cxx_std_17)
target_include_directories(slot_list_objects PRIVATE ${SLOT_LIST_PRIVATE_INCLUDE_DIRS})
# A static library goes into users' shared objects too, so it is
# position-independent unless the user said otherwise.
if(DEFINED CMAKE_POSITION_INDEPENDENT_CODE)
  set(SLOT_LIST_PIC ${CMAKE_POSITION_INDEPENDENT_CODE})
else()
  set(SLOT_LIST_PIC ON)
endif()
set_target_properties(slot_list_objects PROPERTIES
  POSITION_INDEPENDENT_CODE ${SLOT_LIST_PIC}
  C_VISIBILITY_PRESET hidden
  CXX_VISIBILITY_PRESET hidden
  VISIBILITY_INLINES_HIDDEN ON)
slot_list_usage(slot_list_objects PUBLIC)
slot_list_warnings(slot_list_objects)

add_library(slot_list $<TARGET_OBJECTS:slot_list_objects>)
add_library(SlotList::slot_list ALIAS slot_list)
slot_list_usage(slot_list PUBLIC)
target_include_directories(slot_list PUBLIC $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
get_target_property(SLOT_LIST_KIND slot_list TYPE)
if(SLOT_LIST_KIND STREQUAL "SHARED_LIBRARY")
  # SLOT_LIST_BUILDING is defined only while the library's own sources are
  # compiled; users of the shared library get SLOT_LIST_SHARED (dllimport on
  # Windows), the tests, which link the objects, neither. The objects of a
  # shared library are position-independent whatever the user asked.
  set_target_properties(slot_list_objects PROPERTIES POSITION_INDEPENDENT_CODE ON)
  target_compile_definitions(slot_list_objects PRIVATE SLOT_LIST_BUILDING)
  set_target_properties(slot_list PROPERTIES
    VERSION ${PROJECT_VERSION}
    SOVERSION ${PROJECT_VERSION_MAJOR})
  target_compile_definitions(slot_list INTERFACE SLOT_LIST_SHARED)
endif()
