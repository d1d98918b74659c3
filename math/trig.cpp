#include "math/trig.h"

#include <bit>
#include <cstdint>

#include "math/double_double.h"

using trig_detail::Reduced;

namespace {

using dd::Double2;

// Below this, sin x rounds to x and cos x to 1: x^2 / 6 and x^2 / 2 stay
// below half a unit in the last place of x and of 1 - 2^-24.
constexpr float kTiny = 0x1p-12f;
// Below this the argument is its own reduced argument.
constexpr float kQuarterPi = 0.78539816f;
// Below this the Cody-Waite reduction is exact (k < 2^20).
constexpr float kCodyWaiteLimit = 0x1p20f;

constexpr double kTwoOverPi = 0x1.45f306dc9c883p-1;
// pi/2 = part1 + part2 + part3 + about 1e-37: part1 and part2 hold 33
// significant bits each, so k * part1 and k * part2 are exact for k < 2^20.
constexpr double kPiOver2Part1 = 0x1.921fb544p+0;
constexpr double kPiOver2Part2 = 0x1.0b4611a6p-34;
constexpr double kPiOver2Part3 = 0x1.3198a2e037073p-69;
constexpr Double2 kPiOver2 = {0x1.921fb54442d18p+0, 0x1.1a62633145c07p-54};
// Rounds a double below 2^51 in magnitude to an integer when added and
// subtracted.
constexpr double kRoundingShift = 0x1.8p52;

}  // namespace

Reduced trig_detail::reduce_cody_waite(float x)
{
    const double k = (static_cast<double>(x) * kTwoOverPi + kRoundingShift) - kRoundingShift;
    // x and k * part1 are multiples of 2^-32 below 2^53 * 2^-32 apart: exact.
    const double t = static_cast<double>(x) - k * kPiOver2Part1;
    const Double2 u = dd::two_sum(t, -(k * kPiOver2Part2));
    const double w = u.lo - k * kPiOver2Part3;
    return {dd::two_sum(u.hi, w), static_cast<uint32_t>(static_cast<int32_t>(k)) & 3u};
}

namespace {

// 2/pi in binary, 32 bits a word, after a word of zeros: word j holds the
// bits of weight 2^-(32 (j - 1) + 1) to 2^-(32 j).
constexpr uint32_t kTwoOverPiBits[] = {
    0x00000000, 0xA2F9836E, 0x4E441529, 0xFC2757D1, 0xF534DDC0, 0xDB629599,
    0x3C439041, 0xFE5163AB, 0xDEBBC561, 0xB7246E3A, 0x424DD2E0,
};
constexpr int kWindowWords = 5;

// 32 bits of the 192-bit number p (word 0 the lowest) from bit position
// `low` up; bits below 0 read as zeros.
uint32_t bits_at(const uint32_t (&p)[6], int low)
{
    if (low < 0) {
        return bits_at(p, 0) << -low;
    }
    const int word = low / 32;
    const int shift = low % 32;
    const uint64_t pair = (uint64_t{word + 1 < 6 ? p[word + 1] : 0u} << 32) | p[word];
    return static_cast<uint32_t>(pair >> shift);
}

}  // namespace

// x * 2/pi modulo 4 from 160 bits of 2/pi in integer arithmetic. The bits of
// 2/pi that only add multiples of 4 are skipped; those below the window add
// less than 2^-102 to the fraction.
Reduced trig_detail::reduce_payne_hanek(float x)
{
    const uint32_t bits = std::bit_cast<uint32_t>(x);
    const uint64_t m = (bits & 0x7FFFFFu) | 0x800000u;
    const int e = static_cast<int>((bits >> 23) & 0xFFu) - 150;  // |x| = m * 2^e, e >= -30
    // The first bit of 2/pi that matters has weight 2^-(e - 1); the window
    // starts at the word holding it.
    const int word = (e - 1 + 31) / 32;
    uint32_t p[6] = {};
    uint64_t carry = 0;
    for (int j = 0; j < kWindowWords; ++j) {
        const uint64_t product = m * kTwoOverPiBits[word + kWindowWords - 1 - j] + carry;
        p[j] = static_cast<uint32_t>(product);
        carry = product >> 32;
    }
    p[kWindowWords] = static_cast<uint32_t>(carry);
    // |x| * 2/pi = p * 2^-s, s from 127 to 158.
    const int s = 32 * word + 128 - e;
    uint32_t quadrant = bits_at(p, s) & 3u;
    // The fraction's top 128 bits, most significant first.
    uint32_t f[4] = {bits_at(p, s - 32), bits_at(p, s - 64), bits_at(p, s - 96),
                     bits_at(p, s - 128)};
    const bool negative = (f[0] >> 31) != 0;  // a fraction of 1/2 or more
    if (negative) {
        // 1 - fraction, and the next quadrant.
        quadrant = (quadrant + 1) & 3u;
        uint64_t borrow = 1;
        for (int j = 3; j >= 0; --j) {
            const uint64_t v = uint64_t{static_cast<uint32_t>(~f[j])} + borrow;
            f[j] = static_cast<uint32_t>(v);
            borrow = v >> 32;
        }
    }
    // Normalise the 128-bit magnitude so that its top bit is set.
    uint64_t hi = (uint64_t{f[0]} << 32) | f[1];
    uint64_t lo = (uint64_t{f[2]} << 32) | f[3];
    int lz = 0;
    if (hi == 0) {
        hi = lo;
        lo = 0;
        lz = 64;
    }
    if (hi == 0) {
        return {{0.0, 0.0}, quadrant};  // x * 2/pi is never this close to an integer
    }
    const int shift = std::countl_zero(hi);
    if (shift != 0) {
        hi = (hi << shift) | (lo >> (64 - shift));
        lo <<= shift;
    }
    lz += shift;
    const Double2 top = dd::two_sum(static_cast<double>(static_cast<uint32_t>(hi >> 32)) * 0x1p32,
                                    static_cast<double>(static_cast<uint32_t>(hi)));
    const double rest = static_cast<double>(static_cast<uint32_t>(lo >> 32)) * 0x1p-32 +
                        static_cast<double>(static_cast<uint32_t>(lo)) * 0x1p-64;
    const Double2 fraction_scaled = dd::quick_two_sum(top.hi, top.lo + rest);
    // The fraction is fraction_scaled * 2^-(64 + lz), lz < 128: a normal double.
    const double scale = std::bit_cast<double>(uint64_t(1023 - 64 - lz) << 52);
    Double2 r = dd::mul({fraction_scaled.hi * scale, fraction_scaled.lo * scale}, kPiOver2);
    if (negative) {
        r = dd::negated(r);
    }
    if (x < 0.0f) {
        return {dd::negated(r), (4u - quadrant) & 3u};
    }
    return {r, quadrant};
}

