// Start-up render states and the generation of every piece of geometry the
// scenes draw. The random parts come from one fixed-seed generator, so every
// run shows the same forest and the same sky.
#include "scene/geometry.h"

#include <cmath>
#include <cstring>

#include "gu/gu.h"
#include "math/power.h"
#include "math/trig.h"
#include "scene/scene.h"

SceneVertex trunk_strip[kTrunkRecords];
SceneVertex grass_records[kGrassRecords];
uint16_t grass_indices[kGrassIndices];
StarVertex star_records[kStars];
SceneVertex leaf_records[kLeafRecords];
uint16_t leaf_indices[kLeafIndices];
uint32_t random15_state = 1;

// One 2 x 2 tile in the plane y = 0, centred on the origin.
const SceneVertex ground_quad[kGroundRecords] = {
    {0.0f, 0.0f, -1.0f, 0.0f, -1.0f},
    {0.0f, 1.0f, -1.0f, 0.0f, 1.0f},
    {1.0f, 0.0f, 1.0f, 0.0f, -1.0f},
    {1.0f, 1.0f, 1.0f, 0.0f, 1.0f},
};

namespace {

constexpr float kHalfPi = 1.5707964f;
constexpr float kPi = 3.1415927f;
constexpr float kTwoPi = 6.2831855f;

// A ratio constant is the 32-bit float nearest to the exact ratio.
constexpr float ratio(double numerator, double denominator)
{
    return static_cast<float>(numerator / denominator);
}

// Random values are centred on 16383 (giving -16383..16384), then scaled.
float centred(int32_t r, float scale)
{
    return static_cast<float>(r - 16383) * scale;
}

// Two crossed quads: records 0-3 in the plane z = 0, records 4-7 in y = 0.
constexpr SceneVertex kLeafQuads[kLeafRecords] = {
    {0.0f, 0.0f, -1.0f, -1.0f, 0.0f}, {0.0f, 1.0f, -1.0f, 1.0f, 0.0f},
    {1.0f, 0.0f, 1.0f, -1.0f, 0.0f},  {1.0f, 1.0f, 1.0f, 1.0f, 0.0f},
    {0.0f, 0.0f, -1.0f, 0.0f, -1.0f}, {0.0f, 1.0f, -1.0f, 0.0f, 1.0f},
    {1.0f, 0.0f, 1.0f, 0.0f, -1.0f},  {1.0f, 1.0f, 1.0f, 0.0f, 1.0f},
};

// Each quad of records a..a+3 is the triangles (a, a+1, a+2) and (a+1, a+2, a+3).
constexpr uint16_t kTwoQuadIndices[kLeafIndices] = {0, 1, 2, 1, 2, 3, 4, 5, 6, 5, 6, 7};

// ---- trunk ----

// 0.12 - 0.075 in single precision, two units in the last place below the
// float nearest 0.045: with it the top radius R(1) is exactly 0.075f.
constexpr float kTaper = 0.12f - 0.075f;

// Radius at height parameter h (0 at the bottom, 1 at the top).
float trunk_radius(float h)
{
    return 0.12f - (1.0f - portable_pow4(1.0f - h)) * kTaper;
}

SceneVertex trunk_record(float u, float h, float radius, float theta)
{
    return {u, h, radius * portable_sin(theta), 1.5f * h, radius * portable_cos(theta)};
}

// ---- grass ----

// One upright blade through the edge points P and Q, bottom edge v = 1, top v = 1/32.
void write_blade(SceneVertex* out, float x, float z, float height, float angle)
{
    const float px = x + 0.06f * portable_sin(angle);
    const float pz = z + 0.12f * portable_cos(angle);
    const float qx = x + 0.06f * portable_sin(angle + kPi);
    const float qz = z + 0.12f * portable_cos(angle + kPi);
    out[0] = {0.0f, 1.0f, px, 0.0f, pz};
    out[1] = {0.0f, 0.03125f, px, height, pz};
    out[2] = {1.0f, 1.0f, qx, 0.0f, qz};
    out[3] = {1.0f, 0.03125f, qx, height, qz};
}

}  // namespace

int32_t random15()
{
    random15_state = random15_state * 214013u + 2531011u;
    return static_cast<int32_t>((random15_state >> 16) & 0x7FFF);
}

