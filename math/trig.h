// Sines and cosines of floats as the core computes them: our own code, so
// that no C library decides a bit of the show (glibc's, musl's and the
// Windows runtimes' sines do not agree in the last bit).
//
// The result is the float nearest to the exact sine or cosine of the float
// argument (correctly rounded, ties to even), for every finite float:
// - |x| < 2^20: the argument is reduced by pi/2 split into three doubles
//   (Cody-Waite), which is exact to about 2^-100;
// - larger |x| (never reached by the show, whose arguments stay within a
//   few hundred): a slower reduction by the bits of 2/pi in integer
//   arithmetic (Payne-Hanek), just as exact;
// - infinities and NaN give NaN.
// The reduced argument's sine or cosine is a polynomial evaluated in double
// precision and rounded once to float. When that double lies too close to
// halfway between two floats for its error bound to decide the rounding
// (about one argument in ten million), the polynomial is evaluated again in
// double-double arithmetic. Only IEEE double +, - and * are used, so the
// Linux, Windows (32 and 64 bit) and web builds compute the same bits.
#pragma once

#include <cstdint>

#include "math/double_double.h"

float portable_sin(float x);
float portable_cos(float x);

#ifdef DEMO_MATH_RECORDING
// Test builds of the core only: every argument of the core's sines,
// cosines and powers is reported here, in call order. The test program
// that defines DEMO_MATH_RECORDING defines this function.
enum class MathCall { kSin, kCos, kPow4 };
void record_math_argument(MathCall call, float x);
#endif

namespace trig_detail {

// x = quadrant * pi/2 + r (modulo 2 pi), |r| at most a little over pi/4.
struct Reduced {
    dd::Double2 r;
    uint32_t quadrant;  // 0..3
};

// The two reductions, for the tests: Cody-Waite for |x| < 2^20, the bits of
// 2/pi for finite |x| >= 2^-6 (portable_sin uses it from 2^20 up).
Reduced reduce_cody_waite(float x);
Reduced reduce_payne_hanek(float x);

// The double-double evaluation alone, which portable_sin and portable_cos
// fall back to; the same results, for the tests of that path.
float sin_accurate(float x);
float cos_accurate(float x);

}  // namespace trig_detail
