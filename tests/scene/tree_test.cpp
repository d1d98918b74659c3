// The recursive tree: its parameters, the shape of its call sequence (63
// segments, 32 leaf clusters, depth first) and the transforms of its children.
#include "scene/tree.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>

#include "scene/elements.h"
#include "tests/scene/scene_fixture.h"

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

namespace {

bool is_segment(const DeviceCall& c)
{
    const auto* d = std::get_if<call::Draw>(&c);
    return d != nullptr && !d->indexed && d->type == D3DPT_TRIANGLESTRIP && d->record_count == 58 &&
           d->primitive_count == 56;
}

bool is_leaf_cluster(const DeviceCall& c)
{
    const auto* d = std::get_if<call::Draw>(&c);
    return d != nullptr && d->indexed && d->type == D3DPT_TRIANGLELIST && d->record_count == 8 &&
           d->primitive_count == 2 && d->index_count == 6;
}

// 'S' for a segment, 'L' for a leaf cluster, in the order a depth-first walk draws them.
void expected_walk(int depth, std::string* out)
{
    *out += 'S';
    if (depth >= 5) {
        *out += 'L';
        return;
    }
    expected_walk(depth + 1, out);
    expected_walk(depth + 1, out);
}

Mat4 world_before(const std::vector<DeviceCall>& calls, size_t index)
{
    for (size_t i = index; i-- > 0;) {
        if (const auto* t = std::get_if<call::Transform>(&calls[i])) {
            if (t->state == D3DTS_WORLD) {
                return unflat(t->matrix);
            }
        }
    }
    ADD_FAILURE() << "no world matrix before call " << index;
    return identity_matrix();
}

std::vector<Mat4> segment_worlds(const std::vector<DeviceCall>& calls)
{
    std::vector<Mat4> worlds;
    for (size_t i = 0; i < calls.size(); ++i) {
        if (is_segment(calls[i])) {
            worlds.push_back(world_before(calls, i));
        }
    }
    return worlds;
}

Mat4 sample_base()
{
    Mat4 m = identity_matrix();
    m.m[0][0] = 0.5f;
    m.m[0][1] = 0.25f;
    m.m[3][0] = 2.0f;
    m.m[3][2] = -1.0f;
    return m;
}

void expect_matrix_near(const Mat4& actual, const Mat4& expected)
{
    for (int r = 0; r < 4; ++r) {
        for (int k = 0; k < 4; ++k) {
            EXPECT_NEAR(actual.m[r][k], expected.m[r][k], 2e-6f)
                << "element [" << r << "][" << k << "]";
        }
    }
}

}  // namespace

class Tree : public SceneTest {};

TEST_F(Tree, SwitchesFogAndTexturingOnAndAlphaTestOffFirst)
{
    const Mat4 base = sample_base();
    draw_tree(&base, 0, 0, 0, 0, 0);
    ASSERT_GE(calls().size(), 3u);
    EXPECT_EQ(calls()[0], render_state(D3DRS_FOGENABLE, 1));
    EXPECT_EQ(calls()[1], render_state(D3DRS_ALPHATESTENABLE, 0));  // texturing on makes no call
    EXPECT_EQ(calls()[2], transform(D3DTS_WORLD, base));
}

TEST_F(Tree, DrawsSixtyThreeSegmentsAndThirtyTwoLeafClustersDepthFirst)
{
    const Mat4 base = identity_matrix();
    draw_tree(&base, 0.3f, 0.1f, 0.4f, 0.5f, 200);
    std::string walk;
    for (const DeviceCall& c : calls()) {
        if (is_segment(c)) {
            walk += 'S';
        } else if (is_leaf_cluster(c)) {
            walk += 'L';
        }
    }
    std::string expected;
    expected_walk(0, &expected);
    EXPECT_EQ(std::count(walk.begin(), walk.end(), 'S'), 63);
    EXPECT_EQ(std::count(walk.begin(), walk.end(), 'L'), 32);
    EXPECT_EQ(walk, expected);
    EXPECT_EQ(count_of<call::Draw>(calls()), 95u);
}

TEST_F(Tree, EverySegmentLoadsItsWorldCullsAndBindsTheBarkBeforeItsStrip)
{
    const Mat4 base = identity_matrix();
    draw_tree(&base, 0.3f, 0.1f, 0.4f, 0.5f, 200);
    int segments = 0;
    for (size_t i = 0; i < calls().size(); ++i) {
        if (!is_segment(calls()[i])) {
            continue;
        }
        ++segments;
        ASSERT_GE(i, 7u);
        const std::vector<DeviceCall> before(calls().begin() + static_cast<long>(i) - 7,
                                             calls().begin() + static_cast<long>(i));
        EXPECT_TRUE(is<call::Transform>(before[0])) << listing(before);
        EXPECT_EQ(before[1], render_state(D3DRS_CULLMODE, D3DCULL_CCW));
        EXPECT_EQ(before[2], texture(0, &bark));
        EXPECT_EQ(before[6], set_fvf(0x152));
    }
    EXPECT_EQ(segments, 63);
}

