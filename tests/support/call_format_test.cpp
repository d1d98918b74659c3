// The text form of recorded calls, as demo-trace prints it.
#include "host/recording/call_format.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdlib>
#include <limits>

#include "tests/support/device_calls.h"

TEST(CallFormat, NamesRenderStatesAndTheirValues)
{
    EXPECT_EQ(format_call(render_state(D3DRS_CULLMODE, D3DCULL_CCW)),
              "SetRenderState(D3DRS_CULLMODE=22, D3DCULL_CCW=3)");
    EXPECT_EQ(format_call(render_state(D3DRS_ZENABLE, 1)),
              "SetRenderState(D3DRS_ZENABLE=7, D3DZB_TRUE=1)");
    EXPECT_EQ(format_call(render_state(D3DRS_ZFUNC, D3DCMP_LESSEQUAL)),
              "SetRenderState(D3DRS_ZFUNC=23, D3DCMP_LESSEQUAL=4)");
    EXPECT_EQ(format_call(render_state(D3DRS_SRCBLEND, D3DBLEND_BLENDFACTOR)),
              "SetRenderState(D3DRS_SRCBLEND=19, D3DBLEND_BLENDFACTOR=14)");
    EXPECT_EQ(format_call(render_state(D3DRS_FOGVERTEXMODE, D3DFOG_LINEAR)),
              "SetRenderState(D3DRS_FOGVERTEXMODE=140, D3DFOG_LINEAR=3)");
    EXPECT_EQ(format_call(render_state(D3DRS_SHADEMODE, D3DSHADE_GOURAUD)),
              "SetRenderState(D3DRS_SHADEMODE=9, D3DSHADE_GOURAUD=2)");
    EXPECT_EQ(format_call(render_state(D3DRS_ALPHAREF, 64)),
              "SetRenderState(D3DRS_ALPHAREF=24, 64)");
}

TEST(CallFormat, PrintsValuesWithoutANameAsNumbers)
{
    EXPECT_EQ(format_call(render_state(D3DRS_ALPHAFUNC, 99)),
              "SetRenderState(D3DRS_ALPHAFUNC=25, 99)");
    EXPECT_EQ(format_call(render_state(static_cast<D3DRENDERSTATETYPE>(300), 5)),
              "SetRenderState(300, 5)");
}

TEST(CallFormat, ShowsFloatStatesAsFloatsAndColoursAsAarrggbb)
{
    EXPECT_EQ(format_call(render_state(D3DRS_FOGSTART, std::bit_cast<DWORD>(1.76776695f))),
              "SetRenderState(D3DRS_FOGSTART=36, 1.76776695)");
    EXPECT_EQ(format_call(render_state(D3DRS_FOGEND, std::bit_cast<DWORD>(5.0f))),
              "SetRenderState(D3DRS_FOGEND=37, 5)");
    EXPECT_EQ(format_call(render_state(D3DRS_FOGCOLOR, 0xFF04080A)),
              "SetRenderState(D3DRS_FOGCOLOR=34, 0xFF04080A)");
    EXPECT_EQ(format_call(render_state(D3DRS_BLENDFACTOR, 0)),
              "SetRenderState(D3DRS_BLENDFACTOR=193, 0x00000000)");
}

TEST(CallFormat, FloatsReadBackToTheSameBits)
{
    const float values[] = {0.1f,  -1.6f,    1.30322528f, 6.103888e-05f,
                            -0.0f, 1.0e-30f, 3.0e38f,     std::numeric_limits<float>::denorm_min()};
    for (float value : values) {
        const std::string text = format_float(value);
        EXPECT_EQ(std::bit_cast<uint32_t>(std::strtof(text.c_str(), nullptr)),
                  std::bit_cast<uint32_t>(value))
            << text;
    }
}

TEST(CallFormat, PrintsTransformsAsSixteenFloatsRowByRow)
{
    Mat4 m = identity_matrix();
    m.m[3][0] = -8.0f;
    m.m[3][2] = 0.1f;
    m.m[2][3] = -1.0f;
    EXPECT_EQ(format_call(transform(D3DTS_WORLD, m)),
              "SetTransform(D3DTS_WORLD=256, [1 0 0 0; 0 1 0 0; 0 0 1 -1; -8 0 0.100000001 1])");
    EXPECT_EQ(format_transform_state(D3DTS_PROJECTION), "D3DTS_PROJECTION=3");
    EXPECT_EQ(format_transform_state(D3DTS_VIEW), "D3DTS_VIEW=2");
}

TEST(CallFormat, PrintsTexturesSamplersClearAndFvf)
{
    RecordingTexture bark("tree.dds");
    EXPECT_EQ(format_call(texture(0, &bark)), "SetTexture(0, tree.dds)");
    EXPECT_EQ(format_call(no_texture(0)), "SetTexture(0, NULL)");
    EXPECT_EQ(format_call(sampler_state(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR)),
              "SetSamplerState(0, D3DSAMP_MINFILTER=6, D3DTEXF_LINEAR=2)");
    EXPECT_EQ(format_call(sampler_state(0, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP)),
              "SetSamplerState(0, D3DSAMP_ADDRESSU=1, D3DTADDRESS_CLAMP=3)");
    EXPECT_EQ(format_call(DeviceCall{call::Clear{0, {}, 3, 0xFF64C8DC, 1.0f, 0}}),
              "Clear(0, NULL, D3DCLEAR_TARGET|D3DCLEAR_ZBUFFER=0x3, 0xFF64C8DC, 1, 0)");
    EXPECT_EQ(format_call(set_fvf(0x152)), "SetFVF(0x152)");
    EXPECT_EQ(format_call(light_enable(3, 0)), "LightEnable(3, 0)");
    EXPECT_EQ(format_call(DeviceCall{call::BeginScene{}}), "BeginScene()");
    EXPECT_EQ(format_call(DeviceCall{call::Present{false, false, nullptr, false}}),
              "Present(NULL, NULL, NULL, NULL)");
}

TEST(CallFormat, PrintsDrawsWithCountsStrideAndHashes)
{
    call::Draw plain{};
    plain.type = D3DPT_TRIANGLESTRIP;
    plain.primitive_count = 56;
    plain.record_count = 58;
    plain.stride = 36;
    plain.data_read = true;
    plain.records_hash = 0x0123456789abcdefull;
    EXPECT_EQ(format_call(plain),
              "DrawPrimitiveUP(D3DPT_TRIANGLESTRIP=5, primitives=56, records=58, stride=36, "
              "records_fnv1a=0x0123456789abcdef)");

    call::Draw indexed = plain;
    indexed.indexed = true;
    indexed.type = D3DPT_TRIANGLELIST;
    indexed.primitive_count = 2;
    indexed.record_count = 8;
    indexed.index_count = 6;
    indexed.index_format = D3DFMT_INDEX16;
    indexed.indices_hash = 0xfedcba9876543210ull;
    EXPECT_EQ(format_call(indexed),
              "DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST=4, min_index=0, records=8, "
              "primitives=2, indices=6, D3DFMT_INDEX16=101, stride=36, "
              "records_fnv1a=0x0123456789abcdef, indices_fnv1a=0xfedcba9876543210)");

    plain.data_read = false;
    EXPECT_EQ(format_call(plain),
              "DrawPrimitiveUP(D3DPT_TRIANGLESTRIP=5, primitives=56, records=58, stride=36, "
              "data=unread)");
}
