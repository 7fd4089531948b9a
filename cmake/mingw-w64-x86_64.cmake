# 64-bit Windows. See mingw-w64.cmake.
set(ORV_MINGW_TRIPLET x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
