// Start-up geometry: the random sequence and who gets which values, the
// trunk strip's layout and joins, the grass and star arrays, the constant
// tables, and the render states scene_init leaves.
#include "scene/geometry.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>

#include "tests/scene/scene_fixture.h"

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

namespace {

void expect_record_near(const SceneVertex& actual, SceneVertex expected, const char* what)
{
    SCOPED_TRACE(what);
    EXPECT_NEAR(actual.u, expected.u, 1e-5f);
    EXPECT_NEAR(actual.v, expected.v, 1e-5f);
    EXPECT_NEAR(actual.x, expected.x, 1e-5f);
    EXPECT_NEAR(actual.y, expected.y, 1e-5f);
    EXPECT_NEAR(actual.z, expected.z, 1e-5f);
}

bool same_record(const SceneVertex& a, const SceneVertex& b)
{
    return a.u == b.u && a.v == b.v && a.x == b.x && a.y == b.y && a.z == b.z;
}

uint32_t grey_of(const StarVertex& star)
{
    return star.color & 0xFF;
}

}  // namespace

// ---- the generator ----

TEST(Random15, FromTheInitialStateYieldsTheFixedSequence)
{
    random15_state = 1;
    std::vector<int32_t> values;
    for (int i = 0; i < 10; ++i) {
        values.push_back(random15());
    }
    EXPECT_THAT(values,
                ElementsAre(41, 18467, 6334, 26500, 19169, 15724, 11478, 29358, 26962, 24464));
}

TEST(Random15, UsesBitsSixteenToThirtyOfTheFullThirtyTwoBitState)
{
    // 0xFFFFFFFF x 214013 + 2531011 = 2^32 x 214013 - 214013 + 2531011, which
    // wraps to 2316998 = 0x00235AC6: bits 16 to 30 give 0x23 = 35.
    random15_state = 0xFFFFFFFFu;
    EXPECT_EQ(random15(), 35);
    EXPECT_EQ(random15_state, 0x00235AC6u);
    // 214013 is odd, so 0x80000000 x 214013 wraps to 0x80000000; + 2531011
    // (0x269EC3) gives 0x80269EC3. Bit 31 is dropped: 0x8026 & 0x7FFF = 38.
    random15_state = 0x80000000u;
    EXPECT_EQ(random15(), 38);
    EXPECT_EQ(random15_state, 0x80269EC3u);
}

TEST_F(SceneTest, InitSetsTheStartingStatesAndReturnsZero)
{
    RecordingDevice fresh;
    gu_attach_device(&fresh);
    fresh.clear_calls();
    random15_state = 1;
    EXPECT_EQ(scene_init(), 0);
    EXPECT_THAT(fresh.calls(),
                ElementsAre(render_state(D3DRS_ZFUNC, D3DCMP_LESSEQUAL),
                            render_state(D3DRS_ZENABLE, D3DZB_TRUE),
                            render_state(D3DRS_SHADEMODE, D3DSHADE_GOURAUD),
                            render_state(D3DRS_CULLMODE, D3DCULL_CCW),
                            render_state(D3DRS_CULLMODE, D3DCULL_CCW), no_texture(0)));
}

TEST_F(SceneTest, InitTakesExactly32768RandomValues)
{
    uint32_t state = 1;
    for (int i = 0; i < 32768; ++i) {
        state = state * 214013u + 2531011u;
    }
    EXPECT_EQ(random15_state, state);
}

// ---- grass ----

TEST_F(SceneTest, TuftZeroTakesTheFirstFourValues)
{
    // 41, 18467, 6334, 26500: centre (-5.98498, 0.763230), height 0.238662, turn 4.94024.
    expect_record_near(grass_records[0], {0, 1, -6.04343f, 0, 0.790337f}, "record 0");
    expect_record_near(grass_records[1], {0, 0.03125f, -6.04343f, 0.238662f, 0.790337f},
                       "record 1");
    const float x = -16342.0f * (6.0f / 16383.0f);
    const float z = 2084.0f * (6.0f / 16383.0f);
    const float turn = 10117.0f * (8.0f / 16383.0f);
    // The far edge of the first blade, and the second blade a quarter turn on.
    expect_record_near(
        grass_records[2],
        {1, 1, x + 0.06f * std::sin(turn + 3.1415927f), 0, z + 0.12f * std::cos(turn + 3.1415927f)},
        "record 2");
    expect_record_near(grass_records[5],
                       {0, 0.03125f, x + 0.06f * std::sin(turn + 1.5707964f), 0.238662f,
                        z + 0.12f * std::cos(turn + 1.5707964f)},
                       "record 5");
}

