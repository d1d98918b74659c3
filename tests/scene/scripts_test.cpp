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
    EXPECT_EQ(scene_clock(75540), 0.99999994f);  // one float step below 1
    // A wrapped, negative music position gives a negative clock.
    EXPECT_EQ(scene_clock(-6496440), -86.0f);
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

TEST_F(Scripts, Scene1FadeInHasReachedTheDayCallByItsLastByte)
{
    ASSERT_LT(scene_clock(151080), 2.0f);  // still the fade-in formula
    expect_fog_call(frame(scene_1, 151080), kDay, 2.5f, 5.0f);
    expect_fog_call(frame(scene_1, 151081), kDay, 2.5f, 5.0f);
    // At t = 3 a fade-in running on would give red 355 - 255 sin(3 pi / 4) =
    // 174.7, 0xFFAEFFFF: the day call holds instead.
    expect_fog_call(frame(scene_1, 226620), kDay, 2.5f, 5.0f);
}

TEST_F(Scripts, Scene1FadeToBlackStartsJustAfter86)
{
    // At t = 85 the fade would give k = 1.5 and red 150: the day call holds.
    expect_fog_call(frame(scene_1, 6420900), kDay, 2.5f, 5.0f);
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
    // At t = 23 the growth formula would give sin(-pi / 80) = -0.039.
    EXPECT_EQ(flat(frame(scene_1, 1737420).tree_base), flat(diag(0)));
    EXPECT_EQ(flat(frame(scene_1, 1812960).tree_base), flat(diag(0)));  // t = 24: sin 0
    expect_matrix_near(frame(scene_1, 3323760).tree_base, diag(0.70710678f));
    // t = 63.999996: sin(39.999996 x 0.039269909) = sin(1.5707962), which
    // rounds to 1 in a float.
    EXPECT_EQ(flat(frame(scene_1, 4834560).tree_base), flat(diag(1)));
    // At t = 66 the growth formula would give sin(42 pi / 80) = 0.9969.
    EXPECT_EQ(flat(frame(scene_1, 4985640).tree_base), flat(diag(1)));
    EXPECT_EQ(flat(plan_scene_1(100.0f).tree.base), flat(diag(1)));
}

TEST_F(Scripts, Scene1CrownOpensOnlyAfterT80)
{
    frame(scene_1, 5287800);  // t = 70: the opening formula would give 1 - cos 1.5 = 0.93
    EXPECT_EQ(tree_params.roll[0], 0.0f);
    EXPECT_EQ(tree_params.roll[1], 0.0f);
    frame(scene_1, 6043200);  // t = 80: 1 - cos 0 = 0 either way
    EXPECT_EQ(tree_params.roll[1], 0.0f);
    frame(scene_1, 6118740);  // t = 81: 1 - cos 0.15 = 1 - 0.98877108
    EXPECT_NEAR(tree_params.roll[1], 0.01122892f, 1e-7f);
    EXPECT_EQ(tree_params.roll[0], -tree_params.roll[1]);
    frame(scene_1, 6648555);  // t = 88.013695: 1 - cos(8.013695 x 0.15) = 1 - 0.3604424
    EXPECT_NEAR(tree_params.roll[1], 0.6395576f, 2e-6f);
    EXPECT_EQ(tree_params.scale[0], 0.625f);
    EXPECT_EQ(tree_params.twist, 0.0f);
}

