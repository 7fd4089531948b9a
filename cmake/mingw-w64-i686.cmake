# 32-bit Windows (the engine's exports are __stdcall there). See mingw-w64.cmake.
set(ORV_MINGW_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
