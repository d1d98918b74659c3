// The per-pixel half of the fixed function: vertex fog, the alpha test and
// blending, checked against Direct3D 9's formulas. Tolerance: 2 of 255 for
// fog (a factor interpolated in floats, then rounded to 8 bits), 1 for
// blending with a constant factor, exact where only whole values meet.
#include <cmath>

#include "host/gl/translate.h"
#include "tests/d3d9/device_fixture.h"

namespace d3d9_test {
namespace {

constexpr D3DCOLOR kFogBlue = 0xff0000ff;

DWORD bits(float value)
{
    return host_d3d9::bits_from_float(value);
}

// Fog from 2 to 10 view-space units toward blue; the projection keeps the
// view-space z (scaled into 0..1 for the depth range) so the distance is z.
class Fog : public DeviceTest {
protected:
    void SetUp() override
    {
        DeviceTest::SetUp();
        const D3DMATRIX projection = screen_projection(kWidth, kHeight, 0.01f);
        ASSERT_EQ(device_->SetTransform(D3DTS_PROJECTION, &projection), D3D_OK);
        device_->SetRenderState(D3DRS_FOGENABLE, TRUE);
        device_->SetRenderState(D3DRS_FOGVERTEXMODE, D3DFOG_LINEAR);
        device_->SetRenderState(D3DRS_FOGSTART, bits(2.0f));
        device_->SetRenderState(D3DRS_FOGEND, bits(10.0f));
        device_->SetRenderState(D3DRS_FOGCOLOR, kFogBlue);
    }

