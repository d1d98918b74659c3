# Compiler settings shared by every target.
#
# The show's numbers are 32-bit float results: no fast-math, no fused
# multiply-add contraction, and SSE arithmetic on 32-bit x86 (never x87's
# extended precision).
add_library(demo_options INTERFACE)
target_compile_options(demo_options INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wno-sign-conversion
  -fno-fast-math -ffp-contract=off)
if(CMAKE_SYSTEM_PROCESSOR MATCHES "i[3-6]86" OR CMAKE_CXX_COMPILER MATCHES "i686")
  target_compile_options(demo_options INTERFACE -msse2 -mfpmath=sse)
endif()
# The web build: the core's SSE2 intrinsics (vertex conversion, matrices)
# are Emscripten's SSE2 headers on WebAssembly's 128-bit SIMD, which every
# browser with WebGL 2 runs; only moves, shuffles and IEEE products are
# used, so the results are the same bits as on x86.
if(EMSCRIPTEN)
  target_compile_options(demo_options INTERFACE -msimd128 -msse2)
endif()
target_include_directories(demo_options INTERFACE ${PROJECT_SOURCE_DIR})
# The core's SSE2 code (math/simd.h) is used wherever the compiler offers
# SSE2; processors without it (aarch64) get the plain C++ form, the same
# bits. This forces the plain form on x86 too.
option(DEMO_PLAIN_CORE "Build the core without SSE2 intrinsics, as for processors without SSE2" OFF)
if(DEMO_PLAIN_CORE)
  target_compile_definitions(demo_options INTERFACE DEMO_PLAIN_CORE)
endif()

# The sanitize preset: AddressSanitizer (with LeakSanitizer) and
# UndefinedBehaviorSanitizer on every target that links demo_options. Any
# undefined behaviour stops the program (no recovery), so a finding fails its
# test instead of scrolling past. GCC leaves float-to-integer overflow out of
# -fsanitize=undefined; it is undefined all the same, so it is asked for by
# name. _GLIBCXX_ASSERTIONS adds bounds checks to std::array, std::vector and
# std::span indexing without changing the library's ABI. The run-time options
# (leak checking, suppressions for the system's uninstrumented libraries) are
# in CMakePresets.json and scripts/sanitize.sh. The preset builds at -O1:
# at -O0 the instrumented asset generator alone took 93 s of a test's 120 s.
option(DEMO_SANITIZE "Build with the address and undefined-behaviour sanitizers" OFF)
if(DEMO_SANITIZE)
  set(demo_sanitizers address,undefined,float-cast-overflow)
  target_compile_options(demo_options INTERFACE
    -fsanitize=${demo_sanitizers} -fno-sanitize-recover=all -fno-omit-frame-pointer)
  target_compile_definitions(demo_options INTERFACE _GLIBCXX_ASSERTIONS)
  # With the instrumentation GCC 12 warns that libstdc++'s own std::function
  # inside std::regex "may be used uninitialized" (in a test that uses
  # std::regex); the other builds keep the warning and judge our code by it.
  target_compile_options(demo_options INTERFACE -Wno-maybe-uninitialized)
  target_link_options(demo_options INTERFACE -fsanitize=${demo_sanitizers})
  # Libraries stay loaded until exit, so that LeakSanitizer still sees their
  # globals (see the file). Executables only, and exported so that libraries
  # loaded at run time bind to it too. The target (for the build order) and
  # its object (for the link: objects do not pass through an interface
  # library) are both named.
  add_library(demo_keep_libraries_loaded OBJECT
    ${PROJECT_SOURCE_DIR}/cmake/sanitize/keep_libraries_loaded.c)
  set(demo_in_executables $<STREQUAL:$<TARGET_PROPERTY:TYPE>,EXECUTABLE>)
  target_link_options(demo_options INTERFACE
    $<${demo_in_executables}:-Wl,--export-dynamic-symbol=dlclose>)
  target_link_libraries(demo_options INTERFACE
    $<${demo_in_executables}:demo_keep_libraries_loaded>
    $<${demo_in_executables}:$<TARGET_OBJECTS:demo_keep_libraries_loaded>>)
endif()
