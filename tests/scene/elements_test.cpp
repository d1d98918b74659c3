// The drawing routines every scene is built from, call by call.
#include "scene/elements.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <bit>

#include "tests/scene/scene_fixture.h"

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

namespace {

Mat4 translation(float x, float y, float z)
{
    Mat4 m = identity_matrix();
    m.m[3][0] = x;
    m.m[3][1] = y;
    m.m[3][2] = z;
    return m;
}

}  // namespace

class Elements : public SceneTest {
protected:
    std::vector<DeviceCall> bind_calls(RecordingTexture* t) const
    {
        return {t != nullptr ? texture(0, t) : no_texture(0),
                sampler_state(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR),
                sampler_state(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR),
                sampler_state(0, D3DSAMP_MIPFILTER, D3DTEXF_POINT)};
    }
};

TEST_F(Elements, BindingASlotSetsStageZeroWithLinearFilteringAndPointMips)
{
    bind_texture_slot(TEXTURE_SLOT_GRASS);
    EXPECT_THAT(calls(), ElementsAreArray(bind_calls(&grass)));
}

TEST_F(Elements, BindingTheEmptySlotUnbindsTheTexture)
{
    bind_texture_slot(TEXTURE_SLOT_UNUSED);
    EXPECT_THAT(calls(), ElementsAreArray(bind_calls(nullptr)));
}

TEST_F(Elements, FogAndClearShareOneColour)
{
    set_fog_and_clear(0xFF112233, 1.25f, 3.5f);
    EXPECT_THAT(calls(), ElementsAre(DeviceCall{call::Clear{0, {}, 3, 0xFF112233, 1.0f, 0}},
                                     render_state(D3DRS_FOGVERTEXMODE, D3DFOG_LINEAR),
                                     render_state(D3DRS_FOGSTART, std::bit_cast<DWORD>(1.25f)),
                                     render_state(D3DRS_FOGEND, std::bit_cast<DWORD>(3.5f)),
                                     render_state(D3DRS_FOGCOLOR, 0xFF112233)));
    EXPECT_EQ(fog_color, 0xFF112233u);
}

TEST_F(Elements, AdditiveBlendOnAddsTheSourceTimesTheFactorWithoutDepthWrites)
{
    set_additive_blend(TRUE, 0xFF404040);
    EXPECT_THAT(calls(),
                ElementsAre(render_state(D3DRS_FOGCOLOR, 0), render_state(D3DRS_ZWRITEENABLE, 0),
                            render_state(D3DRS_ALPHABLENDENABLE, 1),
                            render_state(D3DRS_SRCBLEND, D3DBLEND_BLENDFACTOR),
                            render_state(D3DRS_DESTBLEND, D3DBLEND_ONE),
                            render_state(D3DRS_BLENDFACTOR, 0xFF404040)));
}

TEST_F(Elements, AdditiveBlendOffRestoresTheSceneFogColour)
{
    set_fog_and_clear(0xFF040810, 2.5f, 5.0f);
    set_additive_blend(TRUE, 0xFFFFFFFF);
    device.clear_calls();
    set_additive_blend(FALSE, 0x12345678);  // the factor is not used
    EXPECT_THAT(calls(), ElementsAre(render_state(D3DRS_FOGCOLOR, 0xFF040810),
                                     render_state(D3DRS_ZWRITEENABLE, 1),
                                     render_state(D3DRS_ALPHABLENDENABLE, 0)));
}

TEST_F(Elements, AdditiveBlendTestsOnlyTheLowByteOfOn)
{
    set_additive_blend(0x100, 0xFF808080);  // low byte 0: off
    set_additive_blend(0x201, 0xFF808080);  // low byte 1: on
    const auto blend = values_of(calls(), D3DRS_ALPHABLENDENABLE);
    EXPECT_THAT(blend, ElementsAre(0, 1));
}