    // White mixed toward blue with fog factor f (1 = no fog).
    static Pixel fogged_white(float f)
    {
        const int grey = static_cast<int>(std::lround(255.0f * f));
        return {grey, grey, 255, 255};
    }
};

TEST_F(Fog, LinearFogFollowsTheDistanceBetweenStartAndEnd)
{
    // f = (end - d) / (end - start), clamped to 0..1.
    ASSERT_EQ(pixels(0, 0, 8, 32, 1.0f, kWhite), D3D_OK);
    ASSERT_EQ(pixels(8, 0, 16, 32, 4.0f, kWhite), D3D_OK);
    ASSERT_EQ(pixels(16, 0, 24, 32, 8.0f, kWhite), D3D_OK);
    ASSERT_EQ(pixels(24, 0, 32, 32, 12.0f, kWhite), D3D_OK);
    const auto image = read_back();
    EXPECT_TRUE(near(at(image, 4, 16), fogged_white(1.0f), 2));
    EXPECT_TRUE(near(at(image, 12, 16), fogged_white(0.75f), 2));
    EXPECT_TRUE(near(at(image, 20, 16), fogged_white(0.25f), 2));
    EXPECT_TRUE(near(at(image, 28, 16), fogged_white(0.0f), 2));
}

TEST_F(Fog, DistanceIsTheViewSpaceDepthWhicheverWayTheCameraLooks)
{
    // A right-handed camera: the scene lies at negative view z.
    const D3DMATRIX projection = screen_projection(kWidth, kHeight, -0.01f);
    const D3DMATRIX view = translation(0.0f, 0.0f, -6.0f);
    const D3DMATRIX world = translation(0.0f, 0.0f, 2.0f);
    ASSERT_EQ(device_->SetTransform(D3DTS_PROJECTION, &projection), D3D_OK);
    ASSERT_EQ(device_->SetTransform(D3DTS_VIEW, &view), D3D_OK);
    ASSERT_EQ(pixels(0, 0, 16, 32, 0.0f, kWhite), D3D_OK);  // view z -6
    ASSERT_EQ(device_->SetTransform(D3DTS_WORLD, &world), D3D_OK);
    ASSERT_EQ(pixels(16, 0, 32, 32, 0.0f, kWhite), D3D_OK);  // view z -4
    const auto image = read_back();
    EXPECT_TRUE(near(at(image, 8, 16), fogged_white(0.5f), 2));
    EXPECT_TRUE(near(at(image, 24, 16), fogged_white(0.75f), 2));
}

// With start = end every fogged vertex takes the fog colour: the demo's
// fades to white clear and fog to the same colour with both distances 0.
TEST_F(Fog, EqualStartAndEndFogEverything)
{
    device_->SetRenderState(D3DRS_FOGSTART, bits(0.0f));
    device_->SetRenderState(D3DRS_FOGEND, bits(0.0f));
    ASSERT_EQ(pixels(0, 0, 32, 32, 0.5f, 0xff804020), D3D_OK);
    EXPECT_EQ(at(10, 10), rgba(kFogBlue));
}

TEST_F(Fog, ExponentialFogUsesTheDensity)
{
    device_->SetRenderState(D3DRS_FOGVERTEXMODE, D3DFOG_EXP);
    device_->SetRenderState(D3DRS_FOGDENSITY, bits(0.1f));
    ASSERT_EQ(pixels(0, 0, 16, 32, 4.0f, kWhite), D3D_OK);
    device_->SetRenderState(D3DRS_FOGVERTEXMODE, D3DFOG_EXP2);
    ASSERT_EQ(pixels(16, 0, 32, 32, 4.0f, kWhite), D3D_OK);
    const auto image = read_back();
    EXPECT_TRUE(near(at(image, 8, 16), fogged_white(std::exp(-0.4f)), 2));
    EXPECT_TRUE(near(at(image, 24, 16), fogged_white(std::exp(-0.16f)), 2));
}

TEST_F(Fog, NoFogWhenDisabledOrWithoutAVertexMode)
{
    device_->SetRenderState(D3DRS_FOGENABLE, FALSE);
    ASSERT_EQ(pixels(0, 0, 16, 32, 12.0f, kWhite), D3D_OK);
    device_->SetRenderState(D3DRS_FOGENABLE, TRUE);
    device_->SetRenderState(D3DRS_FOGVERTEXMODE, D3DFOG_NONE);
    ASSERT_EQ(pixels(16, 0, 32, 32, 12.0f, kWhite), D3D_OK);
    const auto image = read_back();
    EXPECT_EQ(at(image, 8, 16), rgba(kWhite));
    EXPECT_EQ(at(image, 24, 16), rgba(kWhite));
}

TEST_F(Fog, FogChangesColourButNotAlpha)
{
    ASSERT_EQ(pixels(0, 0, 16, 32, 12.0f, 0x40ffffff), D3D_OK);
    EXPECT_EQ(at(8, 16), (Pixel{0, 0, 255, 0x40}));
}

// ---------------------------------------------------------------------------

using AlphaTest = DeviceTest;

TEST_F(AlphaTest, GreaterEqualSixtyFourCutsBelowTheReference)
{
    device_->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
    device_->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL);
    device_->SetRenderState(D3DRS_ALPHAREF, 64);
    ASSERT_EQ(pixels(0, 0, 8, 8, 0.5f, 0x3fff0000), D3D_OK);    // alpha 63: cut
    ASSERT_EQ(pixels(8, 0, 16, 8, 0.5f, 0x40ff0000), D3D_OK);   // 64: kept
    ASSERT_EQ(pixels(16, 0, 24, 8, 0.5f, 0x41ff0000), D3D_OK);  // 65: kept
    const auto image = read_back();
    EXPECT_EQ(at(image, 4, 4), rgba(kBackground));
    EXPECT_EQ(at(image, 12, 4), (Pixel{255, 0, 0, 0x40}));
    EXPECT_EQ(at(image, 20, 4), (Pixel{255, 0, 0, 0x41}));
}

TEST_F(AlphaTest, EveryCompareFunction)
{
    device_->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
    device_->SetRenderState(D3DRS_ALPHAREF, 0x80);
    // For each function: kept at alpha 0x7f, 0x80, 0x81?
    struct Case {
        DWORD func;
        bool below, equal, above;
    };
    const Case cases[] = {
        {D3DCMP_NEVER, false, false, false},      {D3DCMP_LESS, true, false, false},
        {D3DCMP_EQUAL, false, true, false},       {D3DCMP_LESSEQUAL, true, true, false},
        {D3DCMP_GREATER, false, false, true},     {D3DCMP_NOTEQUAL, true, false, true},
        {D3DCMP_GREATEREQUAL, false, true, true}, {D3DCMP_ALWAYS, true, true, true},
    };
    for (const Case& c : cases) {
        device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, kBackground, 1.0f, 0);
        device_->SetRenderState(D3DRS_ALPHAFUNC, c.func);
        ASSERT_EQ(pixels(0, 0, 8, 8, 0.5f, 0x7f00ff00), D3D_OK);
        ASSERT_EQ(pixels(8, 0, 16, 8, 0.5f, 0x8000ff00), D3D_OK);
        ASSERT_EQ(pixels(16, 0, 24, 8, 0.5f, 0x8100ff00), D3D_OK);
        const auto image = read_back();
        EXPECT_EQ(at(image, 4, 4) != rgba(kBackground), c.below) << "func " << c.func;
        EXPECT_EQ(at(image, 12, 4) != rgba(kBackground), c.equal) << "func " << c.func;
        EXPECT_EQ(at(image, 20, 4) != rgba(kBackground), c.above) << "func " << c.func;
    }
}

TEST_F(AlphaTest, DiscardedPixelsWriteNoDepth)
{
    device_->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
    device_->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL);
    device_->SetRenderState(D3DRS_ALPHAREF, 64);
    ASSERT_EQ(pixels(0, 0, 8, 8, 0.1f, 0x10ff0000), D3D_OK);
    ASSERT_EQ(pixels(0, 0, 8, 8, 0.5f, 0xff00ff00), D3D_OK);
    EXPECT_EQ(at(4, 4), (Pixel{0, 255, 0, 255}));
}

// ---------------------------------------------------------------------------

using Blending = DeviceTest;

