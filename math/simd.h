// Which vector instructions the core uses, chosen when it is compiled.
// DEMO_CORE_SSE2 is 1 where SSE2 is there (x86, x86-64, and the web build,
// whose SSE2 intrinsics run on WebAssembly SIMD) and 0 elsewhere (aarch64,
// or any build with DEMO_PLAIN_CORE defined, the CMake option of that name),
// where plain C++ does the same work. Both paths only move words and take
// IEEE float products in the same order, so they give the same bits.
#pragma once

#if defined(__SSE2__) && !defined(DEMO_PLAIN_CORE)
#define DEMO_CORE_SSE2 1
#include <emmintrin.h>
#else
#define DEMO_CORE_SSE2 0
#endif