TEST_F(Elements, SkyDomeDrawsTheStarsAroundTheEyeWithoutDepthThenSwitchesDepthBackOn)
{
    const Vec3 eye{1, 2, 3};
    draw_sky_dome(&eye);
    ASSERT_EQ(calls().size(), 9u) << listing(calls());
    EXPECT_THAT(std::vector<DeviceCall>(calls().begin(), calls().begin() + 7),
                ElementsAre(render_state(D3DRS_ZENABLE, 0), render_state(D3DRS_FOGENABLE, 0),
                            render_state(D3DRS_CULLMODE, D3DCULL_NONE), no_texture(0),
                            render_state(D3DRS_ALPHATESTENABLE, 0),
                            transform(D3DTS_WORLD, translation(1, 2, 3)), set_fvf(0x152)));
    EXPECT_EQ(calls()[8], render_state(D3DRS_ZENABLE, 1));

    const auto draws = calls_of<call::Draw>(calls());
    ASSERT_EQ(draws.size(), 1u);
    EXPECT_EQ(draws[0].type, D3DPT_POINTLIST);
    EXPECT_EQ(draws[0].primitive_count, 4096u);
    const auto stars = draws[0].records_as<DeviceVertex>();
    ASSERT_EQ(stars.size(), 4096u);
    for (size_t i : {size_t{0}, size_t{4095}}) {
        EXPECT_EQ(stars[i].diffuse, star_records[i].color);
        EXPECT_EQ(stars[i].x, star_records[i].x);
        EXPECT_EQ(stars[i].y, star_records[i].y);
        EXPECT_EQ(stars[i].z, star_records[i].z);
    }
}

TEST_F(Elements, GroundDrawsEightyOneTilesRowByRow)
{
    draw_ground(-4, 5, -4, 5);
    std::vector<DeviceCall> expected = {render_state(D3DRS_FOGENABLE, 1),
                                        render_state(D3DRS_CULLMODE, D3DCULL_NONE),
                                        render_state(D3DRS_ALPHATESTENABLE, 0)};
    for (const DeviceCall& c : bind_calls(&ground)) {
        expected.push_back(c);
    }
    const size_t states = expected.size();
    EXPECT_THAT(std::vector<DeviceCall>(calls().begin(), calls().begin() + states),
                ElementsAreArray(expected));

    std::vector<Mat4> expected_worlds;
    for (int k = -4; k < 5; ++k) {
        for (int i = -4; i < 5; ++i) {
            expected_worlds.push_back(
                translation(static_cast<float>(2 * i), 0, static_cast<float>(2 * k)));
        }
    }
    const auto worlds = calls_of<call::Transform>(calls());
    const auto draws = calls_of<call::Draw>(calls());
    ASSERT_EQ(worlds.size(), 81u);
    ASSERT_EQ(draws.size(), 81u);
    for (size_t n = 0; n < 81; ++n) {
        EXPECT_EQ(DeviceCall{worlds[n]}, transform(D3DTS_WORLD, expected_worlds[n])) << n;
        EXPECT_EQ(draws[n].type, D3DPT_TRIANGLESTRIP);
        EXPECT_EQ(draws[n].primitive_count, 2u);
        EXPECT_EQ(draws[n].record_count, 4u);
    }
    EXPECT_EQ(calls().size(), states + 81 * 3);
}

TEST_F(Elements, GroundWithAnEmptyRangeSetsStatesButDrawsNothing)
{
    draw_ground(0, 0, -4, 5);
    draw_ground(-4, 5, 5, -4);
    EXPECT_EQ(count_of<call::Draw>(calls()), 0u);
    EXPECT_EQ(count_of<call::Transform>(calls()), 0u);
    EXPECT_EQ(calls_of<call::Texture>(calls()).size(), 2u);
}

TEST_F(Elements, GrassDrawsTheFirst16384RecordsAlphaTested)
{
    draw_grass();
    std::vector<DeviceCall> expected = {
        render_state(D3DRS_FOGENABLE, 1), render_state(D3DRS_CULLMODE, D3DCULL_NONE),
        render_state(D3DRS_ALPHATESTENABLE, 1), render_state(D3DRS_ALPHAFUNC, 7),
        render_state(D3DRS_ALPHAREF, 64)};
    for (const DeviceCall& c : bind_calls(&grass)) {
        expected.push_back(c);
    }
    expected.push_back(transform(D3DTS_WORLD, identity_matrix()));
    expected.push_back(set_fvf(0x152));
    ASSERT_EQ(calls().size(), expected.size() + 1);
    EXPECT_THAT(std::vector<DeviceCall>(calls().begin(), calls().end() - 1),
                ElementsAreArray(expected));

    const call::Draw& draw = std::get<call::Draw>(calls().back());
    EXPECT_TRUE(draw.indexed);
    EXPECT_EQ(draw.type, D3DPT_TRIANGLELIST);
    EXPECT_EQ(draw.record_count, 16384u);
    EXPECT_EQ(draw.primitive_count, 5461u);
    EXPECT_EQ(draw.indices16(), std::vector<uint16_t>(grass_indices, grass_indices + 16383));
    const auto records = draw.records_as<DeviceVertex>();
    ASSERT_EQ(records.size(), 16384u);
    EXPECT_EQ(records[16383].x, grass_records[16383].x);
    EXPECT_EQ(records[16383].v, grass_records[16383].v);
}
