#pragma once
// Deterministic hashing, random numbers and tileable noise for the texture
// painters. Everything here depends only on its arguments, so a texture comes
// out the same on every run.

#include <cstdint>

namespace assets {

// A well-mixed 32-bit hash (the "lowbias32" finaliser of Chris Wellons).
uint32_t hash32(uint32_t x);

// Hash of an integer lattice point and a seed.
uint32_t hash2(int x, int y, uint32_t seed);

// Maps a hash to [0, 1).
float unit_from_hash(uint32_t h);

// A small counter-based generator: each call hashes the next counter value.
class Rng {
public:
    explicit Rng(uint32_t seed) : state_(hash32(seed ^ 0x5bd1e995u)) {}
    uint32_t next() { return hash32(state_ += 0x9e3779b9u); }
    float unit() { return unit_from_hash(next()); }
    float range(float lo, float hi) { return lo + (hi - lo) * unit(); }
    // Uniform in [-1, 1).
    float signed_unit() { return 2.0f * unit() - 1.0f; }

private:
    uint32_t state_;
};

// Fractal Perlin noise on the unit square that tiles: the value at (u, v)
// equals the value at (u + 1, v) and (u, v + 1). period_u and period_v are the
// number of noise cells across the square at the first octave (powers of two);
// each further octave doubles them, up to the noise's own limit of 256. The
// result is normalised to roughly [-1, 1].
float tiled_fbm(float u, float v, int period_u, int period_v, int octaves, float gain, int seed);

}  // namespace assets
