// Exact products and sums of doubles, and numbers kept as the unevaluated
// sum of two doubles (about 106 significant bits), for the core's own
// sines, cosines and powers. Only IEEE double +, - and * rounded to nearest
// are used: no fused multiply-add (-ffp-contract=off), no extended
// precision, no library call, so every build computes the same bits.
#pragma once

#include <bit>
#include <cstdint>

namespace dd {

// The value hi + lo, with |lo| at most half a unit in the last place of hi.
struct Double2 {
    double hi;
    double lo;
};

// a + b as s + e exactly (Knuth's two-sum; any a and b without overflow).
inline Double2 two_sum(double a, double b)
{
    const double s = a + b;
    const double b_part = s - a;
    const double e = (a - (s - b_part)) + (b - b_part);
    return {s, e};
}

// a + b as s + e exactly, when |a| >= |b| or a is 0 (Dekker).
inline Double2 quick_two_sum(double a, double b)
{
    const double s = a + b;
    return {s, b - (s - a)};
}

// a as hi + lo, each with at most 26 significant bits (Veltkamp), for
// |a| below 2^995.
inline Double2 split(double a)
{
    const double c = 134217729.0 * a;  // 2^27 + 1
    const double hi = c - (c - a);
    return {hi, a - hi};
}

// a * b as p + e exactly (Dekker), when the product neither overflows nor
// comes near the subnormal range.
inline Double2 two_product(double a, double b)
{
    const double p = a * b;
    const Double2 as = split(a);
    const Double2 bs = split(b);
    const double e = ((as.hi * bs.hi - p) + as.hi * bs.lo + as.lo * bs.hi) + as.lo * bs.lo;
    return {p, e};
}

inline Double2 add(Double2 a, Double2 b)
{
    Double2 s = two_sum(a.hi, b.hi);
    const Double2 t = two_sum(a.lo, b.lo);
    s.lo += t.hi;
    s = quick_two_sum(s.hi, s.lo);
    s.lo += t.lo;
    return quick_two_sum(s.hi, s.lo);
}

inline Double2 mul(Double2 a, Double2 b)
{
    Double2 p = two_product(a.hi, b.hi);
    p.lo += a.hi * b.lo + a.lo * b.hi;
    return quick_two_sum(p.hi, p.lo);
}

inline Double2 negated(Double2 a)
{
    return {-a.hi, -a.lo};
}

// The float next to f (finite) towards +infinity if up, else towards -infinity.
inline float next_float(float f, bool up)
{
    if (f == 0.0f) {
        return up ? std::bit_cast<float>(uint32_t{1}) : -std::bit_cast<float>(uint32_t{1});
    }
    const uint32_t bits = std::bit_cast<uint32_t>(f);
    return std::bit_cast<float>((f > 0.0f) == up ? bits + 1 : bits - 1);
}

// The float nearest to hi + lo (ties to even), rounded once. Converting hi
// alone is already right unless hi lies exactly halfway between two floats
// (a double, as floats have 24 bits) and lo says on which side the sum is.
inline float round_to_float(Double2 v)
{
    const float f = static_cast<float>(v.hi);
    const double gap = v.hi - static_cast<double>(f);  // exact
    if (v.lo == 0.0 || gap == 0.0 || f - f != 0.0f) {  // the last: f overflowed
        return f;
    }
    const bool up = gap > 0.0;
    if ((v.lo > 0.0) != up) {
        return f;  // lo leads back towards f
    }
    const float g = next_float(f, up);
    const bool halfway = 2.0 * gap == static_cast<double>(g) - static_cast<double>(f);
    return halfway ? g : f;
}

}  // namespace dd
