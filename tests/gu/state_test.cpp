// The render-state half of the layer, checked row by row against the device
// calls it must produce.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <climits>

#include "tests/support/layer_fixture.h"

using ::testing::ElementsAre;
using ::testing::IsEmpty;

TEST(Attach, MakesExactlyTheElevenSwitchOffCallsInOrderAndResetsTheShadowValues)
{
    RecordingDevice device;
    gu_cull_enabled = 7;
    gu_front_face_code = 1;
    gu_attach_device(&device);
    EXPECT_EQ(gu_device, &device);
    EXPECT_THAT(
        device.calls(),
        ElementsAre(
            render_state(D3DRS_ALPHATESTENABLE, 0), render_state(D3DRS_ZENABLE, D3DZB_FALSE),
            render_state(D3DRS_ALPHABLENDENABLE, 0), render_state(D3DRS_CULLMODE, D3DCULL_NONE),
            render_state(D3DRS_FOGENABLE, 0), no_texture(0), render_state(D3DRS_LIGHTING, 0),
            light_enable(0, 0), light_enable(1, 0), light_enable(2, 0), light_enable(3, 0)));
    EXPECT_EQ(gu_cull_enabled, 0);
    EXPECT_EQ(gu_front_face_code, 0);
    // Attaching takes no reference: the shell owns the device.
    EXPECT_EQ(device.references().count(), 1u);
    EXPECT_EQ(device.references().add_ref_calls(), 0);
}

// One row of the switch table: the call gu_set_state(code, on) must make.
struct SwitchRow {
    int32_t code;
    DeviceCall (*expected)(int32_t on);
};

void PrintTo(const SwitchRow& row, std::ostream* out)
{
    *out << "code " << row.code;
}

class SwitchTable : public LayerTest, public ::testing::WithParamInterface<SwitchRow> {};

TEST_P(SwitchTable, EnableDisableAndOtherOnValuesReachTheDevice)
{
    const SwitchRow row = GetParam();
    gu_enable(row.code);
    gu_disable(row.code);
    gu_set_state(row.code, 5);  // not 0 or 1: passes through unchanged except for depth
    EXPECT_THAT(calls(), ElementsAre(row.expected(1), row.expected(0), row.expected(5)));
}

INSTANTIATE_TEST_SUITE_P(
    HandledCodes, SwitchTable,
    ::testing::Values(
        SwitchRow{0, [](int32_t on) { return render_state(D3DRS_ALPHATESTENABLE, on); }},
        SwitchRow{1, [](int32_t on) { return render_state(D3DRS_ZENABLE, on != 0 ? 1 : 0); }},
        SwitchRow{4, [](int32_t on) { return render_state(D3DRS_ALPHABLENDENABLE, on); }},
        SwitchRow{7, [](int32_t on) { return render_state(D3DRS_FOGENABLE, on); }},
        SwitchRow{10, [](int32_t on) { return render_state(D3DRS_LIGHTING, on); }},
        SwitchRow{11, [](int32_t on) { return light_enable(0, on); }},
        SwitchRow{12, [](int32_t on) { return light_enable(1, on); }},
        SwitchRow{13, [](int32_t on) { return light_enable(2, on); }},
        SwitchRow{14, [](int32_t on) { return light_enable(3, on); }}),
    [](const auto& row) { return "code_" + std::to_string(row.param.code); });

class IgnoredSwitch : public LayerTest, public ::testing::WithParamInterface<int32_t> {};

TEST_P(IgnoredSwitch, CallsNothingAndChangesNothing)
{
    gu_enable(GU_CULL_FACE);
    gu_front_face(GU_CCW);
    device.clear_calls();

    gu_enable(GetParam());
    gu_disable(GetParam());
    gu_set_state(GetParam(), 3);
    EXPECT_THAT(calls(), IsEmpty());
    EXPECT_EQ(gu_cull_enabled, 1);
    EXPECT_EQ(gu_front_face_code, 1);
}

INSTANTIATE_TEST_SUITE_P(UnhandledCodes, IgnoredSwitch,
                         ::testing::Values(2, 3, 6, 8, 15, -1, INT_MIN, INT_MAX));

TEST_F(LayerTest, TexturingOnBindsNothingAndOffUnbindsStageZero)
{
    gu_enable(GU_TEXTURE_2D);
    EXPECT_THAT(calls(), IsEmpty());
    gu_disable(GU_TEXTURE_2D);
    EXPECT_THAT(calls(), ElementsAre(no_texture(0)));
}

TEST_F(LayerTest, DepthTestReducesTheOnValueToZeroOrOne)
{
    gu_set_state(GU_DEPTH_TEST, 5);
    gu_set_state(GU_DEPTH_TEST, -1);
    EXPECT_THAT(calls(), ElementsAre(render_state(D3DRS_ZENABLE, D3DZB_TRUE),
                                     render_state(D3DRS_ZENABLE, D3DZB_TRUE)));
}

// ---- culling and the front face ----

TEST_F(LayerTest, CullingRightAfterAttachCullsCounterClockwise)
{
    gu_enable(GU_CULL_FACE);
    EXPECT_THAT(calls(), ElementsAre(render_state(D3DRS_CULLMODE, D3DCULL_CCW)));
    EXPECT_EQ(gu_cull_enabled, 1);
}

TEST_F(LayerTest, FrontFaceWhileCullingIsOffWaitsForCullingToBeSwitchedOn)
{
    gu_front_face(GU_CCW);
    EXPECT_THAT(calls(), IsEmpty());
    EXPECT_EQ(gu_front_face_code, 1);
    gu_enable(GU_CULL_FACE);
    gu_front_face(GU_CW);
    EXPECT_THAT(calls(), ElementsAre(render_state(D3DRS_CULLMODE, D3DCULL_CW),
                                     render_state(D3DRS_CULLMODE, D3DCULL_CCW)));
}

