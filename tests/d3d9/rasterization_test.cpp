// Where the device puts pixels: clearing, Direct3D 9's pixel centres, points,
// culling by on-screen winding, the depth test and depth writes, flat
// shading, lighting's default, and the orientation of the read-back image. Colours here are
// exact: no filtering or blending is involved.
#include "tests/d3d9/device_fixture.h"

namespace d3d9_test {
namespace {

using Rasterization = DeviceTest;

// Counts the pixels that differ from the background.
int covered(const std::vector<uint8_t>& image)
{
    int count = 0;
    for (int y = 0; y < static_cast<int>(DeviceTest::kHeight); ++y) {
        for (int x = 0; x < static_cast<int>(DeviceTest::kWidth); ++x) {
            const size_t i = (static_cast<size_t>(y) * DeviceTest::kWidth + x) * 4;
            count += image[i] != 0x10 || image[i + 1] != 0x20 || image[i + 2] != 0x30;
        }
    }
    return count;
}

TEST_F(Rasterization, ClearFillsTheBackBufferAndRectanglesOnlyTheirArea)
{
    EXPECT_EQ(at(0, 0), rgba(kBackground));
    EXPECT_EQ(at(63, 31), rgba(kBackground));

    // Rectangles are top-down pixel coordinates, right and bottom exclusive.
    const D3DRECT rect{4, 2, 8, 5};
    ASSERT_EQ(device_->Clear(1, &rect, D3DCLEAR_TARGET, 0x80ff8040, 1.0f, 0), D3D_OK);
    auto image = read_back();
    EXPECT_EQ(at(image, 4, 2), (Pixel{0xff, 0x80, 0x40, 0x80}));
    EXPECT_EQ(at(image, 7, 4), (Pixel{0xff, 0x80, 0x40, 0x80}));
    EXPECT_EQ(covered(image), 4 * 3);

    // As in Direct3D's runtime, rectangles are read only with a count: with
    // a count of 0 they clear nothing, and a count without rectangles is a
    // clear without rectangles, all of it, depth included.
    ASSERT_EQ(device_->Clear(0, &rect, D3DCLEAR_TARGET, kRed, 1.0f, 0), D3D_OK);
    image = read_back();
    EXPECT_EQ(at(image, 4, 2), (Pixel{0xff, 0x80, 0x40, 0x80}));
    EXPECT_EQ(covered(image), 4 * 3);
    ASSERT_EQ(pixels(20, 10, 30, 20, 0.25f, kRed), D3D_OK);
    ASSERT_EQ(device_->Clear(2, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, kBlue, 1.0f, 0),
              D3D_OK);
    image = read_back();
    EXPECT_EQ(at(image, 5, 3), rgba(kBlue));
    EXPECT_EQ(at(image, 25, 15), rgba(kBlue));
    EXPECT_EQ(at(image, 63, 31), rgba(kBlue));
    ASSERT_EQ(pixels(20, 10, 30, 20, 0.5f, kGreen), D3D_OK);  // behind the red, had it stayed
    EXPECT_EQ(at(25, 15), rgba(kGreen));
}

TEST_F(Rasterization, ReadBackComesTopRowFirst)
{
    const D3DRECT top_row{0, 0, 64, 1};
    ASSERT_EQ(device_->Clear(1, &top_row, D3DCLEAR_TARGET, kRed, 1.0f, 0), D3D_OK);
    const auto image = read_back();
    EXPECT_EQ(at(image, 10, 0), rgba(kRed));
    EXPECT_EQ(at(image, 10, 1), rgba(kBackground));
    EXPECT_EQ(at(image, 10, 31), rgba(kBackground));
    std::vector<uint8_t> small(16);
    EXPECT_EQ(host_d3d9::read_back_buffer(device_, small), D3DERR_INVALIDCALL);
}

TEST_F(Rasterization, UntexturedGeometryTakesTheDiffuseColour)
{
    ASSERT_EQ(pixels(0, 0, 64, 32, 0.5f, 0x7f4080c0), D3D_OK);
    EXPECT_EQ(at(20, 20), (Pixel{0x40, 0x80, 0xc0, 0x7f}));
}

// A new device has lighting on, as Direct3D's has. With no light enabled
// (and the default ambient, 0) Direct3D lights every vertex black and takes
// the alpha from the vertex colour; fog still applies after lighting.
TEST(Lighting, ANewDeviceLightsVerticesBlackKeepingTheirAlpha)
{
    IDirect3DDevice9* device = create_device(16, 16, D3DFMT_A8R8G8B8, TRUE);
    ASSERT_NE(device, nullptr) << host_d3d9::last_error();
    const D3DMATRIX projection = screen_projection(16, 16);
    ASSERT_EQ(device->SetTransform(D3DTS_PROJECTION, &projection), D3D_OK);
    ASSERT_EQ(device->SetFVF(0x152), D3D_OK);
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xff102030, 1.0f, 0),
              D3D_OK);
    auto quad = [device](float x0, float x1, D3DCOLOR color) {
        const Vertex strip[] = {vertex(x0, -0.5f, 0.5f, color), vertex(x1, -0.5f, 0.5f, color),
                                vertex(x0, 15.5f, 0.5f, color), vertex(x1, 15.5f, 0.5f, color)};
        return device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, strip, sizeof(Vertex));
    };
    ASSERT_EQ(quad(-0.5f, 3.5f, 0x80ff8040), D3D_OK);  // pixels 0..3
    ASSERT_EQ(device->LightEnable(0, FALSE), D3D_OK);
    ASSERT_EQ(quad(3.5f, 7.5f, 0xc0ffffff), D3D_OK);  // pixels 4..7
    // Half fog toward white (the default fog range 0..1, distance 0.5) over
    // the lit black, not over the vertex's red.
    ASSERT_EQ(device->SetRenderState(D3DRS_FOGENABLE, TRUE), D3D_OK);
    ASSERT_EQ(device->SetRenderState(D3DRS_FOGVERTEXMODE, D3DFOG_LINEAR), D3D_OK);
    ASSERT_EQ(device->SetRenderState(D3DRS_FOGCOLOR, 0xffffffff), D3D_OK);
    ASSERT_EQ(quad(7.5f, 11.5f, 0x40ff0000), D3D_OK);  // pixels 8..11
    ASSERT_EQ(device->SetRenderState(D3DRS_FOGENABLE, FALSE), D3D_OK);
    ASSERT_EQ(device->SetRenderState(D3DRS_LIGHTING, FALSE), D3D_OK);
    ASSERT_EQ(quad(11.5f, 15.5f, 0x80ff8040), D3D_OK);  // pixels 12..15, unlit
    std::vector<uint8_t> image(16 * 16 * 4);
    ASSERT_EQ(host_d3d9::read_back_buffer(device, image), D3D_OK);
    auto pixel = [&image](int x) {
        const size_t i = (8 * 16 + static_cast<size_t>(x)) * 4;
        return Pixel{image[i], image[i + 1], image[i + 2], image[i + 3]};
    };
    EXPECT_EQ(pixel(1), (Pixel{0, 0, 0, 0x80}));
    EXPECT_EQ(pixel(5), (Pixel{0, 0, 0, 0xc0}));
    EXPECT_TRUE(near(pixel(9), {128, 128, 128, 0x40}, 1));
    EXPECT_EQ(pixel(13), (Pixel{0xff, 0x80, 0x40, 0x80}));
    EXPECT_EQ(device->Release(), 0u);
}

