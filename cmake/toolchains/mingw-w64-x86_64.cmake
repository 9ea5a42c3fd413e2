# SPDX-License-Identifier: Apache-2.0
# Cross build for 64-bit Windows with Debian's MinGW-w64 (posix threads flavour,
# which std::thread and std::recursive_timed_mutex need). Tests run through Wine.
#   cmake -S . -B build-mingw -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/mingw-w64-x86_64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(JRC_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${JRC_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${JRC_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${JRC_MINGW_TRIPLE}-windres)

# Look for libraries and headers only in the target's trees (the MinGW sysroot
# and whatever prefixes the caller adds to CMAKE_PREFIX_PATH), never in the
# build machine's Linux ones; programs come from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${JRC_MINGW_TRIPLE})
# Prefix holding the cross-compiled third-party libraries (JsonCpp, GoogleTest).
if(JRC_WINDOWS_DEPS_PREFIX)
  list(APPEND CMAKE_FIND_ROOT_PATH "${JRC_WINDOWS_DEPS_PREFIX}")
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Link the GCC, C++ and winpthreads runtimes statically: otherwise every
# program silently needs libwinpthread-1.dll and libstdc++-6.dll beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")

# ctest (and gtest's test discovery) run the programs through Wine.
find_program(JRC_WINE_PROGRAM NAMES wine wine64 REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${JRC_WINE_PROGRAM})
