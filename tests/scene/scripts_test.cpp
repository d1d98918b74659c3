// The five scene scripts at their key instants: clear and fog arguments,
// camera, stars, the tree's base matrix and parameters, the leaf grey.
// Whole frames are recorded where a music byte reaches the instant; exact
// clock values that no byte reaches are checked on the scene's plan.
#include "scene/scripts.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>

#include "scene/timeline.h"
#include "scene/tree.h"
#include "tests/scene/frame_facts.h"
#include "tests/scene/scene_fixture.h"

using ::testing::Each;

namespace {

constexpr D3DCOLOR kDay = 0xFF64C8DC;
constexpr D3DCOLOR kNight = 0xFF040810;

D3DCOLOR grey(uint32_t g)
{
    return 0xFF000000u + g * 0x010101u;
}

void expect_fog(const FogAndClear& fog, D3DCOLOR color, float start, float end)
{
    EXPECT_EQ(fog.color, color) << std::hex << fog.color;
    EXPECT_FLOAT_EQ(fog.start, start);
    EXPECT_FLOAT_EQ(fog.end, end);
}

void expect_matrix_near(const Mat4& actual, const Mat4& expected, float tolerance = 1e-5f)
{
    for (int r = 0; r < 4; ++r) {
        for (int k = 0; k < 4; ++k) {
            EXPECT_NEAR(actual.m[r][k], expected.m[r][k], tolerance)
                << "element [" << r << "][" << k << "]";
        }
    }
}

void expect_eye(const FrameFacts& f, float x, float y, float z)
{
    const Vec3 eye = eye_of(f.view);
    EXPECT_NEAR(eye.x, x, 1e-4f);
    EXPECT_NEAR(eye.y, y, 1e-4f);
    EXPECT_NEAR(eye.z, z, 1e-4f);
}

}  // namespace

class Scripts : public SceneTest {
protected:
    void SetUp() override
    {
        SceneTest::SetUp();
        device.set_keep_draw_data(false);
    }

    // One recorded frame of a scene at a byte of that scene.
    FrameFacts frame(void (*scene)(int32_t), int32_t bytes)
    {
        device.clear_calls();
        scene(bytes);
        return read_frame(calls());
    }

    // Scene 2 also reads the music position; keep it consistent with the scene byte.
    FrameFacts frame_2(int32_t bytes)
    {
        music_pos = kScene2Start + bytes;
        return frame(scene_2, bytes);
    }

    void expect_fog_call(const FrameFacts& f, D3DCOLOR color, float start, float end)
    {
        EXPECT_EQ(f.clear_color, color) << std::hex << f.clear_color;
        EXPECT_EQ(f.fog_color, color) << std::hex << f.fog_color;
        EXPECT_FLOAT_EQ(f.fog_start, start);
        EXPECT_FLOAT_EQ(f.fog_end, end);
    }
};

TEST(SceneClock, OneUnitIs75540Bytes)
{
    EXPECT_EQ(scene_clock(0), 0.0f);
    EXPECT_EQ(scene_clock(6496440), 86.0f);
    EXPECT_EQ(scene_clock(1869615), 24.75f);
    EXPECT_LT(scene_clock(75540), 1.0f);  // 0.99999994
    EXPECT_EQ(scene_clock(-75540), -scene_clock(75540));
}

// ---- scene 1 ----

TEST_F(Scripts, Scene1StartsWhiteWithNoFogAndACollapsedTree)
{
    const FrameFacts f = frame(scene_1, 0);
    expect_fog_call(f, 0xFFFFFFFF, 0, 0);
    EXPECT_EQ(flat(f.tree_base), flat(diag(0)));
    EXPECT_FALSE(f.sky_dome);
    EXPECT_EQ(f.ground_tiles, 81u);
    expect_eye(f, 2.5f, 1.6f, 0);
    EXPECT_NEAR(target_height_of(f.view), 1.6f, 1e-5f);
    EXPECT_THAT(f.leaf_factors, Each(0xFF000000u));
}

TEST_F(Scripts, Scene1FadeInHoldsGreenAndBlueAt255)
{
    const FrameFacts f = frame(scene_1, 75540);  // t = 0.99999994
    expect_fog_call(f, 0xFFAEFFFF, 1.76776695f, 3.53553391f);
    EXPECT_NEAR(f.fog_start, 1.76777f, 1e-5f);
    EXPECT_NEAR(f.fog_end, 3.53553f, 1e-5f);
}

