# Cross-compiling for a Linux target with Debian's cross toolchain for the target triple in
# HPMIMG_TARGET_TRIPLE (e.g. arm-linux-gnueabihf, powerpc-linux-gnu); programs built here run
# on the build machine under qemu user-mode emulation.
if(NOT HPMIMG_TARGET_TRIPLE)
    message(FATAL_ERROR "cross-toolchain.cmake: set HPMIMG_TARGET_TRIPLE, e.g. arm-linux-gnueabihf")
endif()
# CMake's checks configure projects of their own; they need the triple too.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES HPMIMG_TARGET_TRIPLE HPMIMG_STATIC)

set(CMAKE_SYSTEM_NAME Linux)
string(REGEX MATCH "^[^-]+" CMAKE_SYSTEM_PROCESSOR "${HPMIMG_TARGET_TRIPLE}")

set(CMAKE_C_COMPILER ${HPMIMG_TARGET_TRIPLE}-gcc)
set(CMAKE_CXX_COMPILER ${HPMIMG_TARGET_TRIPLE}-g++)

set(HPMIMG_TARGET_SYSROOT /usr/${HPMIMG_TARGET_TRIPLE})
set(CMAKE_FIND_ROOT_PATH ${HPMIMG_TARGET_SYSROOT})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# CTest runs every test program through this.
# qemu names 32-bit PowerPC "ppc". Statically linked programs (HPMIMG_STATIC) run without
# the target's libraries, as on a board: no sysroot.
string(REPLACE powerpc ppc hpmimg_qemu qemu-${CMAKE_SYSTEM_PROCESSOR})
if(NOT HPMIMG_STATIC)
    list(APPEND hpmimg_qemu -L ${HPMIMG_TARGET_SYSROOT})
endif()
set(CMAKE_CROSSCOMPILING_EMULATOR ${hpmimg_qemu} CACHE STRING
    "Runs target programs on the build machine")
