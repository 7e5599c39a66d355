# Cross build for 64-bit Windows with Debian's mingw-w64 (posix threads).
# Programs run under wine64 (ctest and the scripts use it as the emulator);
# GoogleTest is built from its sources with this compiler.
#   cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(VESK_CROSS_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${VESK_CROSS_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VESK_CROSS_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${VESK_CROSS_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${VESK_CROSS_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

find_program(VESK_WINE NAMES wine64 PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(VESK_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${VESK_WINE})
endif()
set(VESK_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources for cross builds")