TEST_F(SceneTest, EveryTuftIsTwoUprightQuadsAroundItsCentre)
{
    for (int t = 0; t < kGrassTufts; ++t) {
        const SceneVertex* r = &grass_records[8 * t];
        const float height = r[1].y;
        ASSERT_GT(height, 0.19999f) << "tuft " << t;
        ASSERT_LT(height, 0.40002f) << "tuft " << t;
        for (int b = 0; b < 2; ++b) {
            const SceneVertex* q = r + 4 * b;
            ASSERT_EQ(q[0].y, 0.0f);
            ASSERT_EQ(q[1].y, height);
            ASSERT_EQ(q[2].y, 0.0f);
            ASSERT_EQ(q[3].y, height);
            ASSERT_TRUE(q[0].x == q[1].x && q[0].z == q[1].z && q[2].x == q[3].x &&
                        q[2].z == q[3].z)
                << "tuft " << t << " blade " << b;
            ASSERT_TRUE(q[0].u == 0 && q[1].u == 0 && q[2].u == 1 && q[3].u == 1);
            ASSERT_TRUE(q[0].v == 1 && q[1].v == 0.03125f && q[2].v == 1 && q[3].v == 0.03125f);
            // The edges lie opposite each other about the centre, which is within -6..6.
            const float cx = (q[0].x + q[2].x) * 0.5f;
            const float cz = (q[0].z + q[2].z) * 0.5f;
            ASSERT_NEAR(cx, (r[0].x + r[2].x) * 0.5f, 1e-5f);
            ASSERT_NEAR(cz, (r[0].z + r[2].z) * 0.5f, 1e-5f);
            ASSERT_LE(std::fabs(cx), 6.0004f);
            ASSERT_LE(std::fabs(cz), 6.0004f);
        }
    }
}

TEST_F(SceneTest, GrassIndicesRepeatTheTwoQuadPatternPerTuft)
{
    EXPECT_THAT(std::vector<uint16_t>(grass_indices + 12, grass_indices + 24),
                ElementsAre(8, 9, 10, 9, 10, 11, 12, 13, 14, 13, 14, 15));
    EXPECT_EQ(grass_indices[kGrassIndices - 1], 32767);
    constexpr uint16_t kPattern[12] = {0, 1, 2, 1, 2, 3, 4, 5, 6, 5, 6, 7};
    for (int i = 0; i < kGrassIndices; ++i) {
        ASSERT_EQ(grass_indices[i], 8 * (i / 12) + kPattern[i % 12]) << "entry " << i;
    }
}

// ---- stars ----

TEST_F(SceneTest, StarZeroTakesTheValuesAfterTheGrass)
{
    // Values 16385..16388 of the sequence: 460, 7229, 4466, 7783.
    EXPECT_EQ(star_records[0].color, 0xFF8B8B8Bu);  // grey 139
    EXPECT_NEAR(star_records[0].x, -0.727273f, 1e-5f);
    EXPECT_NEAR(star_records[0].y, 0.318103f, 1e-5f);
    EXPECT_NEAR(star_records[0].z, -0.544301f, 1e-5f);
}

TEST_F(SceneTest, StarsLieOnTheUpperHalfDomeLoweredByATenth)
{
    for (const StarVertex& star : star_records) {
        const float dy = star.y + 0.1f;
        ASSERT_GE(dy, 0.0f);
        ASSERT_NEAR(star.x * star.x + dy * dy + star.z * star.z, 1.0f, 1e-5f);
        ASSERT_EQ(star.color >> 24, 0xFFu);
        ASSERT_EQ((star.color >> 16) & 0xFF, grey_of(star));
        ASSERT_EQ((star.color >> 8) & 0xFF, grey_of(star));
    }
}

TEST_F(SceneTest, ThreeHundredElevenStarsFadeTowardsTheRim)
{
    int faded = 0;
    uint32_t brightest = 0;
    for (const StarVertex& star : star_records) {
        const uint32_t grey = grey_of(star);
        brightest = std::max(brightest, grey);
        // y = dy - 0.1 is exact near the rim, so y < 0 is dy < 0.1.
        if (star.y < 0.0f) {
            ++faded;
            const float dy = star.y + 0.1f;
            ASSERT_LE(static_cast<float>(grey), 178.5f * dy * 10.0f + 0.5f);
        } else {
            ASSERT_GE(grey, 127u);  // the brightness term alone: 127.5 .. 178.5
        }
    }
    EXPECT_EQ(faded, 311);
    EXPECT_LE(brightest, 178u);
}

// ---- trunk ----