TEST_F(Scripts, Scene1ChannelsLeaveWhiteRedFirstThenGreenThenBlue)
{
    const D3DCOLOR at_0_6 = plan_scene_1(0.6f).fog.color;
    const D3DCOLOR at_1_2 = plan_scene_1(1.2f).fog.color;
    const D3DCOLOR at_1_4 = plan_scene_1(1.4f).fog.color;
    EXPECT_LT((at_0_6 >> 16) & 0xFF, 255u);
    EXPECT_EQ(at_0_6 & 0xFFFF, 0xFFFFu);
    EXPECT_LT((at_1_2 >> 8) & 0xFF, 255u);
    EXPECT_EQ(at_1_2 & 0xFF, 0xFFu);
    EXPECT_LT(at_1_4 & 0xFF, 255u);
}

TEST_F(Scripts, Scene1LastByteOfTheFadeInAlreadyGivesTheDayCall)
{
    ASSERT_LT(scene_clock(151080), 2.0f);  // still the fade-in formula
    expect_fog_call(frame(scene_1, 151080), kDay, 2.5f, 5.0f);
    expect_fog_call(frame(scene_1, 151081), kDay, 2.5f, 5.0f);
    expect_fog(plan_scene_1(2.0f).fog, kDay, 2.5f, 5.0f);
}

TEST_F(Scripts, Scene1FadeToBlackStartsJustAfter86)
{
    ASSERT_EQ(scene_clock(6496440), 86.0f);
    expect_fog_call(frame(scene_1, 6496440), kDay, 2.5f, 5.0f);
    // Truncation lowers every channel by one at once.
    const FrameFacts after = frame(scene_1, 6496441);
    EXPECT_EQ(after.clear_color, 0xFF63C7DBu);
    EXPECT_LT(after.fog_start, 2.5f);
    expect_fog_call(frame(scene_1, 6534210), 0xFF4B96A5, 1.875f, 3.75f);
    expect_fog_call(frame(scene_1, 6571980), 0xFF32646E, 1.25f, 2.5f);
}

TEST_F(Scripts, Scene1IsBlackFromT88ToTheEndOfTheScene)
{
    for (int32_t bytes = 6647520; bytes <= 6648555; ++bytes) {
        const FogAndClear fog = plan_scene_1(scene_clock(bytes)).fog;
        ASSERT_EQ(fog.color, 0xFF000000u) << bytes;
        ASSERT_EQ(fog.start, 0.0f) << bytes;
        ASSERT_EQ(fog.end, 0.0f) << bytes;
    }
    expect_fog_call(frame(scene_1, 6647520), 0xFF000000, 0, 0);
    expect_fog_call(frame(scene_1, 6648555), 0xFF000000, 0, 0);
    // One byte earlier the channels already truncate to 0, but the fog has not closed.
    EXPECT_GT(plan_scene_1(scene_clock(6647519)).fog.start, 0.0f);
}

TEST_F(Scripts, Scene1TreeGrowsFromT24ToT64)
{
    EXPECT_EQ(flat(frame(scene_1, 1812959).tree_base), flat(diag(0)));
    EXPECT_EQ(flat(frame(scene_1, 1812960).tree_base), flat(diag(0)));  // sin 0
    expect_matrix_near(frame(scene_1, 3323760).tree_base, diag(0.70710678f));
    EXPECT_LT(frame(scene_1, 4834560).tree_base.m[0][0], 1.0f + 1e-6f);
    EXPECT_EQ(flat(frame(scene_1, 4834561).tree_base), flat(diag(1)));
    EXPECT_EQ(flat(plan_scene_1(64.0f).tree.base), flat(diag(1)));
    EXPECT_EQ(flat(plan_scene_1(100.0f).tree.base), flat(diag(1)));
}

TEST_F(Scripts, Scene1CrownOpensOnlyAfterT80)
{
    frame(scene_1, 6043200);  // t = 80 exactly
    EXPECT_EQ(tree_params.roll[0], 0.0f);
    EXPECT_EQ(tree_params.roll[1], 0.0f);
    frame(scene_1, 6118740);  // t = 81
    EXPECT_FLOAT_EQ(tree_params.roll[1], 1.0f - std::cos(0.15f));
    EXPECT_EQ(tree_params.roll[0], -tree_params.roll[1]);
    frame(scene_1, 6648555);
    EXPECT_NEAR(tree_params.roll[1], 0.64f, 0.01f);
    EXPECT_EQ(tree_params.scale[0], 0.625f);
    EXPECT_EQ(tree_params.twist, 0.0f);
}

