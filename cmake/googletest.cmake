# Sets SLOT_LIST_BUILD_TESTS and makes GoogleTest available. SLOT_LIST_TEST is
# ON (GoogleTest required), OFF, or AUTO: without GoogleTest one line says so,
# so that a first build needs only a compiler and CMake. GoogleTest is the
# installed package, or built from SLOT_LIST_GTEST_SOURCE_DIR (cross builds).
set(SLOT_LIST_BUILD_TESTS OFF)
if(NOT SLOT_LIST_TEST)
  return()
endif()
string(TOUPPER "${SLOT_LIST_TEST}" test_mode)
if(CMAKE_CROSSCOMPILING AND NOT SLOT_LIST_GTEST_SOURCE_DIR)
  set(SLOT_LIST_GTEST_SOURCE_DIR /usr/src/googletest)
endif()

if(NOT SLOT_LIST_GTEST_SOURCE_DIR)
  if(test_mode STREQUAL "AUTO")
    find_package(GTest QUIET)
  else()
    find_package(GTest REQUIRED)
  endif()
  if(GTest_FOUND)
    set(SLOT_LIST_BUILD_TESTS ON)
  endif()
elseif(EXISTS ${SLOT_LIST_GTEST_SOURCE_DIR}/CMakeLists.txt)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  # GoogleTest has its own Windows threading; keep winpthread out of it. With
  # MSVC it would pick the static C runtime (/MT) unless told to use the one
  # the project's programs use.
  if(WIN32)
    set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
    set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
  endif()
  # GoogleTest marks its include folders SYSTEM itself, so that its headers do
  # not trip the tests' warnings.
  add_subdirectory(${SLOT_LIST_GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  if(NOT TARGET GTest::gtest)
    add_library(GTest::gtest ALIAS gtest)
    add_library(GTest::gtest_main ALIAS gtest_main)
  endif()
  set(SLOT_LIST_BUILD_TESTS ON)
elseif(NOT test_mode STREQUAL "AUTO")
  message(FATAL_ERROR "No GoogleTest sources in ${SLOT_LIST_GTEST_SOURCE_DIR} (install "
                      "libgtest-dev, or set SLOT_LIST_GTEST_SOURCE_DIR)")
endif()

if(NOT SLOT_LIST_BUILD_TESTS)
  message(STATUS "GoogleTest not found: building without the tests "
                 "(install libgtest-dev, or set SLOT_LIST_TEST=ON to require them)")
endif()