TEST_F(Scripts, Scene1CameraDriftsTowardsMinusZAndRises)
{
    // t = 88.013695, u = 0.88013695: eye (2.5 cos 1.7602739, 1.6,
    // -2.5 sin 1.7602739), target 1.6 + 0.5 sin 0.17602739.
    const FrameFacts f = frame(scene_1, 6648555);
    expect_eye(f, -0.4708649f, 1.6f, -2.4552569f);
    EXPECT_NEAR(target_height_of(f.view), 1.6875599f, 1e-4f);
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
    // Height 1.6 + 0.5 sin(0.04 t) + lift, lift = 20 (1 - cos((t - 42) / 2)) after t = 42.
    // t = 30: 1.6 + 0.5 sin 1.2 = 1.6 + 0.4660195; the climb would add 20 (1 - cos 6) = 0.80.
    EXPECT_NEAR(target_height_of(frame_2(2266200).view), 2.0660195f, 1e-4f);
    // t = 42: 1.6 + 0.5 sin 1.68 = 1.6 + 0.4970216, no lift yet.
    ASSERT_EQ(scene_clock(3172680), 42.0f);
    EXPECT_NEAR(target_height_of(frame_2(3172680).view), 2.0970216f, 1e-4f);
    // t = 43: 1.6 + 0.5 sin 1.72 = 2.0944450, lift 20 (1 - cos 0.5) = 2.4483488.
    EXPECT_NEAR(target_height_of(frame_2(3248220).view), 4.5427936f, 1e-4f);
    // The last byte, t = 44.065277: 1.6 + 0.5 sin 1.7626111 = 2.0908301, lift
    // 20 (1 - cos 1.0326385) = 9.7488958.
    EXPECT_NEAR(target_height_of(frame_2(3328691).view), 11.8397257f, 1e-4f);
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
    // t = 1.5: eye (2.5 cos 1.5, 1.6, 2.5 sin 1.5), target 1.6 - 0.5 sin 0.15, twist -2.25.
    const FrameFacts f = frame(scene_3, 113310);
    expect_eye(f, 0.1768430f, 1.6f, 2.4937375f);
    EXPECT_NEAR(target_height_of(f.view), 1.5252809f, 1e-4f);
    EXPECT_FLOAT_EQ(tree_params.twist, -2.25f);
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

TEST_F(Scripts, Scene3LeansWithCosTAndSpreadsWithSinTwoT)
{
    // t = 1.5: lean = cos 1.5 x 0.7 x pi/4 = 0.0707372 x 0.5497787 = 0.0388898;
    // spread = (0.3 sin 3 + 0.9) x pi/4 = (0.0423360 + 0.9) x 0.7853982 = 0.7401090.
    frame(scene_3, 113310);
    EXPECT_NEAR(tree_params.roll[0], -0.7012192f, 2e-6f);  // lean - spread
    EXPECT_NEAR(tree_params.roll[1], 0.7789988f, 2e-6f);   // lean + spread
    // Leaning to +z: child 1 is shortened, 0.625 (0.5 + 0.5 cos 0.0777796) = 0.6240552.
    EXPECT_EQ(tree_params.scale[0], 0.625f);
    EXPECT_NEAR(tree_params.scale[1], 0.6240552f, 1e-6f);

    // t = 4 (3.9999998): lean = cos 4 x 0.5497787 = -0.6536436 x 0.5497787 =
    // -0.3593593; spread = (0.3 sin 8 + 0.9) x pi/4 = (0.2968075 + 0.9) x
    // 0.7853982 = 0.9399704.
    frame(scene_3, 302160);
    EXPECT_NEAR(tree_params.roll[0], -1.2993297f, 2e-6f);
    EXPECT_NEAR(tree_params.roll[1], 0.5806110f, 2e-6f);
    // Leaning the other way: child 0 is shortened, 0.625 (0.5 + 0.5 cos 0.7187187) = 0.5477031.
    EXPECT_NEAR(tree_params.scale[0], 0.5477031f, 1e-6f);
    EXPECT_EQ(tree_params.scale[1], 0.625f);
}

// ---- scene 4 ----

TEST_F(Scripts, Scene4FadesInFromWhiteOverOneUnit)
{
    expect_fog_call(frame(scene_4, 0), 0xFFFFFFFF, 0, 0);
    expect_fog(plan_scene_4(0.25f).fog, 0xFFA1A5AD, 0.9567086f, 1.9134172f);
    expect_fog(plan_scene_4(1.0f).fog, kNight, 2.5f, 5.0f);  // the fade-in's end value too
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
    // t = 1.5: eye (2.5 cos 3, 1.6, -2.5 sin 3), target 1.6 + 0.5 sin 0.3, twist 1.5.
    const FrameFacts f = frame(scene_4, 113310);
    expect_eye(f, -2.4749812f, 1.6f, -0.3528000f);
    EXPECT_NEAR(target_height_of(f.view), 1.7477601f, 1e-4f);
    EXPECT_FLOAT_EQ(tree_params.twist, 1.5f);
    // Past the fade-in: a fade running on would give red 259 - 255 sin(0.75 pi) = 78.
    expect_fog_call(f, kNight, 2.5f, 5.0f);
}

// ---- scene 5 ----

TEST_F(Scripts, Scene5FogThroughItsFourIntervals)
{
    // At t = 2, 31 and 32 the formulas on either side agree; the values there
    // are checked, and within each interval where its neighbours' would differ.
    expect_fog_call(frame(scene_5, 0), 0xFFFFFFFF, 0, 0);
    expect_fog(plan_scene_5(1.0f).fog, 0xFFAEFFFF, 1.76776695f, 3.53553391f);
    expect_fog(plan_scene_5(2.0f).fog, kDay, 2.5f, 5.0f);
    // t = 3: the fade-in would give red 355 - 255 sin(3 pi / 4) = 174.7.
    expect_fog(plan_scene_5(3.0f).fog, kDay, 2.5f, 5.0f);
    // t = 30: the fade to white would give fog 2.5 (1 - sin(-pi / 2)) = 5.
    expect_fog(plan_scene_5(30.0f).fog, kDay, 2.5f, 5.0f);
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
    // At t = 20 the shrinking formula would give cos(-pi / 4) = 0.7071.
    EXPECT_EQ(flat(frame(scene_5, 1510800).tree_base), flat(diag(1)));
    EXPECT_EQ(flat(plan_scene_5(24.0f).tree.base), flat(diag(1)));             // cos 0 either way
    expect_matrix_near(frame(scene_5, 2115120).tree_base, diag(0.70710678f));  // t = 28
    EXPECT_NEAR(plan_scene_5(32.0f).tree.base.m[0][0], 0.0f, 1e-6f);
    expect_matrix_near(plan_scene_5(40.0f).tree.base, diag(-1.0f));
    EXPECT_FALSE(frame(scene_5, 0).sky_dome);
}

TEST_F(Scripts, Scene5CrownClosesFromT12UntilTheChildrenCoincide)
{
    EXPECT_EQ(plan_scene_5(12.0f).tree.spread, 0.9424779f);        // 0.9424779 - 0 either way
    EXPECT_FLOAT_EQ(plan_scene_5(20.0f).tree.spread, 0.5424779f);  // 0.9424779 - 8 x 0.05
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
    // t = 12, u = 0.36: eye (2.5 cos 0.72, 1.6, -2.5 sin 0.72), target
    // 1.6 + 0.5 sin 0.072, twist -0.72.
    const FrameFacts f = frame(scene_5, 906480);
    expect_eye(f, 1.8795143f, 1.6f, -1.6484617f);
    EXPECT_NEAR(target_height_of(f.view), 1.6359689f, 1e-4f);
    EXPECT_FLOAT_EQ(tree_params.twist, -0.72f);
    EXPECT_THAT(f.leaf_factors, Each(grey(0)));
    // t = 29.999998, u = 0.9: target 1.6 + 0.5 sin 0.18.
    EXPECT_NEAR(target_height_of(frame(scene_5, 2266200).view), 1.6895148f, 1e-4f);
}
