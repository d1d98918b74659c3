// References for the core's sines, cosines and powers: the C library's
// long double functions (the x87's 64-bit significand on x86-64 Linux, 11
// bits more than double) rounded to float, and an exact integer x^4.
#pragma once

#include <bit>
#include <cmath>
#include <cstdint>
#include <string>

#include <gtest/gtest.h>

namespace reference {

// Every argument the show passes to the sines and cosines (at most 138.3 in
// magnitude) lies within [-kShowRange, kShowRange] (the recording test
// checks it), and the random test covers that interval.
inline constexpr float kShowRange = 160.0f;

inline float sin(float x)
{
    return static_cast<float>(std::sin(static_cast<long double>(x)));
}

inline float cos(float x)
{
    return static_cast<float>(std::cos(static_cast<long double>(x)));
}

// x^4 rounded once to float (ties to even), from the exact 96-bit m^4 of
// x = m * 2^e; for results in the normal float range.
inline float pow4(float x)
{
    if (x == 0.0f) {
        return 0.0f;
    }
    int e = 0;
    const float fraction = std::frexp(std::fabs(x), &e);             // x = fraction * 2^e
    const auto m = static_cast<uint64_t>(std::ldexp(fraction, 24));  // < 2^24
    // m^4 in three 32-bit limbs (m^2 < 2^48).
    __extension__ using U128 = unsigned __int128;
    const U128 m2 = static_cast<U128>(m) * m;
    const U128 m4 = m2 * m2;
    const int bits = 128 - (static_cast<uint64_t>(m4 >> 64) != 0
                                ? std::countl_zero(static_cast<uint64_t>(m4 >> 64))
                                : 64 + std::countl_zero(static_cast<uint64_t>(m4)));
    const int drop = bits > 24 ? bits - 24 : 0;
    U128 kept = m4 >> drop;
    if (drop > 0) {
        const U128 rest = m4 & ((U128{1} << drop) - 1);
        const U128 half = U128{1} << (drop - 1);
        if (rest > half || (rest == half && (kept & 1) != 0)) {
            kept += 1;
        }
    }
    // x^4 = m^4 * 2^(4 (e - 24)).
    return std::ldexp(static_cast<float>(static_cast<uint64_t>(kept)), drop + 4 * (e - 24));
}

inline std::string bits(float x)
{
    char text[64];
    std::snprintf(text, sizeof text, "%a (0x%08X)", static_cast<double>(x),
                  std::bit_cast<uint32_t>(x));
    return text;
}

// Same bits (so -0 differs from +0, and any NaN matches any NaN).
inline ::testing::AssertionResult same_float(float expected, float actual)
{
    if (std::bit_cast<uint32_t>(expected) == std::bit_cast<uint32_t>(actual) ||
        (std::isnan(expected) && std::isnan(actual))) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure()
           << "expected " << bits(expected) << ", got " << bits(actual);
}

}  // namespace reference
