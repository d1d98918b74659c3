# Cross-compiles the 32-bit Windows build with mingw-w64.
#
# Float arithmetic on SSE2 rather than x87, so every intermediate is a true
# 32-bit float, as in the native build.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(mingw_triple i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw.cmake)
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")