// Direct3D 9 puts pixel centres on integer coordinates: a rectangle from
// (-0.5, -0.5) to (9.5, 4.5) covers pixels 0..9 x 0..4 exactly.
TEST_F(Rasterization, HalfPixelEdgesCoverWholePixels)
{
    ASSERT_EQ(rectangle(-0.5f, -0.5f, 9.5f, 4.5f, 0.5f, kRed), D3D_OK);
    const auto image = read_back();
    EXPECT_EQ(covered(image), 10 * 5);
    EXPECT_EQ(at(image, 0, 0), rgba(kRed));
    EXPECT_EQ(at(image, 9, 4), rgba(kRed));
    EXPECT_EQ(at(image, 10, 4), rgba(kBackground));
    EXPECT_EQ(at(image, 9, 5), rgba(kBackground));
}

// Edges running through pixel centres follow the top-left rule: the left
// and top edges' pixels are in, the right and bottom edges' are out.
TEST_F(Rasterization, EdgesThroughPixelCentresFollowTheTopLeftRule)
{
    ASSERT_EQ(rectangle(2.0f, 3.0f, 12.0f, 8.0f, 0.5f, kRed), D3D_OK);
    const auto image = read_back();
    EXPECT_EQ(covered(image), 10 * 5);
    EXPECT_EQ(at(image, 2, 3), rgba(kRed));
    EXPECT_EQ(at(image, 11, 7), rgba(kRed));
    EXPECT_EQ(at(image, 12, 7), rgba(kBackground));
    EXPECT_EQ(at(image, 11, 8), rgba(kBackground));
    EXPECT_EQ(at(image, 1, 3), rgba(kBackground));
    EXPECT_EQ(at(image, 2, 2), rgba(kBackground));
}