TEST_F(Scripts, Scene1CameraDriftsTowardsMinusZAndRises)
{
    const float t = scene_clock(6648555);
    const FrameFacts f = frame(scene_1, 6648555);
    expect_eye(f, 2.5f * std::cos(0.02f * t), 1.6f, -2.5f * std::sin(0.02f * t));
    EXPECT_NEAR(target_height_of(f.view), 1.6f + 0.5f * std::sin(0.002f * t), 1e-4f);
}

// ---- scene 2 ----

TEST_F(Scripts, Scene2IsNightWithStarsThroughout)
{
    for (int32_t bytes : {0, 1816125, 3328691}) {
        const FrameFacts f = frame_2(bytes);
        expect_fog_call(f, kNight, 2.5f, 5.0f);
        EXPECT_TRUE(f.sky_dome);
        EXPECT_EQ(f.ground_tiles, 81u);
        EXPECT_EQ(flat(f.tree_base), flat(identity_matrix()));
    }
}

TEST_F(Scripts, Scene2LeafGreyPulsesOnceTheMusicPassesByte8464680)
{
    const std::pair<int32_t, uint32_t> cases[] = {
        {1816124, 0}, {1816125, 53}, {1850730, 255}, {1869614, 0}, {1869615, 63}};
    for (const auto& [bytes, g] : cases) {
        const FrameFacts f = frame_2(bytes);
        ASSERT_EQ(f.leaf_factors.size(), 32u);
        EXPECT_THAT(f.leaf_factors, Each(grey(g))) << "scene byte " << bytes;
    }
}

TEST_F(Scripts, Scene2LeafTestIsOnTheMusicPositionNotTheSceneByte)
{
    music_pos = 8464680;  // at the threshold, whatever the scene byte says
    const FrameFacts f = frame(scene_2, 1816125);
    EXPECT_THAT(f.leaf_factors, Each(grey(0)));
}

TEST_F(Scripts, Scene2TargetClimbsAfterT42)
{
    ASSERT_EQ(scene_clock(3172680), 42.0f);
    const float t42 = 42.0f;
    EXPECT_NEAR(target_height_of(frame_2(3172680).view), 1.6f + 0.5f * std::sin(0.04f * t42),
                1e-4f);
    EXPECT_EQ(plan_scene_2(42.0f, kScene2Start + 3172680).lift, 0.0f);
    EXPECT_FLOAT_EQ(plan_scene_2(43.0f, kScene2Start + 3248220).lift,
                    20.0f * (1.0f - std::cos(0.5f)));

    const float t_end = scene_clock(3328691);
    const float lift = 20.0f * (1.0f - std::cos((t_end - 42.0f) * 0.5f));
    EXPECT_NEAR(lift, 9.75f, 0.05f);
    EXPECT_NEAR(target_height_of(frame_2(3328691).view),
                1.6f + 0.5f * std::sin(0.04f * t_end) + lift, 1e-3f);
}

TEST_F(Scripts, Scene2OrbitAndTreeFollowTheClock)
{
    const float t = 24.5f;
    const FrameFacts f = frame_2(1850730);
    expect_eye(f, 2.5f * std::cos(0.4f * t), 1.6f, -2.5f * std::sin(0.4f * t));
    const float u = 0.2f * t;
    const float lean = std::cos(3 * u) * 0.7f * 0.39269909f;
    const float spread = (std::sin(2 * u) * 0.3f + 0.9f) * 0.78539819f;
    EXPECT_FLOAT_EQ(tree_params.twist, u);
    EXPECT_FLOAT_EQ(tree_params.roll[0], lean - spread);
    EXPECT_FLOAT_EQ(tree_params.roll[1], lean + spread);
    // shrink 1: the child leaning further is shortened by cos(2 lean).
    EXPECT_FLOAT_EQ(tree_params.scale[0], 0.625f * std::cos(std::min(2 * lean, 0.0f)));
    EXPECT_FLOAT_EQ(tree_params.scale[1], 0.625f * std::cos(std::min(-2 * lean, 0.0f)));
    EXPECT_NE(tree_params.scale[0], tree_params.scale[1]);
}

// ---- scene 3 ----