// The leaves' blend: source x constant factor + destination.
TEST_F(Blending, AdditiveWithABlendFactor)
{
    device_->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_BLENDFACTOR);
    device_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
    device_->SetRenderState(D3DRS_BLENDFACTOR, 0xff404040);
    ASSERT_EQ(pixels(0, 0, 16, 16, 0.5f, 0xff808080), D3D_OK);
    // 0x80 x 0x40 / 255 = 32.1, added to 0x10, 0x20, 0x30.
    EXPECT_TRUE(near(at(8, 8), {0x10 + 32, 0x20 + 32, 0x30 + 32, 0xff}, 1));

    // A zero factor adds nothing; a white one saturates.
    device_->SetRenderState(D3DRS_BLENDFACTOR, 0xff000000);
    ASSERT_EQ(pixels(16, 0, 32, 16, 0.5f, 0xffffffff), D3D_OK);
    device_->SetRenderState(D3DRS_BLENDFACTOR, 0xffffffff);
    ASSERT_EQ(pixels(32, 0, 48, 16, 0.5f, 0xfff0f0f0), D3D_OK);
    const auto image = read_back();
    EXPECT_EQ(at(image, 20, 8), rgba(kBackground));
    EXPECT_EQ(at(image, 40, 8), (Pixel{255, 255, 255, 255}));
}

// A draw whose blend keeps the destination is skipped only while it writes
// no depth and no channel it would change.
TEST_F(Blending, AnInvisibleDrawStillWritesDepthAndAlpha)
{
    device_->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_BLENDFACTOR);
    device_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
    device_->SetRenderState(D3DRS_BLENDFACTOR, 0x00000000);
    ASSERT_EQ(pixels(0, 0, 16, 16, 0.2f, 0xffffffff), D3D_OK);  // writes depth only
    device_->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    ASSERT_EQ(pixels(0, 0, 16, 16, 0.5f, 0xffff0000), D3D_OK);  // hidden behind it
    EXPECT_EQ(at(8, 8), rgba(kBackground));

    // Without depth writes, a factor with alpha still changes the alpha.
    const D3DRECT area{16, 0, 32, 16};
    device_->Clear(1, &area, D3DCLEAR_TARGET, 0x10102030, 1.0f, 0);
    device_->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
    device_->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device_->SetRenderState(D3DRS_BLENDFACTOR, 0x80000000);
    ASSERT_EQ(pixels(16, 0, 32, 16, 0.5f, 0x80ffffff), D3D_OK);
    EXPECT_TRUE(near(at(24, 8), {0x10, 0x20, 0x30, 0x10 + 0x40}, 1));
}

TEST_F(Blending, SourceAlphaOverDestination)
{
    device_->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    ASSERT_EQ(pixels(0, 0, 16, 16, 0.5f, 0x80ffffff), D3D_OK);
    // 255 x 128/255 + c x 127/255
    auto blended = [](int c) { return static_cast<int>(std::lround(128.0 + c * 127.0 / 255.0)); };
    const Pixel p = at(8, 8);
    EXPECT_TRUE(near({p[0], p[1], p[2], 0}, {blended(0x10), blended(0x20), blended(0x30), 0}, 1));
}

TEST_F(Blending, BlendingOffWritesTheSourceUnchanged)
{
    device_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_BLENDFACTOR);
    device_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
    ASSERT_EQ(pixels(0, 0, 16, 16, 0.5f, 0x20406080), D3D_OK);
    EXPECT_EQ(at(8, 8), (Pixel{0x40, 0x60, 0x80, 0x20}));
}

// With an X8R8G8B8 back buffer (the demo's), destination alpha reads as 1
// and the read-back alpha is 255 whatever was drawn.
TEST(BackBufferWithoutAlpha, DestinationAlphaIsOne)
{
    IDirect3DDevice9* device = create_device(16, 16, D3DFMT_UNKNOWN, TRUE);
    ASSERT_NE(device, nullptr) << host_d3d9::last_error();
    const D3DMATRIX projection = screen_projection(16, 16);
    device->SetTransform(D3DTS_PROJECTION, &projection);
    device->SetFVF(0x152);
    device->SetRenderState(D3DRS_LIGHTING, FALSE);
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0x00000000, 1.0f, 0);
    const Vertex quad[] = {
        vertex(-0.5f, -0.5f, 0.5f, 0x10ff0000), vertex(15.5f, -0.5f, 0.5f, 0x10ff0000),
        vertex(-0.5f, 15.5f, 0.5f, 0x10ff0000), vertex(15.5f, 15.5f, 0.5f, 0x10ff0000)};
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_DESTALPHA);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ZERO);
    ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(Vertex)), D3D_OK);
    std::vector<uint8_t> image(16 * 16 * 4);
    ASSERT_EQ(host_d3d9::read_back_buffer(device, image), D3D_OK);
    EXPECT_EQ((Pixel{image[0], image[1], image[2], image[3]}), (Pixel{255, 0, 0, 255}));
    EXPECT_EQ(device->Release(), 0u);
}

}  // namespace
}  // namespace d3d9_test
