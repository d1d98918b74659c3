// Sines and cosines of floats as the core computes them: in double precision
// and rounded once to float. The C libraries' own float versions (glibc's on
// Linux, musl's in the web build, mingw-w64's on Windows) differ in the last
// bit for some arguments, which would make the builds draw slightly
// different frames; the double result rounded to float is the same on all
// three, so every build computes the same numbers.
#pragma once

#include <cmath>

inline float portable_sin(float x)
{
    return static_cast<float>(std::sin(static_cast<double>(x)));
}

inline float portable_cos(float x)
{
    return static_cast<float>(std::cos(static_cast<double>(x)));
}