TEST_F(Scripts, Scene3IsNightWithStarsAndALeafSawtoothOfPeriodOne)
{
    const FrameFacts f = frame(scene_3, 0);
    expect_fog_call(f, kNight, 2.5f, 5.0f);
    EXPECT_TRUE(f.sky_dome);
    EXPECT_THAT(f.leaf_factors, Each(grey(255)));
    EXPECT_EQ(plan_scene_3(0.0f).tree.leaf_gray, 255);
    EXPECT_EQ(plan_scene_3(0.5f).tree.leaf_gray, 127);
    EXPECT_EQ(plan_scene_3(std::nextafter(1.0f, 0.0f)).tree.leaf_gray, 0);
    EXPECT_EQ(plan_scene_3(1.0f).tree.leaf_gray, 255);
    EXPECT_EQ(plan_scene_3(7.25f).tree.leaf_gray, 191);
    EXPECT_THAT(frame(scene_3, 37770).leaf_factors, Each(grey(128)));  // t just below 0.5
}

TEST_F(Scripts, Scene3CircleIsTheOtherWayRoundAtHalfSpeed)
{
    const float t = scene_clock(113310);  // 1.5
    const FrameFacts f = frame(scene_3, 113310);
    expect_eye(f, 2.5f * std::cos(t), 1.6f, 2.5f * std::sin(t));
    EXPECT_NEAR(target_height_of(f.view), 1.6f - 0.5f * std::sin(0.1f * t), 1e-4f);
    EXPECT_FLOAT_EQ(tree_params.twist, -1.5f * t);
}

TEST_F(Scripts, Scene3ShrinksTheChildOnTheLeaningSideByHalfTheWeight)
{
    frame(scene_3, 0);  // the lean at its largest
    // lean 0.7 * pi/4, spread 0.9 * pi/4
    EXPECT_FLOAT_EQ(tree_params.roll[0], 0.5497787f - 0.70685835f);
    EXPECT_FLOAT_EQ(tree_params.roll[1], 0.5497787f + 0.70685835f);
    EXPECT_EQ(tree_params.scale[0], 0.625f);
    EXPECT_NEAR(tree_params.scale[1], 0.454f, 0.001f);
}

// ---- scene 4 ----

TEST_F(Scripts, Scene4FadesInFromWhiteOverOneUnit)
{
    expect_fog_call(frame(scene_4, 0), 0xFFFFFFFF, 0, 0);
    expect_fog(plan_scene_4(0.25f).fog, 0xFFA1A5AD, 0.9567086f, 1.9134172f);
    expect_fog(plan_scene_4(1.0f).fog, kNight, 2.5f, 5.0f);
    expect_fog_call(frame(scene_4, 75541), kNight, 2.5f, 5.0f);
    expect_fog_call(frame(scene_4, 3327155), kNight, 2.5f, 5.0f);
    EXPECT_TRUE(frame(scene_4, 0).sky_dome);
}

TEST_F(Scripts, Scene4LeafSawtoothRunsAtTwiceTheRate)
{
    EXPECT_EQ(plan_scene_4(0.0f).tree.leaf_gray, 255);
    EXPECT_EQ(plan_scene_4(0.25f).tree.leaf_gray, 127);
    EXPECT_EQ(plan_scene_4(0.5f).tree.leaf_gray, 255);
    EXPECT_EQ(plan_scene_4(std::nextafter(0.5f, 0.0f)).tree.leaf_gray, 0);
    EXPECT_THAT(frame(scene_4, 0).leaf_factors, Each(grey(255)));
}

TEST_F(Scripts, Scene4RocksTheWholeTreeAboutZ)
{
    const float a = 0.3926991f;  // w = sin(pi/2) = 1 at t = 0.5
    const Mat4 rz{{{std::cos(a), std::sin(a), 0, 0},
                   {-std::sin(a), std::cos(a), 0, 0},
                   {0, 0, 1, 0},
                   {0, 0, 0, 1}}};
    expect_matrix_near(plan_scene_4(0.5f).tree.base, rz, 1e-6f);
    expect_matrix_near(frame(scene_4, 37770).tree_base, rz, 1e-5f);
    EXPECT_NEAR(tree_params.roll[0], 1.5707964f - 0.7853982f, 1e-5f);
    EXPECT_NEAR(tree_params.roll[1], 1.5707964f + 0.7853982f, 1e-5f);
    EXPECT_EQ(tree_params.scale[0], 0.625f);
    EXPECT_EQ(tree_params.scale[1], 0.625f);
    expect_matrix_near(plan_scene_4(1.0f).tree.base, identity_matrix(), 1e-6f);
}

