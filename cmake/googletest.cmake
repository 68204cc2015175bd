# Decides whether the tests are built and makes GoogleTest available for them.
# SLOT_LIST_TEST is ON (GoogleTest required), OFF, or AUTO: the tests are built
# when GoogleTest is found, and otherwise configuration says so in one line and
# goes on, so that a first build needs nothing beyond a compiler and CMake.
# Sets SLOT_LIST_BUILD_TESTS.
set(SLOT_LIST_BUILD_TESTS OFF)
string(TOUPPER "${SLOT_LIST_TEST}" test_mode)
if(test_mode STREQUAL "AUTO")
  set(required OFF)
elseif(SLOT_LIST_TEST)
  set(required ON)
else()
  return()
endif()

# Cross and -m32 builds cannot use the host's GoogleTest package.
if(CMAKE_CROSSCOMPILING OR SLOT_LIST_GTEST_FROM_SOURCE)
  if(EXISTS ${SLOT_LIST_GTEST_SOURCE_DIR}/CMakeLists.txt)
    include(${PROJECT_SOURCE_DIR}/cmake/gtest-from-source.cmake)
    set(SLOT_LIST_BUILD_TESTS ON)
  elseif(required)
    message(FATAL_ERROR "No GoogleTest sources in ${SLOT_LIST_GTEST_SOURCE_DIR} (install "
                        "libgtest-dev, or set SLOT_LIST_GTEST_SOURCE_DIR)")
  endif()
elseif(required)
  find_package(GTest REQUIRED)
  set(SLOT_LIST_BUILD_TESTS ON)
else()
  find_package(GTest QUIET)
  if(GTest_FOUND)
    set(SLOT_LIST_BUILD_TESTS ON)
  endif()
endif()

if(NOT SLOT_LIST_BUILD_TESTS)
  message(STATUS "GoogleTest not found: building without the tests "
                 "(install libgtest-dev, or set SLOT_LIST_TEST=ON to require them)")
endif()