namespace {

// |x| at least kTiny and finite.
Reduced reduce(float x)
{
    const float ax = x < 0.0f ? -x : x;
    if (ax < kQuarterPi) {
        return {{x, 0.0}, 0};
    }
    if (ax < kCodyWaiteLimit) {
        return trig_detail::reduce_cody_waite(x);
    }
    return trig_detail::reduce_payne_hanek(x);
}

// ---- double precision, the usual path ----

// Taylor coefficients 1/n!, with their signs, rounded to double.
constexpr double kSin[] = {
    -0x1.5555555555555p-3,  0x1.1111111111111p-7,  -0x1.a01a01a01a01ap-13, 0x1.71de3a556c734p-19,
    -0x1.ae64567f544e4p-26, 0x1.6124613a86d09p-33, -0x1.ae7f3e733b81fp-41, 0x1.952c77030ad4ap-49,
};  // x^3 .. x^17; the first term left out, x^19 / 19!, is below 2^-63 for |r| < 0.8
constexpr double kCos[] = {
    0x1.5555555555555p-5,  -0x1.6c16c16c16c17p-10, 0x1.a01a01a01a01ap-16, -0x1.27e4fb7789f5cp-22,
    0x1.1eed8eff8d898p-29, -0x1.93974a8c07c9dp-37, 0x1.ae7f3e733b81fp-45, -0x1.6827863b97d97p-53,
};  // x^4 .. x^18; x^20 / 20! is below 2^-67

// sin(r) for r = hi + lo, |r| <= 0.8, within about 2^-52 of its value.
double sin_double(Double2 r)
{
    const double z = r.hi * r.hi;
    double p = kSin[7];
    for (int i = 6; i >= 0; --i) {
        p = p * z + kSin[i];
    }
    return r.hi + (r.lo + r.hi * z * p);
}

// cos(r) for r = hi + lo, |r| <= 0.8, within about 2^-52 of its value.
double cos_double(Double2 r)
{
    const double z = r.hi * r.hi;
    double p = kCos[7];
    for (int i = 6; i >= 0; --i) {
        p = p * z + kCos[i];
    }
    const double half_z = 0.5 * z;
    const double w = 1.0 - half_z;
    // 1 - w - half_z is the rounding error of w, exactly.
    return w + (((1.0 - w) - half_z) + (z * z * p - r.hi * r.lo));
}

// A bound on the relative error of sin_double and cos_double, with the
// reduction's, with room to spare (the analysis gives under 2^-51).
constexpr double kDoubleError = 0x1p-48;

// ---- double-double, when the rounding is close ----

// 1/n! as double-double, with their signs: x^3 .. x^25 and x^2 .. x^26. The
// first terms left out are below 2^-101 for |r| <= 0.8.
constexpr Double2 kSinDD[] = {
    {-0x1.5555555555555p-3, -0x1.5555555555555p-57},
    {0x1.1111111111111p-7, 0x1.1111111111111p-63},
    {-0x1.a01a01a01a01ap-13, -0x1.a01a01a01a01ap-73},
    {0x1.71de3a556c734p-19, -0x1.c154f8ddc6c00p-73},
    {-0x1.ae64567f544e4p-26, 0x1.c062e06d1f209p-80},
    {0x1.6124613a86d09p-33, 0x1.f28e0cc748ebep-87},
    {-0x1.ae7f3e733b81fp-41, -0x1.1d8656b0ee8cbp-97},
    {0x1.952c77030ad4ap-49, 0x1.ac981465ddc6cp-103},
    {-0x1.2f49b46814157p-57, -0x1.2650f61dbdcb4p-112},
    {0x1.71b8ef6dcf572p-66, -0x1.d043ae40c4647p-120},
    {-0x1.761b41316381ap-75, 0x1.3423c7d91404fp-130},
    {0x1.3f3ccdd165fa9p-84, -0x1.58ddadf344487p-139},
};
constexpr Double2 kCosDD[] = {
    {-0x1p-1, 0.0},
    {0x1.5555555555555p-5, 0x1.5555555555555p-59},
    {-0x1.6c16c16c16c17p-10, 0x1.f49f49f49f49fp-65},
    {0x1.a01a01a01a01ap-16, 0x1.a01a01a01a01ap-76},
    {-0x1.27e4fb7789f5cp-22, -0x1.cbbc05b4fa99ap-76},
    {0x1.1eed8eff8d898p-29, -0x1.2aec959e14c06p-83},
    {-0x1.93974a8c07c9dp-37, -0x1.05d6f8a2efd1fp-92},
    {0x1.ae7f3e733b81fp-45, 0x1.1d8656b0ee8cbp-101},
    {-0x1.6827863b97d97p-53, -0x1.eec01221a8b0bp-107},
    {0x1.e542ba4020225p-62, 0x1.ea72b4afe3c2fp-120},
    {-0x1.0ce396db7f853p-70, 0x1.aebcdbd20331cp-124},
    {0x1.f2cf01972f578p-80, -0x1.9ada5fcc1ab14p-135},
    {-0x1.88e85fc6a4e5ap-89, 0x1.71c37ebd16540p-143},
};

template <int N>
Double2 horner(const Double2 (&c)[N], Double2 z)
{
    Double2 p = c[N - 1];
    for (int i = N - 2; i >= 0; --i) {
        p = dd::add(dd::mul(p, z), c[i]);
    }
    return p;
}

Double2 sin_dd(Double2 r)
{
    const Double2 z = dd::mul(r, r);
    return dd::add(r, dd::mul(dd::mul(r, z), horner(kSinDD, z)));
}

Double2 cos_dd(Double2 r)
{
    const Double2 z = dd::mul(r, r);
    return dd::add({1.0, 0.0}, dd::mul(z, horner(kCosDD, z)));
}

// sin(quadrant * pi/2 + r).
float sin_of_reduced_accurate(const Reduced& reduced)
{
    const Double2 y = (reduced.quadrant & 1u) != 0 ? cos_dd(reduced.r) : sin_dd(reduced.r);
    return dd::round_to_float((reduced.quadrant & 2u) != 0 ? dd::negated(y) : y);
}

float sin_of_reduced(const Reduced& reduced)
{
    double y = (reduced.quadrant & 1u) != 0 ? cos_double(reduced.r) : sin_double(reduced.r);
    if ((reduced.quadrant & 2u) != 0) {
        y = -y;
    }
    // Every value within the error bound rounds to the same float, or the
    // slower path decides.
    const auto low = static_cast<float>(y * (1.0 - kDoubleError));
    const auto high = static_cast<float>(y * (1.0 + kDoubleError));
    if (low == high) {
        return low;
    }
    return sin_of_reduced_accurate(reduced);
}

bool finite(float x)
{
    return x - x == 0.0f;
}

}  // namespace

