# Cross-compiles the 64-bit Windows build with mingw-w64: the same sources as
# the 32-bit build, for Windows on x86-64 and for Wine's 64-bit loader on
# machines that cannot run 32-bit code. x86-64 computes floats on SSE
# already.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(mingw_triple x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw.cmake)