void build_trunk()
{
    // Three ring pairs of nine columns (column 8 closes the ring with u = 1).
    // The pairs are joined into one strip by repeating the last record of a
    // pair and the first of the next: four degenerate triangles per join,
    // and every pair starts on an even triangle, so all keep one winding.
    constexpr float kThird = 1.0f / 3.0f;
    float h0 = 0.0f;
    float h1 = kThird;
    int n = 0;
    for (int pair = 0; pair < 3; ++pair) {
        const float r0 = trunk_radius(h0);
        const float r1 = trunk_radius(h1);
        for (int column = 0; column <= 8; ++column) {
            const float u = static_cast<float>(column) * 0.125f;
            const float theta = kTwoPi * u;
            const SceneVertex lower = trunk_record(u, h0, r0, theta);
            trunk_strip[n++] = lower;
            if (pair != 0 && column == 0) {
                trunk_strip[n++] = lower;
            }
            trunk_strip[n++] = trunk_record(u, h1, r1, theta);
        }
        if (pair != 2) {
            trunk_strip[n] = trunk_strip[n - 1];
            ++n;
        }
        // Float accumulators: the heights come out 0, 1/3, 2/3 and exactly 1.
        h0 += kThird;
        h1 += kThird;
    }
}

void build_grass()
{
    constexpr float kCentreScale = ratio(6, 16383);
    constexpr float kHeightScale = ratio(0.1, 16383);
    constexpr float kTurnScale = ratio(8, 16383);
    for (int tuft = 0; tuft < kGrassTufts; ++tuft) {
        for (int n = 0; n < 12; ++n) {
            grass_indices[12 * tuft + n] = static_cast<uint16_t>(8 * tuft + kTwoQuadIndices[n]);
        }
        // The order of the four draws decides which tuft gets which values.
        const float x = centred(random15(), kCentreScale);
        const float z = centred(random15(), kCentreScale);
        const float height = 0.3f + centred(random15(), kHeightScale);
        const float turn = centred(random15(), kTurnScale);
        for (int blade = 0; blade < 2; ++blade) {
            const float angle = turn + static_cast<float>(blade) * kHalfPi;
            write_blade(&grass_records[8 * tuft + 4 * blade], x, z, height, angle);
        }
    }
}

void build_star_dome()
{
    constexpr float kDirectionScale = ratio(1, 16383);
    constexpr float kBrightnessScale = ratio(1, 32766);
    for (StarVertex& star : star_records) {
        // Points from the upper half of the cube -1..1, pushed onto the unit sphere.
        const float sx = centred(random15(), kDirectionScale);
        const float sy = std::fabs(centred(random15(), kDirectionScale));
        const float sz = centred(random15(), kDirectionScale);
        const float n = 1.0f / std::sqrt(sx * sx + sy * sy + sz * sz);
        const float dx = sx * n;
        const float dy = sy * n;
        const float dz = sz * n;

        float grey = ((centred(random15(), kBrightnessScale) + 0.5f) * 0.2f + 0.5f) * 255.0f;
        if (dy < 0.1f) {
            grey = grey * dy * 10.0f;  // stars fade out towards the rim
        }
        const uint32_t q = static_cast<uint32_t>(static_cast<int32_t>(grey)) & 0xFF;
        // The dome is lowered by 0.1: its rim lies just below the horizon.
        star = {0xFF000000u | q << 16 | q << 8 | q, dx, dy - 0.1f, dz};
    }
}

void build_leaf_quads()
{
    std::memcpy(leaf_indices, kTwoQuadIndices, sizeof leaf_indices);
    std::memcpy(leaf_records, kLeafQuads, sizeof leaf_records);
}

void set_startup_states()
{
    gu_depth_func(GU_LEQUAL);
    gu_enable(GU_DEPTH_TEST);
    gu_shade_model(GU_SMOOTH);
    gu_enable(GU_CULL_FACE);
    gu_front_face(GU_CW);
    gu_disable(GU_TEXTURE_2D);
}

int32_t scene_init()
{
    set_startup_states();
    build_trunk();
    // Grass before stars: the order decides which random values each receives.
    build_grass();
    build_star_dome();
    build_leaf_quads();
    return 0;
}
