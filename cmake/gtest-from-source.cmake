# GoogleTest built with the project, for cross builds where no GTest package
# exists for the target: from the sources Debian's libgtest-dev installs, in
# SLOT_LIST_GTEST_SOURCE_DIR (cmake/googletest.cmake).

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