TEST_F(Tree, EveryLeafClusterIsScaledByFiveAndBlendedAdditivelyWithBlendingSwitchedAroundIt)
{
    set_fog_and_clear(0xFF040810, 2.5f, 5.0f);
    device.clear_calls();
    const Mat4 base = identity_matrix();
    draw_tree(&base, 0.3f, 0.1f, 0.4f, 0.5f, 0x1C0);  // grey 0xC0
    int leaves = 0;
    for (size_t i = 0; i < calls().size(); ++i) {
        if (!is_leaf_cluster(calls()[i])) {
            continue;
        }
        ++leaves;
        ASSERT_GE(i, 14u);
        ASSERT_LT(i + 3, calls().size());
        const auto at = [&](long offset) { return calls()[i + static_cast<size_t>(offset)]; };
        // The tip's segment comes just before, under the world matrix before the leaf's.
        ASSERT_TRUE(is_segment(at(-14))) << listing(calls());
        // The leaf's world is its tip's scaled by five before it: rows 0 to 2
        // five times the tip's, the tip's position (row 3) unchanged.
        const Mat4 tip = world_before(calls(), i - 14);
        Mat4 scaled = tip;
        for (int r = 0; r < 3; ++r) {
            for (int k = 0; k < 4; ++k) {
                scaled.m[r][k] = 5.0f * tip.m[r][k];
            }
        }
        EXPECT_EQ(at(-13), transform(D3DTS_WORLD, scaled));
        EXPECT_EQ(at(-12), render_state(D3DRS_CULLMODE, D3DCULL_NONE));
        EXPECT_EQ(at(-11), texture(0, &leaf));
        EXPECT_EQ(at(-7), render_state(D3DRS_FOGCOLOR, 0));
        EXPECT_EQ(at(-5), render_state(D3DRS_ALPHABLENDENABLE, 1));
        EXPECT_EQ(at(-2), render_state(D3DRS_BLENDFACTOR, 0xFFC0C0C0));
        EXPECT_EQ(at(-1), set_fvf(0x152));
        EXPECT_EQ(at(1), render_state(D3DRS_FOGCOLOR, 0xFF040810));
        EXPECT_EQ(at(2), render_state(D3DRS_ZWRITEENABLE, 1));
        EXPECT_EQ(at(3), render_state(D3DRS_ALPHABLENDENABLE, 0));
        // Only the upright quad of the cluster is drawn.
        EXPECT_THAT(std::get<call::Draw>(calls()[i]).indices16(), ElementsAre(0, 1, 2, 1, 2, 3));
    }
    EXPECT_EQ(leaves, 32);
    std::vector<DWORD> alternating;
    for (int n = 0; n < 32; ++n) {
        alternating.push_back(1);
        alternating.push_back(0);
    }
    EXPECT_THAT(values_of(calls(), D3DRS_ALPHABLENDENABLE), ElementsAreArray(alternating));
}

// ---- parameters ----

TEST_F(Tree, WithoutLeanOrWithoutShrinkBothChildrenKeepFiveEighths)
{
    const Mat4 base = identity_matrix();
    draw_tree(&base, 0, 0, 0.3f, 1.0f, 0);
    EXPECT_EQ(tree_params.scale[0], 0.625f);
    EXPECT_EQ(tree_params.scale[1], 0.625f);
    EXPECT_EQ(tree_params.roll[0], -0.3f);
    EXPECT_EQ(tree_params.roll[1], 0.3f);
    draw_tree(&base, 0, 0.7f, 0.3f, 0.0f, 0);
    EXPECT_EQ(tree_params.scale[0], 0.625f);
    EXPECT_EQ(tree_params.scale[1], 0.625f);
}

TEST_F(Tree, OnlyTheChildLeaningFurtherIsShortened)
{
    const Mat4 base = identity_matrix();
    draw_tree(&base, 0.25f, -0.5f, 0.2f, 1.0f, 0);
    EXPECT_FLOAT_EQ(tree_params.scale[0], 0.625f * std::cos(1.0f));
    EXPECT_EQ(tree_params.scale[1], 0.625f);
    EXPECT_FLOAT_EQ(tree_params.roll[0], -0.7f);
    EXPECT_FLOAT_EQ(tree_params.roll[1], -0.3f);
    EXPECT_EQ(tree_params.twist, 0.25f);

    draw_tree(&base, 0, 0.5f, 0.2f, 1.0f, 0);
    EXPECT_EQ(tree_params.scale[0], 0.625f);
    EXPECT_FLOAT_EQ(tree_params.scale[1], 0.625f * std::cos(1.0f));
}

