// The timeline: the projection every frame, and which scene a music position
// selects with which byte count.
#include "scene/timeline.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <climits>

#include "scene/scripts.h"
#include "tests/scene/frame_facts.h"
#include "tests/scene/scene_fixture.h"

namespace {

Mat4 demo_projection()
{
    Mat4 p;
    mat_perspective(&p, 75.0f, 1.7777778f, 0.5f, 100.0f);
    return p;
}

}  // namespace

class Timeline : public SceneTest {
protected:
    void SetUp() override
    {
        SceneTest::SetUp();
        device.set_keep_draw_data(false);
    }

    std::vector<DeviceCall> frame_at(int32_t position)
    {
        device.clear_calls();
        music_pos = position;
        render_frame();
        return calls();
    }

    // What the frame must be: the projection, then the scene with its byte count.
    std::vector<DeviceCall> expected_frame(void (*scene)(int32_t), int32_t bytes)
    {
        device.clear_calls();
        const Mat4 p = demo_projection();
        gu_load_matrix(GU_PROJECTION, &p);
        scene(bytes);
        return calls();
    }
};

TEST_F(Timeline, EveryFrameStartsWithTheSameProjection)
{
    for (int32_t position : {0, 8000000, 20000000}) {
        const auto frame = frame_at(position);
        ASSERT_FALSE(frame.empty());
        EXPECT_EQ(frame[0], transform(D3DTS_PROJECTION, demo_projection()));
    }
    const auto p = std::get<call::Transform>(frame_at(0)[0]).matrix;
    EXPECT_NEAR(p[0], 0.733064234f, 1e-6f);
    EXPECT_NEAR(p[5], 1.30322528f, 1e-6f);
    EXPECT_NEAR(p[10], -1.00502515f, 1e-6f);
    EXPECT_EQ(p[11], -1.0f);
    EXPECT_NEAR(p[14], -0.502512574f, 1e-6f);
    EXPECT_EQ(p[15], 0.0f);
}

TEST_F(Timeline, EveryFrameClearsThenPlacesTheCameraThenDrawsBackToFront)
{
    using Outline = std::vector<std::string>;
    const Outline with_stars = {"projection", "clear",  "fog",   "view",
                                "sky dome",   "ground", "grass", "tree"};
    const Outline without_stars = {"projection", "clear", "fog", "view", "ground", "grass", "tree"};
    // One position in each scene: scenes 1 and 5 have no stars.
    const std::pair<int32_t, const Outline*> frames[] = {{3323760, &without_stars},
                                                         {8000000, &with_stars},
                                                         {11000000, &with_stars},
                                                         {15000000, &with_stars},
                                                         {17000000, &without_stars}};
    for (const auto& [position, outline] : frames) {
        EXPECT_EQ(frame_outline(frame_at(position)), *outline) << "music_pos " << position;
    }
}

struct Selection {
    int32_t position;
    int scene;
    int32_t bytes;
};

void PrintTo(const Selection& s, std::ostream* out)
{
    *out << "music_pos " << s.position;
}

class SceneSelection : public Timeline, public ::testing::WithParamInterface<Selection> {};

TEST_P(SceneSelection, PicksTheSceneAndPassesTheBytesSinceItsStart)
{
    void (*const scenes[])(int32_t) = {scene_1, scene_2, scene_3, scene_4, scene_5};
    const Selection s = GetParam();
    const auto actual = frame_at(s.position);
    // Scene 2 reads music_pos, which frame_at has set.
    const auto expected = expected_frame(scenes[s.scene - 1], s.bytes);
    ASSERT_EQ(actual.size(), expected.size());
    for (size_t i = 0; i < actual.size(); ++i) {
        ASSERT_EQ(actual[i], expected[i]) << "call " << i;
    }
    // The neighbouring scene at the same byte count draws something else.
    const int other = s.scene == 5 ? 4 : s.scene + 1;
    EXPECT_NE(expected_frame(scenes[other - 1], s.bytes), actual);
}

INSTANTIATE_TEST_SUITE_P(
    Boundaries, SceneSelection,
    ::testing::Values(Selection{INT_MIN, 1, INT_MIN},  // 2^31 bytes and beyond wrap to here
                      Selection{-1, 1, -1}, Selection{0, 1, 0}, Selection{6648555, 1, 6648555},
                      Selection{6648556, 2, 0}, Selection{9977247, 2, 3328691},
                      Selection{9977248, 3, 0}, Selection{13303875, 3, 3326627},
                      Selection{13303876, 4, 0}, Selection{16631031, 4, 3327155},
                      Selection{16631032, 5, 0}, Selection{INT_MAX, 5, INT_MAX - 16631032}));