TEST_F(Rasterization, EachPointCoversExactlyOnePixel)
{
    const Vertex points[] = {vertex(5.0f, 7.0f, 0.5f, kRed), vertex(40.0f, 0.0f, 0.5f, kGreen),
                             vertex(63.0f, 31.0f, 0.5f, kBlue)};
    ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_POINTLIST, 3, points, sizeof(Vertex)), D3D_OK);
    const auto image = read_back();
    EXPECT_EQ(covered(image), 3);
    EXPECT_EQ(at(image, 5, 7), rgba(kRed));
    EXPECT_EQ(at(image, 40, 0), rgba(kGreen));
    EXPECT_EQ(at(image, 63, 31), rgba(kBlue));
}

// On screen (y down) (0, 0) -> (10, 0) -> (0, 10) turns clockwise.
struct CullCase {
    DWORD cull_mode;
    bool clockwise_drawn;
    bool counter_clockwise_drawn;
};

TEST_F(Rasterization, CullModesNameTheOnScreenWindingThatIsDropped)
{
    const CullCase cases[] = {
        {D3DCULL_CCW, true, false},  // the default
        {D3DCULL_CW, false, true},
        {D3DCULL_NONE, true, true},
    };
    for (const CullCase& c : cases) {
        ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, kBackground, 1.0f, 0), D3D_OK);
        ASSERT_EQ(device_->SetRenderState(D3DRS_CULLMODE, c.cull_mode), D3D_OK);
        const Vertex clockwise[] = {vertex(0, 0, 0.5f, kRed), vertex(10, 0, 0.5f, kRed),
                                    vertex(0, 10, 0.5f, kRed)};
        const Vertex counter_clockwise[] = {
            vertex(30, 0, 0.5f, kGreen), vertex(30, 10, 0.5f, kGreen), vertex(40, 0, 0.5f, kGreen)};
        ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, clockwise, sizeof(Vertex)),
                  D3D_OK);
        ASSERT_EQ(
            device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, counter_clockwise, sizeof(Vertex)),
            D3D_OK);
        const auto image = read_back();
        EXPECT_EQ(at(image, 2, 2) == rgba(kRed), c.clockwise_drawn) << "cull " << c.cull_mode;
        EXPECT_EQ(at(image, 32, 2) == rgba(kGreen), c.counter_clockwise_drawn)
            << "cull " << c.cull_mode;
    }
}

TEST_F(Rasterization, DepthTestKeepsTheNearerSurface)
{
    // The default: depth test on (there is a depth buffer), LESSEQUAL, writes on.
    ASSERT_EQ(pixels(0, 0, 20, 20, 0.25f, kRed), D3D_OK);
    ASSERT_EQ(pixels(10, 10, 30, 30, 0.75f, kGreen), D3D_OK);  // behind red where they overlap
    ASSERT_EQ(pixels(10, 0, 20, 10, 0.25f, kBlue), D3D_OK);    // equal depth passes LESSEQUAL
    auto image = read_back();
    EXPECT_EQ(at(image, 15, 15), rgba(kRed));
    EXPECT_EQ(at(image, 25, 25), rgba(kGreen));
    EXPECT_EQ(at(image, 15, 5), rgba(kBlue));

    // GREATER keeps the farther one.
    ASSERT_EQ(device_->SetRenderState(D3DRS_ZFUNC, D3DCMP_GREATER), D3D_OK);
    ASSERT_EQ(pixels(0, 0, 40, 30, 0.5f, kBlue), D3D_OK);
    image = read_back();
    EXPECT_EQ(at(image, 5, 5), rgba(kBlue));     // 0.5 > 0.25
    EXPECT_EQ(at(image, 25, 25), rgba(kGreen));  // 0.5 < 0.75
}