float portable_sin(float x)
{
#ifdef DEMO_MATH_RECORDING
    record_math_argument(MathCall::kSin, x);
#endif
    if (!finite(x)) {
        return x - x;  // NaN
    }
    if (x < kTiny && x > -kTiny) {
        return x;  // signed zeros kept
    }
    return sin_of_reduced(reduce(x));
}

float portable_cos(float x)
{
#ifdef DEMO_MATH_RECORDING
    record_math_argument(MathCall::kCos, x);
#endif
    if (!finite(x)) {
        return x - x;
    }
    if (x < kTiny && x > -kTiny) {
        return 1.0f;
    }
    Reduced reduced = reduce(x);
    reduced.quadrant = (reduced.quadrant + 1u) & 3u;  // cos x = sin(x + pi/2)
    return sin_of_reduced(reduced);
}

namespace trig_detail {

float sin_accurate(float x)
{
    if (!finite(x)) {
        return x - x;
    }
    if (x < kTiny && x > -kTiny) {
        return x;
    }
    return sin_of_reduced_accurate(reduce(x));
}

float cos_accurate(float x)
{
    if (!finite(x)) {
        return x - x;
    }
    if (x < kTiny && x > -kTiny) {
        return 1.0f;
    }
    Reduced reduced = reduce(x);
    reduced.quadrant = (reduced.quadrant + 1u) & 3u;
    return sin_of_reduced_accurate(reduced);
}

}  // namespace trig_detail
