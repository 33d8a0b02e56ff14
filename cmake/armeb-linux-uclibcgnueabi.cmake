# The device: 32-bit big-endian ARM with uClibc, from a Buildroot-style
# toolchain. QUORVEX_TOOLCHAIN_PREFIX is the compilers' path and name prefix,
# QUORVEX_SYSROOT the target's staging directory (optional):
#   cmake -S . -B build-device -DCMAKE_TOOLCHAIN_FILE=cmake/armeb-linux-uclibcgnueabi.cmake \
#     -DQUORVEX_TOOLCHAIN_PREFIX=/opt/armeb/bin/armeb-linux-uclibcgnueabi- \
#     -DCMAKE_BUILD_TYPE=MinSizeRel -DQUORVEX_BUILD_TESTS=OFF
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR armeb)

set(QUORVEX_TOOLCHAIN_PREFIX "armeb-linux-uclibcgnueabi-" CACHE STRING
    "Path and name prefix of the cross compilers")
set(QUORVEX_SYSROOT "" CACHE PATH "The target's staging directory")
# try_compile projects see the same prefix.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES QUORVEX_TOOLCHAIN_PREFIX QUORVEX_SYSROOT)

set(CMAKE_C_COMPILER ${QUORVEX_TOOLCHAIN_PREFIX}gcc)
set(CMAKE_CXX_COMPILER ${QUORVEX_TOOLCHAIN_PREFIX}g++)
# gcc notes every ARM call whose argument passing changed in gcc 7.1; the
# device's code all comes from one compiler, so they tell nothing.
set(CMAKE_CXX_FLAGS_INIT "-Wno-psabi")
if(QUORVEX_SYSROOT)
  set(CMAKE_SYSROOT ${QUORVEX_SYSROOT})
  set(CMAKE_FIND_ROOT_PATH ${QUORVEX_SYSROOT})
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The device's firmware has the C library but seldom the C++ runtime, and
# a shared one costs far more flash than the binaries: they carry it
# (CMakeLists.txt's QUORVEX_STATIC_CXX_RUNTIME; OFF for an image that ships
# the runtime).
set(QUORVEX_STATIC_CXX_RUNTIME ON CACHE BOOL "Link the C++ runtime into the binaries")