TEST_F(Tree, ShrinkWeighsTheShortening)
{
    const Mat4 base = identity_matrix();
    draw_tree(&base, 0, 0.5497787f, 0.5f, 0.5f, 0);  // scene 3's largest lean
    EXPECT_EQ(tree_params.scale[0], 0.625f);
    EXPECT_NEAR(tree_params.scale[1], 0.454f, 0.001f);
    EXPECT_FLOAT_EQ(tree_params.scale[1], 0.625f * (0.5f + 0.5f * std::cos(-1.0995574f)));
}

struct LeafGrey {
    int32_t leaf_gray;
    D3DCOLOR color;
};

class LeafColour : public SceneTest, public ::testing::WithParamInterface<LeafGrey> {};

TEST_P(LeafColour, UsesOnlyTheLowByteOfTheGrey)
{
    const Mat4 base = identity_matrix();
    draw_tree(&base, 0, 0, 0, 0, GetParam().leaf_gray);
    EXPECT_EQ(tree_params.leaf_color, GetParam().color);
    const auto factors = values_of(calls(), D3DRS_BLENDFACTOR);
    ASSERT_EQ(factors.size(), 32u);
    EXPECT_EQ(factors.front(), GetParam().color);
}

INSTANTIATE_TEST_SUITE_P(Greys, LeafColour,
                         ::testing::Values(LeafGrey{0x1FF, 0xFFFFFFFF}, LeafGrey{-1, 0xFFFFFFFF},
                                           LeafGrey{256, 0xFF000000}, LeafGrey{0, 0xFF000000},
                                           LeafGrey{0x80, 0xFF808080}, LeafGrey{53, 0xFF353535}));

// ---- child transforms ----

TEST_F(Tree, ChildrenAreLiftedTurnedByDepthPlusTwistRolledAndScaled)
{
    // A base that turns (about z, by atan(0.6 / 0.8)) and moves: lifting along
    // the parent's axis and moving in the world then give different results.
    const Mat4 base{{{0.8f, 0.6f, 0, 0}, {-0.6f, 0.8f, 0, 0}, {0, 0, 1, 0}, {2, 0, -1, 1}}};
    // Rolls 0.1 - 0.2 = -0.1 and 0.1 + 0.2 = 0.3; scales 0.625 (the bend 0.2
    // is not negative) and 0.625 * (0.5 + 0.5 cos 0.2) = 0.6187708.
    draw_tree(&base, 0.3f, 0.1f, 0.2f, 0.5f, 0);
    const auto worlds = segment_worlds(calls());
    ASSERT_EQ(worlds.size(), 63u);

    // Expected values worked out in double precision as
    // scale_s(Rz(roll) x Ry(depth + twist) x T(0, 1.455, 0) x parent); the
    // float products differ from them by a few units in the last place.
    // Segment 1 is the trunk's first child: yaw 0.3, roll -0.1, scale 0.625.
    // Its row 3 is base row 3 + 1.455 x base row 1 = (2 - 0.873, 1.164, -1).
    const Mat4 child0{{{0.5127194f, 0.3065447f, -0.1837774f, 0},
                       {-0.3254393f, 0.5332675f, -0.0184392f, 0},
                       {0.1477601f, 0.1108201f, 0.5970853f, 0},
                       {1.127f, 1.164f, -1.0f, 1}}};
    expect_matrix_near(worlds[1], child0);
    // Segment 2, that child's first child: yaw 1 + 0.3 from its parent's depth.
    const Mat4 grandchild{{{0.0170576f, -0.0486846f, -0.3872037f, 0},
                           {-0.2027093f, 0.3300809f, -0.0504324f, 0},
                           {0.3334754f, 0.2031362f, -0.0108504f, 0},
                           {0.6534858f, 1.9399042f, -1.0268291f, 1}}};
    expect_matrix_near(worlds[2], grandchild);
    // Segment 32, the trunk's second child (after the 31 segments of the
    // first subtree): yaw 0.3, roll 0.3, scale 0.6187708.
    const Mat4 child1{{{0.3420702f, 0.4851267f, -0.1746921f, 0},
                       {-0.4944343f, 0.3680922f, 0.0540386f, 0},
                       {0.1462874f, 0.1097156f, 0.5911343f, 0},
                       {1.127f, 1.164f, -1.0f, 1}}};
    expect_matrix_near(worlds[32], child1);
}
