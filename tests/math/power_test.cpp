// x^4 rounded once to float, and the rounding of a double-double to float
// it rests on.
#include "math/power.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "math/double_double.h"
#include "tests/math/reference.h"

namespace {

using reference::same_float;

TEST(Pow4, SmallValuesAndTheTrunksHeights)
{
    for (float x : {0.0f, 1.0f, 2.0f, 0.5f, 3.0f, 1.0f / 3.0f, 2.0f / 3.0f, 1.0f - 1.0f / 3.0f,
                    1.0f - 2.0f / 3.0f, 0.1f, 1.5f}) {
        EXPECT_TRUE(same_float(reference::pow4(x), portable_pow4(x))) << reference::bits(x);
        EXPECT_TRUE(same_float(reference::pow4(x), portable_pow4(-x))) << reference::bits(x);
        const auto long_double = static_cast<float>(std::pow(static_cast<long double>(x), 4.0L));
        EXPECT_TRUE(same_float(long_double, portable_pow4(x))) << reference::bits(x);
    }
}

TEST(Pow4, ExactTiesRoundToEven)
{
    // m^4 for odd m from 65 to 75 has 25 significant bits: exactly halfway
    // between two floats.
    for (int m = 65; m <= 75; m += 2) {
        const auto x = static_cast<float>(m);
        EXPECT_TRUE(same_float(reference::pow4(x), portable_pow4(x))) << m;
    }
}

TEST(Pow4, OverflowAndUnderflow)
{
    EXPECT_EQ(portable_pow4(1e10f), std::numeric_limits<float>::infinity());
    EXPECT_EQ(portable_pow4(-1e10f), std::numeric_limits<float>::infinity());
    EXPECT_TRUE(same_float(0.0f, portable_pow4(1e-15f)));
    EXPECT_TRUE(same_float(0.0f, portable_pow4(-0.0f)));
}

TEST(Pow4, MillionRandomValues)
{
    // Values whose fourth power is a normal float: |x| in [2^-31, 2^31].
    std::mt19937 generator(4);
    std::uniform_int_distribution<uint32_t> pattern(0x30000000u, 0x4F000000u);
    int mismatches = 0;
    for (int i = 0; i < 1000000; ++i) {
        const float x = std::bit_cast<float>(pattern(generator));
        if (!same_float(reference::pow4(x), portable_pow4(x)) && ++mismatches <= 10) {
            ADD_FAILURE() << reference::bits(x) << ": "
                          << same_float(reference::pow4(x), portable_pow4(x)).message();
        }
    }
    EXPECT_EQ(mismatches, 0);
}

TEST(RoundToFloat, HalfwayDecidedByTheLowPart)
{
    // 1 + 2^-24 lies halfway between 1 and the next float, 1 + 2^-23.
    const double halfway = 1.0 + 0x1p-24;
    EXPECT_EQ(dd::round_to_float({halfway, 0.0}), 1.0f);  // ties to even
    EXPECT_EQ(dd::round_to_float({halfway, 0x1p-80}), 1.0f + 0x1p-23f);
    EXPECT_EQ(dd::round_to_float({halfway, -0x1p-80}), 1.0f);
    // Halfway between 1 + 2^-23 (odd) and 1 + 2^-22: ties go up to the even one.
    const double odd_halfway = 1.0 + 3.0 * 0x1p-24;
    EXPECT_EQ(dd::round_to_float({odd_halfway, 0.0}), 1.0f + 0x1p-22f);
    EXPECT_EQ(dd::round_to_float({odd_halfway, -0x1p-80}), 1.0f + 0x1p-23f);
    // Negative values, and just below a power of two.
    EXPECT_EQ(dd::round_to_float({-halfway, -0x1p-80}), -(1.0f + 0x1p-23f));
    EXPECT_EQ(dd::round_to_float({-halfway, 0x1p-80}), -1.0f);
    EXPECT_EQ(dd::round_to_float({1.0 - 0x1p-25, 0x1p-90}), 1.0f);
    EXPECT_EQ(dd::round_to_float({1.0 - 0x1p-25, -0x1p-90}), 1.0f - 0x1p-24f);
    // Not halfway: the low part cannot move the result.
    EXPECT_EQ(dd::round_to_float({1.0 + 0x1p-25, 0x1p-79}), 1.0f);
}

TEST(TwoProduct, IsExact)
{
    std::mt19937 generator(11);
    std::uniform_int_distribution<uint32_t> mantissa(1u << 23, (1u << 24) - 1);
    for (int i = 0; i < 1000; ++i) {
        // (a * b) of two 48-bit numbers, checked exactly with integers:
        // (p + e) * 2^96 == a_int * b_int.
        const uint64_t a = uint64_t{mantissa(generator)} << 24 | mantissa(generator);
        const uint64_t b = uint64_t{mantissa(generator)} << 24 | mantissa(generator);
        const dd::Double2 product =
            dd::two_product(static_cast<double>(a) * 0x1p-48, static_cast<double>(b) * 0x1p-48);
        __extension__ using U128 = unsigned __int128;
        __extension__ using I128 = __int128;
        const auto exact = static_cast<U128>(a) * b;
        const auto hi = static_cast<I128>(std::ldexp(product.hi, 96));
        const auto lo = static_cast<I128>(std::ldexp(product.lo, 96));
        EXPECT_TRUE(static_cast<U128>(hi + lo) == exact) << i;
    }
}

}  // namespace