TEST_F(Scripts, Scene4CirclesOnceEveryPiUnits)
{
    const float t = scene_clock(113310);
    const FrameFacts f = frame(scene_4, 113310);
    expect_eye(f, 2.5f * std::cos(2 * t), 1.6f, -2.5f * std::sin(2 * t));
    EXPECT_NEAR(target_height_of(f.view), 1.6f + 0.5f * std::sin(0.2f * t), 1e-4f);
    EXPECT_FLOAT_EQ(tree_params.twist, t);
}

// ---- scene 5 ----

TEST_F(Scripts, Scene5FogIntervals)
{
    expect_fog_call(frame(scene_5, 0), 0xFFFFFFFF, 0, 0);
    expect_fog(plan_scene_5(1.0f).fog, 0xFFAEFFFF, 1.76776695f, 3.53553391f);
    expect_fog(plan_scene_5(2.0f).fog, kDay, 2.5f, 5.0f);
    expect_fog(plan_scene_5(31.0f).fog, kDay, 2.5f, 5.0f);
    // Just past 31 the fade to white has begun: the fog closes in.
    EXPECT_LT(plan_scene_5(std::nextafter(31.0f, 32.0f)).fog.start, 2.5f);
    expect_fog(plan_scene_5(31.25f).fog, 0xFFC5FFFF, 2.5f * (1 - std::sin(0.39269909f)),
               5.0f * (1 - std::sin(0.39269909f)));
    expect_fog(plan_scene_5(32.0f).fog, 0xFFFFFFFF, 0, 0);
    expect_fog(plan_scene_5(32.5f).fog, 0xFFE5E5E5, 0, 0);
    expect_fog(plan_scene_5(34.5f).fog, 0xFF7F7F7F, 0, 0);
    expect_fog(plan_scene_5(37.0f).fog, 0xFF000000, 0, 0);
    expect_fog(plan_scene_5(500.0f).fog, 0xFF000000, 0, 0);
    expect_fog_call(frame(scene_5, 2341740), kDay, 2.5f, 5.0f);  // t just below 31
    expect_fog_call(frame(scene_5, 2606130), 0xFF7F7F7F, 0, 0);  // t = 34.5
}

TEST_F(Scripts, Scene5ShrinksTheTreeFromT24WithoutALowerBound)
{
    EXPECT_EQ(flat(plan_scene_5(24.0f).tree.base), flat(diag(1)));
    EXPECT_EQ(flat(frame(scene_5, 1812959).tree_base), flat(diag(1)));
    expect_matrix_near(frame(scene_5, 2115120).tree_base, diag(0.70710678f));  // t = 28
    EXPECT_NEAR(plan_scene_5(32.0f).tree.base.m[0][0], 0.0f, 1e-6f);
    expect_matrix_near(plan_scene_5(40.0f).tree.base, diag(-1.0f));
    EXPECT_FALSE(frame(scene_5, 0).sky_dome);
}

TEST_F(Scripts, Scene5CrownClosesFromT12UntilTheChildrenCoincide)
{
    EXPECT_EQ(plan_scene_5(12.0f).tree.spread, 0.9424779f);
    EXPECT_EQ(plan_scene_5(20.0f).tree.spread, 0.9424779f - (20.0f - 12.0f) * 0.05f);
    EXPECT_GT(plan_scene_5(30.8f).tree.spread, 0.0f);
    EXPECT_EQ(plan_scene_5(30.9f).tree.spread, 0.0f);
    EXPECT_EQ(plan_scene_5(31.0f).tree.spread, 0.0f);

    frame(scene_5, 2341740);  // t just below 31: spread 0, both rolls the lean
    EXPECT_EQ(tree_params.roll[0], 0.31415927f);
    EXPECT_EQ(tree_params.roll[1], 0.31415927f);
    EXPECT_EQ(tree_params.scale[0], 0.625f);
    EXPECT_EQ(tree_params.scale[1], 0.625f);
    frame(scene_5, 0);
    EXPECT_FLOAT_EQ(tree_params.roll[1], 0.31415927f + 0.9424779f);
}

TEST_F(Scripts, Scene5DriftsSlowlyWithDarkLeaves)
{
    const float t = scene_clock(906480);  // 12
    const FrameFacts f = frame(scene_5, 906480);
    expect_eye(f, 2.5f * std::cos(0.06f * t), 1.6f, -2.5f * std::sin(0.06f * t));
    EXPECT_FLOAT_EQ(tree_params.twist, -0.06f * t);
    EXPECT_THAT(f.leaf_factors, Each(grey(0)));
}