TEST_F(SceneTest, TrunkEndsAndJoins)
{
    expect_record_near(trunk_strip[0], {0, 0, 0, 0, 0.12f}, "record 0");
    expect_record_near(trunk_strip[57], {1, 1, 0, 1.5f, 0.075f}, "record 57");
    EXPECT_EQ(trunk_strip[57].v, 1.0f);
    EXPECT_EQ(trunk_strip[57].y, 1.5f);
    EXPECT_EQ(trunk_strip[57].z, 0.075f);  // R(1) is exactly 0.075
    for (int first : {17, 19, 37, 39}) {
        EXPECT_TRUE(same_record(trunk_strip[first], trunk_strip[first + 1])) << first;
    }
    EXPECT_EQ(trunk_strip[19].u, 0.0f);
    EXPECT_EQ(trunk_strip[19].v, 0.33333334f);
    EXPECT_EQ(trunk_strip[19].y, 0.5f);
}

TEST_F(SceneTest, TrunkLayoutAlternatesLowerAndUpperRingsOfThreePairs)
{
    // Pair p holds Lk at 20p + 2k and Uk at 20p + 2k + 1; the joins sit in between.
    const float heights[4] = {0.0f, 0.33333334f, 0.6666667f, 1.0f};
    const float radii[4] = {0.12f, 0.083889f, 0.075556f, 0.075f};
    for (int pair = 0; pair < 3; ++pair) {
        for (int k = 0; k <= 8; ++k) {
            const int lower = 20 * pair + 2 * k;
            const int upper = lower + 1;
            for (int ring = 0; ring < 2; ++ring) {
                const SceneVertex& r = trunk_strip[ring == 0 ? lower : upper];
                const float h = heights[pair + ring];
                SCOPED_TRACE(::testing::Message()
                             << "pair " << pair << " column " << k << " ring " << ring);
                EXPECT_EQ(r.u, static_cast<float>(k) * 0.125f);
                EXPECT_EQ(r.v, h);
                EXPECT_EQ(r.y, 1.5f * h);
                EXPECT_NEAR(std::sqrt(r.x * r.x + r.z * r.z), radii[pair + ring], 1e-6f);
            }
        }
    }
    // Column 0 on +z, column 2 on +x.
    EXPECT_NEAR(trunk_strip[4].x, 0.12f, 1e-6f);
    EXPECT_NEAR(trunk_strip[4].z, 0.0f, 1e-6f);
}

TEST_F(SceneTest, TrunkStripHasFourDegenerateTrianglesPerJoinAndOneWinding)
{
    std::vector<int> degenerate;
    int outward_sign = 0;
    for (int t = 0; t + 2 < kTrunkRecords; ++t) {
        const SceneVertex& a = trunk_strip[t];
        const SceneVertex& b = trunk_strip[t + 1];
        const SceneVertex& c = trunk_strip[t + 2];
        const float e1[3] = {b.x - a.x, b.y - a.y, b.z - a.z};
        const float e2[3] = {c.x - a.x, c.y - a.y, c.z - a.z};
        float n[3] = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2],
                      e1[0] * e2[1] - e1[1] * e2[0]};
        const float area = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
        if (area < 1e-6f) {
            degenerate.push_back(t);
            continue;
        }
        // A strip flips the vertex order of every odd triangle.
        const float flip = t % 2 == 0 ? 1.0f : -1.0f;
        const float outward = flip * (n[0] * (a.x + b.x + c.x) + n[2] * (a.z + b.z + c.z));
        const int sign = outward > 0 ? 1 : -1;
        if (outward_sign == 0) {
            outward_sign = sign;
        }
        EXPECT_EQ(sign, outward_sign) << "triangle " << t;
    }
    EXPECT_THAT(degenerate, ElementsAre(16, 17, 18, 19, 36, 37, 38, 39));
}

// ---- constant tables ----

TEST_F(SceneTest, LeafClusterIsTwoCrossedQuadsTheSecondEqualToTheGroundTile)
{
    EXPECT_THAT(std::vector<uint16_t>(leaf_indices, leaf_indices + kLeafIndices),
                ElementsAre(0, 1, 2, 1, 2, 3, 4, 5, 6, 5, 6, 7));
    const SceneVertex upright[4] = {
        {0, 0, -1, -1, 0}, {0, 1, -1, 1, 0}, {1, 0, 1, -1, 0}, {1, 1, 1, 1, 0}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_TRUE(same_record(leaf_records[i], upright[i])) << "record " << i;
        EXPECT_TRUE(same_record(leaf_records[4 + i], ground_quad[i])) << "record " << 4 + i;
    }
}

TEST(GroundQuad, IsATwoByTwoTileCentredOnTheOrigin)
{
    const SceneVertex expected[4] = {
        {0, 0, -1, 0, -1}, {0, 1, -1, 0, 1}, {1, 0, 1, 0, -1}, {1, 1, 1, 0, 1}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_TRUE(same_record(ground_quad[i], expected[i])) << "record " << i;
    }
}
