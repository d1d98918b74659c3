// The core's own sines and cosines against the long double references,
// rounded to float: no difference allowed, anywhere.
#include "math/trig.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <limits>
#include <random>

#include "math/double_double.h"
#include "tests/math/reference.h"

namespace {

using reference::same_float;

constexpr float kInfinity = std::numeric_limits<float>::infinity();

// The floats closest to a multiple of pi/2 below 2^20 relative to their
// size, where x - k pi/2 loses the most bits to cancellation.
constexpr float kNearMultiplesOfHalfPi[] = {
    0x1.921fb6p+0f,  0x1.2d97c8p+2f,  0x1.2d97c8p+3f,  0x1.c463acp+3f,  0x1.2d97c8p+4f,
    0x1.78fdbap+4f,  0x1.f9cbe2p+7f,  0x1.f9cbe2p+8f,  0x1.f9cbe2p+9f,  0x1.f9cbe2p+10f,
    0x1.9a48dep+15f, 0x1.9a48dep+16f, 0x1.9a48dep+17f, 0x1.9a48dep+18f, 0x1.9a48dep+19f,
    0x1.04ccbcp+18f, 0x1.04ccbcp+19f, 0x1.87331ap+19f,
};

// Checks both functions, and the slower path alone, at x.
void expect_exact(float x)
{
    EXPECT_TRUE(same_float(reference::sin(x), portable_sin(x))) << "sin " << reference::bits(x);
    EXPECT_TRUE(same_float(reference::cos(x), portable_cos(x))) << "cos " << reference::bits(x);
    EXPECT_TRUE(same_float(reference::sin(x), trig_detail::sin_accurate(x)))
        << "accurate sin " << reference::bits(x);
    EXPECT_TRUE(same_float(reference::cos(x), trig_detail::cos_accurate(x)))
        << "accurate cos " << reference::bits(x);
}

// Counts the arguments whose sine or cosine differs from the reference,
// reporting the first few.
struct Mismatches {
    int count = 0;
    void check(const char* name, float x, float expected, float actual)
    {
        if (std::bit_cast<uint32_t>(expected) != std::bit_cast<uint32_t>(actual)) {
            if (++count <= 10) {
                ADD_FAILURE() << name << "(" << reference::bits(x) << "): expected "
                              << reference::bits(expected) << ", got " << reference::bits(actual);
            }
        }
    }
};

TEST(TrigEdges, ZerosKeepTheirSign)
{
    EXPECT_TRUE(same_float(0.0f, portable_sin(0.0f)));
    EXPECT_TRUE(same_float(-0.0f, portable_sin(-0.0f)));
    EXPECT_TRUE(same_float(1.0f, portable_cos(0.0f)));
    EXPECT_TRUE(same_float(1.0f, portable_cos(-0.0f)));
    EXPECT_TRUE(same_float(-0.0f, trig_detail::sin_accurate(-0.0f)));
}

TEST(TrigEdges, TinyArguments)
{
    // Around 2^-12, below which sin x rounds to x and cos x to 1, down to
    // the smallest subnormal.
    const float tiny[] = {0x1p-12f,
                          std::nextafter(0x1p-12f, 0.0f),
                          std::nextafter(0x1p-12f, 1.0f),
                          0x1.fffffep-12f,
                          0x1.6a09e6p-12f,
                          0x1p-11f,
                          0x1.8p-9f,
                          1e-5f,
                          1e-20f,
                          std::numeric_limits<float>::min(),
                          std::numeric_limits<float>::denorm_min()};
    for (float x : tiny) {
        expect_exact(x);
        expect_exact(-x);
    }
}

TEST(TrigEdges, QuarterPiWhereTheReductionStarts)
{
    float x = 0.78539816f;
    for (int i = 0; i < 8; ++i) {
        x = std::nextafter(x, 0.0f);
    }
    for (int i = 0; i < 16; ++i, x = std::nextafter(x, 1.0f)) {
        expect_exact(x);
        expect_exact(-x);
    }
}

TEST(TrigEdges, NearMultiplesOfHalfPi)
{
    // The floats nearest to k pi/2 for small k, and to multiples the show
    // passes through (the quarter sines of the fades and the rocking).
    for (int k = 1; k <= 400; ++k) {
        const auto x = static_cast<float>(static_cast<long double>(k) * 1.5707963267948966192L);
        for (float y : {std::nextafter(x, 0.0f), x, std::nextafter(x, kInfinity)}) {
            expect_exact(y);
            expect_exact(-y);
        }
    }
    for (float x : kNearMultiplesOfHalfPi) {
        expect_exact(x);
        expect_exact(-x);
    }
}

TEST(TrigEdges, AroundTheReductionLimit)
{
    // 2^20: the Cody-Waite reduction below, the reduction by the bits of
    // 2/pi from there up.
    float x = 0x1p20f;
    for (int i = 0; i < 8; ++i) {
        x = std::nextafter(x, 0.0f);
    }
    for (int i = 0; i < 16; ++i, x = std::nextafter(x, kInfinity)) {
        expect_exact(x);
        expect_exact(-x);
    }
}

TEST(TrigEdges, HugeArguments)
{
    const float huge[] = {std::numeric_limits<float>::max(),
                          0x1p127f,
                          0x1.2d97c8p+3f * 0x1p100f,
                          16367173.0f * 0x1p72f,  // close to a multiple of pi/2
                          1e10f,
                          1e30f,
                          0x1p24f,
                          0x1p24f + 2.0f};
    for (float x : huge) {
        expect_exact(x);
        expect_exact(-x);
    }
}

TEST(TrigEdges, InfinitiesAndNaNGiveNaN)
{
    for (float x : {kInfinity, -kInfinity, std::numeric_limits<float>::quiet_NaN()}) {
        EXPECT_TRUE(std::isnan(portable_sin(x)));
        EXPECT_TRUE(std::isnan(portable_cos(x)));
        EXPECT_TRUE(std::isnan(trig_detail::sin_accurate(x)));
        EXPECT_TRUE(std::isnan(trig_detail::cos_accurate(x)));
    }
}

TEST(TrigEdges, CloseToHalfwayBetweenTwoFloats)
{
    // Every float in [2^-12, 160) whose sine or cosine lies within 2^-48
    // (relative) of halfway between two floats: the double result cannot
    // decide the rounding there and the double-double path does.
    const float close[] = {
        0x1p-12f,       0x1.d12edp-12f, 0x1.1e377ap-11f, 0x1.250bfep-11f, 0x1.a8872ap-11f,
        0x1.0a403p-10f, 0x1.869c24p-9f, 0x1.20ffccp-7f,  0x1.f9f7fep-6f,  0x1.0ca1d4p-5f,
        0x1.b141d4p-5f, 0x1.589f8p-4f,  0x1.9eab2ep-4f,  0x1.c4dfap-4f,   0x1.bf4e1cp-3f,
        0x1.41cddep-2f, 0x1.e64002p-2f, 0x1.e7061ep-2f,  0x1.fd825cp-2f,  0x1.0c4d4ap+0f,
        0x1.41f49cp+0f, 0x1.544ce4p+0f, 0x1.b6781cp+0f,  0x1.21497ep+1f,  0x1.3e42p+1f,
        0x1.4b3ef8p+1f, 0x1.ce1026p+2f, 0x1.2b7fcp+5f,   0x1.6f1b7p+5f,   0x1.8f219cp+5f,
        0x1.2e2296p+6f, 0x1.a88a5p+6f,
    };
    for (float x : close) {
        expect_exact(x);
        expect_exact(-x);
    }
}

// The two reductions are independent computations of x - k pi/2: where
// both apply they must agree to far below a float's precision, also where
// the cancellation is worst.
TEST(TrigReduction, CodyWaiteAgreesWithTheBitsOfTwoOverPi)
{
    int compared = 0;
    const auto compare = [&compared](float x) {
        const trig_detail::Reduced a = trig_detail::reduce_cody_waite(x);
        const trig_detail::Reduced b = trig_detail::reduce_payne_hanek(x);
        if (a.r.hi > 0.785 || a.r.hi < -0.785) {
            return;  // a rounding of k either way is right at pi/4
        }
        ++compared;
        EXPECT_EQ(a.quadrant, b.quadrant) << reference::bits(x);
        const double difference = (a.r.hi - b.r.hi) + (a.r.lo - b.r.lo);
        const double magnitude = a.r.hi < 0.0 ? -a.r.hi : a.r.hi;
        // Cody-Waite's error is below 2^-98 absolute (k * part3 rounded, k <
        // 2^20); that of the bits of 2/pi below 2^-90 relative.
        EXPECT_LE(difference < 0.0 ? -difference : difference, magnitude * 0x1p-90 + 0x1p-98)
            << reference::bits(x) << ": " << a.r.hi << " + " << a.r.lo << " against " << b.r.hi
            << " + " << b.r.lo;
    };
    std::mt19937 generator(3);
    std::uniform_real_distribution<float> value(0.8f, 0x1p20f);
    for (int i = 0; i < 100000; ++i) {
        const float x = value(generator);
        compare(x);
        compare(-x);
    }
    for (float x : kNearMultiplesOfHalfPi) {
        compare(x);
        compare(-x);
    }
    EXPECT_GT(compared, 199000);
}

// A million uniform values over the range of the show's arguments.
TEST(TrigRandom, MillionInTheShowsRange)
{
    std::mt19937 generator(20240611);
    std::uniform_real_distribution<float> value(-reference::kShowRange, reference::kShowRange);
    Mismatches mismatches;
    for (int i = 0; i < 1000000; ++i) {
        const float x = value(generator);
        mismatches.check("sin", x, reference::sin(x), portable_sin(x));
        mismatches.check("cos", x, reference::cos(x), portable_cos(x));
    }
    EXPECT_EQ(mismatches.count, 0);
}

// A million uniform bit patterns: every finite float is equally likely, so
// every exponent from subnormals to 2^127 is tried, half of them negative.
TEST(TrigRandom, MillionBitPatternsOverAllFiniteFloats)
{
    std::mt19937 generator(7);
    Mismatches mismatches;
    int tried = 0;
    while (tried < 1000000) {
        const float x = std::bit_cast<float>(static_cast<uint32_t>(generator()));
        if (!std::isfinite(x)) {
            continue;
        }
        ++tried;
        mismatches.check("sin", x, reference::sin(x), portable_sin(x));
        mismatches.check("cos", x, reference::cos(x), portable_cos(x));
    }
    EXPECT_EQ(mismatches.count, 0);
}

// The double-double path on its own, which the fast path rarely takes.
TEST(TrigRandom, AccuratePathAlone)
{
    std::mt19937 generator(99);
    std::uniform_real_distribution<float> value(-reference::kShowRange, reference::kShowRange);
    Mismatches mismatches;
    for (int i = 0; i < 100000; ++i) {
        const float x = value(generator);
        mismatches.check("sin_accurate", x, reference::sin(x), trig_detail::sin_accurate(x));
        mismatches.check("cos_accurate", x, reference::cos(x), trig_detail::cos_accurate(x));
        const float y = std::bit_cast<float>(static_cast<uint32_t>(generator()) & 0x7F7FFFFFu);
        mismatches.check("sin_accurate", y, reference::sin(y), trig_detail::sin_accurate(y));
        mismatches.check("cos_accurate", y, reference::cos(y), trig_detail::cos_accurate(y));
    }
    EXPECT_EQ(mismatches.count, 0);
}

}  // namespace
