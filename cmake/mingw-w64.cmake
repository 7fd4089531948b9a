# Cross-building the engine for Windows with Debian's mingw-w64 compilers (the
# posix thread model: g++-mingw-w64-i686-posix, g++-mingw-w64-x86-64-posix).
# Not used directly: mingw-w64-i686.cmake and mingw-w64-x86_64.cmake set
# ORV_MINGW_TRIPLET and include this file.
#
#   cmake -S . -B build-win32 --toolchain cmake/mingw-w64-i686.cmake
#
# The tests run under wine (CMAKE_CROSSCOMPILING_EMULATOR).
set(CMAKE_SYSTEM_NAME Windows)
if(ORV_MINGW_TRIPLET MATCHES "^i686")
  set(CMAKE_SYSTEM_PROCESSOR x86)
else()
  set(CMAKE_SYSTEM_PROCESSOR AMD64)
endif()

set(CMAKE_C_COMPILER ${ORV_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ORV_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${ORV_MINGW_TRIPLET}-windres)

# Libraries and headers of the target only; programs of the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${ORV_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

find_program(ORV_WINE wine)
if(ORV_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${ORV_WINE})
endif()
