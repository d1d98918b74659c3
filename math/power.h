// Powers of floats as the core computes them: exactly, then rounded once to
// float, in place of the C library's powf (not correctly rounded on every
// platform, so the builds could differ in the last bit).
#pragma once

#include "math/double_double.h"
#ifdef DEMO_MATH_RECORDING
#include "math/trig.h"
#endif

// x^4, the float nearest to the exact value (ties to even). x^2 is exact
// in double (48 significant bits); x^4 (96 bits) is exact as the sum of
// two doubles, which is rounded once. Overflows to infinity beyond about
// 1.8e19 in magnitude, as powf does; results below the float range
// (|x| under about 1e-11) round to zero or a subnormal, also correctly.
inline float portable_pow4(float x)
{
#ifdef DEMO_MATH_RECORDING
    record_math_argument(MathCall::kPow4, x);
#endif
    const double square = static_cast<double>(x) * static_cast<double>(x);
    return dd::round_to_float(dd::two_product(square, square));
}