TEST_F(LayerTest, FrontFaceIsSentEvenWhenTheCullModeDoesNotChange)
{
    gu_enable(GU_CULL_FACE);
    gu_front_face(GU_CW);
    gu_front_face(GU_CW);
    EXPECT_THAT(calls(), ElementsAre(render_state(D3DRS_CULLMODE, D3DCULL_CCW),
                                     render_state(D3DRS_CULLMODE, D3DCULL_CCW),
                                     render_state(D3DRS_CULLMODE, D3DCULL_CCW)));
}

TEST_F(LayerTest, CullingOffIsNoneWhateverTheFrontFaceAndSilencesFrontFace)
{
    gu_front_face(GU_CCW);
    gu_enable(GU_CULL_FACE);
    gu_disable(GU_CULL_FACE);
    gu_front_face(GU_CW);
    gu_front_face(GU_CCW);
    EXPECT_THAT(calls(), ElementsAre(render_state(D3DRS_CULLMODE, D3DCULL_CW),
                                     render_state(D3DRS_CULLMODE, D3DCULL_NONE)));
    EXPECT_EQ(gu_cull_enabled, 0);
    EXPECT_EQ(gu_front_face_code, 1);
}

TEST_F(LayerTest, CullingKeepsTheOnValueGiven)
{
    gu_set_state(GU_CULL_FACE, 9);
    EXPECT_EQ(gu_cull_enabled, 9);
    EXPECT_THAT(calls(), ElementsAre(render_state(D3DRS_CULLMODE, D3DCULL_CCW)));
}

TEST_F(LayerTest, UnknownFrontFaceCodeIsStoredSendsNothingAndLaterCullsLikeCodeOne)
{
    gu_enable(GU_CULL_FACE);
    device.clear_calls();
    gu_front_face(2);
    EXPECT_THAT(calls(), IsEmpty());
    EXPECT_EQ(gu_front_face_code, 2);
    gu_disable(GU_CULL_FACE);
    gu_enable(GU_CULL_FACE);
    EXPECT_THAT(calls(), ElementsAre(render_state(D3DRS_CULLMODE, D3DCULL_NONE),
                                     render_state(D3DRS_CULLMODE, D3DCULL_CW)));
}

// ---- depth compare ----

struct DepthRow {
    int32_t code;
    D3DCMPFUNC expected;
};

void PrintTo(const DepthRow& row, std::ostream* out)
{
    *out << "code " << row.code;
}

class DepthFuncTable : public LayerTest, public ::testing::WithParamInterface<DepthRow> {};

TEST_P(DepthFuncTable, WritesExactlyOneZFunc)
{
    gu_depth_func(GetParam().code);
    EXPECT_THAT(calls(), ElementsAre(render_state(D3DRS_ZFUNC, GetParam().expected)));
}

INSTANTIATE_TEST_SUITE_P(EveryRowAndOutOfRange, DepthFuncTable,
                         ::testing::Values(DepthRow{0, D3DCMP_NEVER}, DepthRow{1, D3DCMP_ALWAYS},
                                           DepthRow{2, D3DCMP_EQUAL}, DepthRow{3, D3DCMP_NOTEQUAL},
                                           DepthRow{4, D3DCMP_LESS}, DepthRow{5, D3DCMP_LESSEQUAL},
                                           DepthRow{6, D3DCMP_GREATER},
                                           DepthRow{7, D3DCMP_GREATEREQUAL},
                                           DepthRow{8, D3DCMP_ALWAYS}, DepthRow{-1, D3DCMP_ALWAYS},
                                           DepthRow{INT_MIN, D3DCMP_ALWAYS},
                                           DepthRow{INT_MAX, D3DCMP_ALWAYS}));

// ---- alpha compare, shading, matrices ----

TEST_F(LayerTest, AlphaFuncWritesTheCompareValueUnchangedThenTheReference)
{
    gu_alpha_func(7, 64);
    gu_alpha_func(3, 200);  // a Direct3D value, not a console code: no table
    EXPECT_THAT(calls(),
                ElementsAre(render_state(D3DRS_ALPHAFUNC, 7), render_state(D3DRS_ALPHAREF, 64),
                            render_state(D3DRS_ALPHAFUNC, 3), render_state(D3DRS_ALPHAREF, 200)));
}

TEST_F(LayerTest, ShadeModelsFlatAndSmoothOthersIgnored)
{
    gu_shade_model(GU_FLAT);
    gu_shade_model(GU_SMOOTH);
    gu_shade_model(2);
    gu_shade_model(-1);
    EXPECT_THAT(calls(), ElementsAre(render_state(D3DRS_SHADEMODE, D3DSHADE_FLAT),
                                     render_state(D3DRS_SHADEMODE, D3DSHADE_GOURAUD)));
}

TEST_F(LayerTest, MatrixModesLoadProjectionViewAndWorldUntransposed)
{
    Mat4 m;
    for (int i = 0; i < 16; ++i) {
        m.m[i / 4][i % 4] = static_cast<float>(i + 1);  // asymmetric: a transposition shows
    }
    gu_load_matrix(GU_PROJECTION, &m);
    gu_load_matrix(GU_VIEW, &m);
    gu_load_matrix(GU_MODEL, &m);
    gu_load_matrix(3, &m);
    gu_load_matrix(-1, &m);
    EXPECT_THAT(calls(), ElementsAre(transform(D3DTS_PROJECTION, m), transform(D3DTS_VIEW, m),
                                     transform(D3DTS_WORLD, m)));
}
