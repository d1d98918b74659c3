# The web build: WebAssembly with Debian's Emscripten (the emscripten
# package), through wrappers that give its Node.js steps Debian's modules.
#
# Float arithmetic is WebAssembly's own: IEEE single and double precision,
# no extended precision and no contraction (-ffp-contract=off is in
# compiler.cmake), so the core computes the same bits as the native build.
set(DEMO_EMSCRIPTEN_ROOT /usr/share/emscripten)
set(CMAKE_C_COMPILER ${CMAKE_CURRENT_LIST_DIR}/web/emcc)
set(CMAKE_CXX_COMPILER ${CMAKE_CURRENT_LIST_DIR}/web/em++)
set(EMSCRIPTEN_ROOT_PATH ${DEMO_EMSCRIPTEN_ROOT})
include(${DEMO_EMSCRIPTEN_ROOT}/cmake/Modules/Platform/Emscripten.cmake)
set(CMAKE_CXX_FLAGS_INIT "-include ${CMAKE_CURRENT_LIST_DIR}/web/bit_cast.h")
