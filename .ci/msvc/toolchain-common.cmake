# What both MSVC-mode toolchain files share (SLOT_LIST_MSVC_TRIPLE names the
# target): clang-cl with cl's options and warnings, Wine's C runtime and
# Windows headers, libc++'s headers, the stand-ins of include/ for what Wine
# lacks, and runtime.cmake (after project()) for what every program links.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER clang-cl-14)
set(CMAKE_CXX_COMPILER clang-cl-14)
set(CMAKE_LINKER lld-link-14)
set(CMAKE_AR llvm-lib-14)
set(CMAKE_RC_COMPILER llvm-rc-14)
set(CMAKE_MT llvm-mt-14)

# Programs cannot link before runtime.cmake is in: CMake's own checks
# compile only.
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)

# Nothing of the host's (GoogleTest, Google Benchmark, GLib) is for this
# target; GoogleTest comes from its sources, as in every cross build.
set(CMAKE_FIND_ROOT_PATH ${CMAKE_CURRENT_LIST_DIR}/no-packages)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(wine_include /usr/include/wine/wine)
set(libcxx_include /usr/lib/llvm-14/include/c++/v1)
set(shim_include ${CMAKE_CURRENT_LIST_DIR}/include)

# The headers, as system headers (-imsvc, cl's /external:I): libc++ first,
# then the stand-ins, which wrap Wine's with #include_next.
set(flags "--target=${SLOT_LIST_MSVC_TRIPLE} -fms-compatibility-version=19.30")
string(APPEND flags " -imsvc ${shim_include} -imsvc ${wine_include}/msvcrt -imsvc ${wine_include}/windows")
# WCHAR is wchar_t, as with the Windows SDK.
string(APPEND flags " -DWINE_UNICODE_NATIVE")
# Wine's winnt.h defines functions under the names of clang-cl's builtins.
if(SLOT_LIST_MSVC_TRIPLE MATCHES "^x86_64")
  set(clashes _InterlockedCompareExchange128)
else()
  set(clashes _InterlockedAnd64 _InterlockedCompareExchangePointer _InterlockedDecrement64
              _InterlockedExchangeAdd64 _InterlockedExchangePointer _InterlockedIncrement64
              _InterlockedOr64 _InterlockedXor64)
endif()
foreach(name IN LISTS clashes)
  string(APPEND flags " -D${name}=wine${name}")
endforeach()
# cl's /W4 has warnings clang-cl's /W4 (-Wall -Wextra) leaves out: C4244 and
# C4267 (conversions that may lose data), C4456-C4459 (a name hiding another),
# C4702 (unreachable code). These are clang's nearest.
string(APPEND flags " -Wshorten-64-to-32 -Wimplicit-int-conversion -Wfloat-conversion -Wshadow"
                    " -Wunreachable-code")

set(CMAKE_C_FLAGS_INIT "${flags}")
# libc++ here has no build for the MSVC ABI: its headers alone, without the
# parts vcruntime would provide, and without exceptions (nothing to throw
# with); no C++ program of this build links libc++ code.
set(CMAKE_CXX_FLAGS_INIT
    "-imsvc ${libcxx_include} ${flags} -D_LIBCPP_NO_VCRUNTIME -D_LIBCPP_NO_EXCEPTIONS")

# The DLLs' import libraries and the stand-in runtime, not Visual Studio's
# default libraries (runtime.cmake); the entry is the stand-in's.
set(CMAKE_C_STANDARD_LIBRARIES "" CACHE STRING "")
set(CMAKE_CXX_STANDARD_LIBRARIES "" CACHE STRING "")
set(CMAKE_EXE_LINKER_FLAGS_INIT "/nodefaultlib /entry:mainCRTStartup")
if(NOT SLOT_LIST_MSVC_TRIPLE MATCHES "^x86_64")
  # The stand-in runtime has no safe exception handler table.
  string(APPEND CMAKE_EXE_LINKER_FLAGS_INIT " /safeseh:no")
endif()
set(CMAKE_MSVC_RUNTIME_LIBRARY MultiThreadedDLL)

set(CMAKE_PROJECT_SlotList_INCLUDE ${CMAKE_CURRENT_LIST_DIR}/runtime.cmake)
