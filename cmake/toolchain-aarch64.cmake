# Cross build for 64-bit ARM Linux with Debian's aarch64-linux-gnu toolchain.
# Programs run under qemu-aarch64 with the cross sysroot (ctest and the
# scripts use it as the emulator); GoogleTest is built from its sources with
# this compiler.
#   cmake -S . -B build-arm -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-aarch64.cmake
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(VESK_CROSS_TRIPLE aarch64-linux-gnu)
set(CMAKE_C_COMPILER ${VESK_CROSS_TRIPLE}-gcc)
set(CMAKE_CXX_COMPILER ${VESK_CROSS_TRIPLE}-g++)
set(CMAKE_FIND_ROOT_PATH /usr/${VESK_CROSS_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

find_program(VESK_QEMU NAMES qemu-aarch64 NO_CMAKE_FIND_ROOT_PATH)
if(VESK_QEMU)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${VESK_QEMU} -L /usr/${VESK_CROSS_TRIPLE})
endif()
set(VESK_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources for cross builds")