TEST_F(Rasterization, DepthWritesCanBeSwitchedOff)
{
    ASSERT_EQ(device_->SetRenderState(D3DRS_ZWRITEENABLE, FALSE), D3D_OK);
    ASSERT_EQ(pixels(0, 0, 20, 20, 0.25f, kRed), D3D_OK);  // tested, not written
    ASSERT_EQ(device_->SetRenderState(D3DRS_ZWRITEENABLE, TRUE), D3D_OK);
    ASSERT_EQ(pixels(0, 0, 20, 20, 0.5f, kGreen), D3D_OK);  // passes against the cleared 1.0
    EXPECT_EQ(at(5, 5), rgba(kGreen));
}

TEST_F(Rasterization, WithoutTheDepthTestTheLastDrawWins)
{
    ASSERT_EQ(device_->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE), D3D_OK);
    ASSERT_EQ(pixels(0, 0, 20, 20, 0.25f, kRed), D3D_OK);
    ASSERT_EQ(pixels(0, 0, 20, 20, 0.75f, kGreen), D3D_OK);
    EXPECT_EQ(at(5, 5), rgba(kGreen));
    // Nothing was written to the depth buffer either.
    ASSERT_EQ(device_->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE), D3D_OK);
    ASSERT_EQ(pixels(0, 0, 20, 20, 0.9f, kBlue), D3D_OK);
    EXPECT_EQ(at(5, 5), rgba(kBlue));
}

TEST_F(Rasterization, ClearResetsDepthEvenWithWritesOff)
{
    ASSERT_EQ(pixels(0, 0, 20, 20, 0.1f, kRed), D3D_OK);
    ASSERT_EQ(device_->SetRenderState(D3DRS_ZWRITEENABLE, FALSE), D3D_OK);
    ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, kBackground, 1.0f, 0),
              D3D_OK);
    ASSERT_EQ(pixels(0, 0, 20, 20, 0.5f, kGreen), D3D_OK);
    EXPECT_EQ(at(5, 5), rgba(kGreen));
}

TEST_F(Rasterization, FlatShadingTakesTheFirstVertexColour)
{
    const Vertex triangle[] = {vertex(0, 0, 0.5f, kRed), vertex(30, 0, 0.5f, kGreen),
                               vertex(0, 30, 0.5f, kBlue)};
    ASSERT_EQ(device_->SetRenderState(D3DRS_SHADEMODE, D3DSHADE_FLAT), D3D_OK);
    ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, triangle, sizeof(Vertex)), D3D_OK);
    auto image = read_back();
    EXPECT_EQ(at(image, 2, 2), rgba(kRed));
    EXPECT_EQ(at(image, 20, 2), rgba(kRed));
    EXPECT_EQ(at(image, 2, 20), rgba(kRed));

    ASSERT_EQ(device_->SetRenderState(D3DRS_SHADEMODE, D3DSHADE_GOURAUD), D3D_OK);
    ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, kBackground, 1.0f, 0),
              D3D_OK);
    ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, triangle, sizeof(Vertex)), D3D_OK);
    image = read_back();
    const Pixel near_green = at(image, 26, 1);
    EXPECT_GT(near_green[1], 200);
    EXPECT_LT(near_green[0], 55);
}

TEST_F(Rasterization, FansAndLinesUseDirect3DsPrimitiveCounts)
{
    // A fan of 2 triangles covering pixels 0..9 x 0..9.
    const Vertex fan[] = {vertex(-0.5f, -0.5f, 0.5f, kRed), vertex(9.5f, -0.5f, 0.5f, kRed),
                          vertex(9.5f, 9.5f, 0.5f, kRed), vertex(-0.5f, 9.5f, 0.5f, kRed)};
    ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLEFAN, 2, fan, sizeof(Vertex)), D3D_OK);
    auto image = read_back();
    EXPECT_EQ(covered(image), 100);
    EXPECT_EQ(at(image, 9, 9), rgba(kRed));

    // One line along row 20; a third record is not part of any line.
    const Vertex line[] = {vertex(29.0f, 20.0f, 0.5f, kGreen), vertex(40.0f, 20.0f, 0.5f, kGreen),
                           vertex(0.0f, 31.0f, 0.5f, kBlue)};
    ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_LINELIST, 1, line, sizeof(Vertex)), D3D_OK);
    image = read_back();
    for (int x = 31; x < 39; ++x) {
        EXPECT_EQ(at(image, x, 20), rgba(kGreen)) << x;
        EXPECT_EQ(at(image, x, 19), rgba(kBackground)) << x;
        EXPECT_EQ(at(image, x, 21), rgba(kBackground)) << x;
    }
    EXPECT_EQ(at(image, 0, 31), rgba(kBackground));
}

}  // namespace
}  // namespace d3d9_test
