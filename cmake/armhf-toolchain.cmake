# Cross-compiling for 32-bit ARM Linux (armhf) with Debian's arm-linux-gnueabihf toolchain;
# programs built here run on the build machine under qemu-arm.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR arm)

set(CMAKE_C_COMPILER arm-linux-gnueabihf-gcc)
set(CMAKE_CXX_COMPILER arm-linux-gnueabihf-g++)

set(HPMIMG_TARGET_SYSROOT /usr/arm-linux-gnueabihf)
set(CMAKE_FIND_ROOT_PATH ${HPMIMG_TARGET_SYSROOT})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# CTest runs every test program, and gtest_discover_tests its listing, through this.
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-arm -L ${HPMIMG_TARGET_SYSROOT} CACHE STRING
    "Runs target programs on the build machine")
