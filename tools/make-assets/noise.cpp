#include "noise.h"

#include <stb/stb_perlin.h>

#include <algorithm>

namespace assets {

uint32_t hash32(uint32_t x)
{
    x ^= x >> 16;
    x *= 0x7feb352du;
    x ^= x >> 15;
    x *= 0x846ca68bu;
    x ^= x >> 16;
    return x;
}

uint32_t hash2(int x, int y, uint32_t seed)
{
    return hash32(static_cast<uint32_t>(x) * 0x8da6b343u ^ static_cast<uint32_t>(y) * 0xd8163841u ^
                  hash32(seed));
}

float unit_from_hash(uint32_t h)
{
    return static_cast<float>(h >> 8) * (1.0f / 16777216.0f);
}

float tiled_fbm(float u, float v, int period_u, int period_v, int octaves, float gain, int seed)
{
    // stb_perlin wraps at powers of two no larger than 256.
    constexpr int kMaxWrap = 256;
    float sum = 0.0f;
    float norm = 0.0f;
    float amplitude = 1.0f;
    for (int octave = 0; octave < octaves; ++octave) {
        const int pu = std::min(period_u << octave, kMaxWrap);
        const int pv = std::min(period_v << octave, kMaxWrap);
        // A fractional z keeps the octaves off the lattice planes where Perlin
        // noise is zero.
        const float z = 0.37f + 1.91f * static_cast<float>(octave);
        sum += amplitude * stb_perlin_noise3_seed(u * static_cast<float>(pu),
                                                  v * static_cast<float>(pv), z, pu, pv, 0,
                                                  seed + octave * 17);
        norm += amplitude;
        amplitude *= gain;
    }
    // A single Perlin octave rarely leaves [-0.7, 0.7]; scale so the sum
    // spans about [-1, 1].
    return std::clamp(sum / norm * 1.4f, -1.0f, 1.0f);
}

}  // namespace assets
