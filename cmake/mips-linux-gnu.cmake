# 32-bit big-endian MIPS with Debian's cross compiler, run under qemu-user:
# the closest host to the device (32-bit big-endian ARM) this machine can run.
#   cmake -S . -B build-mips -DCMAKE_TOOLCHAIN_FILE=cmake/mips-linux-gnu.cmake
# Binaries are linked statically so that qemu needs no target sysroot; the
# tests run through CMAKE_CROSSCOMPILING_EMULATOR. GoogleTest is built for the
# target from Debian's sources.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR mips)

set(CMAKE_C_COMPILER mips-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER mips-linux-gnu-g++)
set(CMAKE_FIND_ROOT_PATH /usr/mips-linux-gnu)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(QUORVEX_STATIC ON CACHE BOOL "Link the binaries statically")

find_program(QUORVEX_QEMU_MIPS NAMES qemu-mips-static qemu-mips REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${QUORVEX_QEMU_MIPS} CACHE FILEPATH "Runs target binaries")
set(QUORVEX_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources for the target")
