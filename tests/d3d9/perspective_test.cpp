// The device under the demo's own camera: its perspective projection (w is
// the view distance, not 1), an eye 1.6 above the ground looking level, and
// its fog from 2.5 to 5. Checked against closed forms worked out here from
// the projection's definition: Direct3D's depth z / w in 0..1 (not GL's
// -1..1), clipping at the near and far planes, texture coordinates and the
// vertex fog factor interpolated in 3D (perspective-correct), the fog factor
// clamped at each vertex before it is interpolated.
#include <algorithm>
#include <cmath>

#include "host/gl/translate.h"
#include "scene/timeline.h"
#include "tests/d3d9/device_fixture.h"
#include "tests/dds/dds_files.h"

namespace d3d9_test {
namespace {

// The demo's eye height and fog range (scene/scripts.cpp).
constexpr double kEyeHeight = 1.6;
constexpr float kFogStart = 2.5f;
constexpr float kFogEnd = 5.0f;

// 16:9 like the demo's window; rows of 108 pixels keep the checks below at
// least half a pixel from every edge they probe.
constexpr uint32_t kWidth = 192;
constexpr uint32_t kHeight = 108;

// 1 / tan(fov / 2): the projection's y scale; x is that over the aspect.
const double kYScale = 1.0 / std::tan(kFieldOfViewDegrees * 0.5 * 3.14159265358979 / 180.0);
const double kXScale = kYScale / kAspect;

// Direct3D's right-handed perspective: view (x, y, z) -> clip (x sx, y sy,
// z f / (n - f) + n f / (n - f), -z).
D3DMATRIX demo_projection()
{
    D3DMATRIX m{};
    m.m[0][0] = static_cast<float>(kXScale);
    m.m[1][1] = static_cast<float>(kYScale);
    m.m[2][2] = kFar / (kNear - kFar);
    m.m[2][3] = -1.0f;
    m.m[3][2] = kNear * kFar / (kNear - kFar);
    return m;
}

// Depth of a point at view distance d: z / w = f (d - n) / (d (f - n)).
double depth_at(double d)
{
    return kFar * (d - kNear) / (d * (kFar - kNear));
}

// The screen row (pixel centres on whole numbers) of a point at view height
// y and distance d, and back: the distance of the ground (y = -eye height)
// seen at the centre of row.
double row_of(double y, double d)
{
    return (1.0 - kYScale * y / d) * kHeight / 2.0;
}

double ground_distance_at_row(int row)
{
    const double ndc_y = 1.0 - 2.0 * row / kHeight;
    return kYScale * -kEyeHeight / ndc_y;
}

class Perspective : public DeviceOfSize<kWidth, kHeight> {
protected:
    void SetUp() override
    {
        ASSERT_NO_FATAL_FAILURE(open(demo_projection(), 0));
        ASSERT_EQ(device_->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE), D3D_OK);
    }

    // A wall facing the eye at view distance d, covering the screen columns
    // whose x in normalised device units lies in x0..x1, every row.
    HRESULT wall(double x0, double x1, double d, D3DCOLOR color)
    {
        const auto x = [d](double ndc) { return static_cast<float>(ndc * d / kXScale); };
        const auto y = static_cast<float>(1.5 * d / kYScale);
        const auto z = static_cast<float>(-d);
        const Vertex strip[] = {vertex(x(x0), y, z, color), vertex(x(x1), y, z, color),
                                vertex(x(x0), -y, z, color), vertex(x(x1), -y, z, color)};
        return device_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, strip, sizeof(Vertex));
    }

    // A floor at view height y from distance near_d to far_d, wider than the
    // view, with v running from 0 at the near edge to 1 at the far one.
    HRESULT ground(double y, double near_d, double far_d, D3DCOLOR color)
    {
        const auto fy = static_cast<float>(y);
        const auto zn = static_cast<float>(-near_d);
        const auto zf = static_cast<float>(-far_d);
        const Vertex strip[] = {
            vertex(-40.0f, fy, zn, color, 0.0f, 0.0f), vertex(40.0f, fy, zn, color, 1.0f, 0.0f),
            vertex(-40.0f, fy, zf, color, 0.0f, 1.0f), vertex(40.0f, fy, zf, color, 1.0f, 1.0f)};
        return device_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, strip, sizeof(Vertex));
    }
};

// Four walls side by side, each at its own distance d, each over a depth
// buffer cleared to just above z / w = depth_at(d) in its upper half and
// just below in its lower half: with LESS a wall shows only in the upper
// half. Read with GL's mapping, (z / w + 1) / 2, every wall would fail both.
TEST_F(Perspective, DepthIsZOverWInZeroToOne)
{
    constexpr double kDistances[] = {0.75, 1.5, 4.0, 20.0};
    constexpr double kMargin = 0.004;
    constexpr LONG kBand = kWidth / 4;
    ASSERT_EQ(device_->SetRenderState(D3DRS_ZFUNC, D3DCMP_LESS), D3D_OK);
    for (LONG i = 0; i < 4; ++i) {
        const double depth = depth_at(kDistances[i]);
        const D3DRECT upper{i * kBand, 0, (i + 1) * kBand, kHeight / 2};
        const D3DRECT lower{i * kBand, kHeight / 2, (i + 1) * kBand, kHeight};
        ASSERT_EQ(
            device_->Clear(1, &upper, D3DCLEAR_ZBUFFER, 0, static_cast<float>(depth + kMargin), 0),
            D3D_OK);
        ASSERT_EQ(
            device_->Clear(1, &lower, D3DCLEAR_ZBUFFER, 0, static_cast<float>(depth - kMargin), 0),
            D3D_OK);
        ASSERT_EQ(wall(-1.0 + 0.5 * i, -0.5 + 0.5 * i, kDistances[i], kWhite), D3D_OK);
    }
    const auto image = read_back();
    for (int i = 0; i < 4; ++i) {
        const int x = static_cast<int>(kBand) * i + static_cast<int>(kBand) / 2;
        EXPECT_EQ(at(image, x, kHeight / 4), rgba(kWhite)) << "distance " << kDistances[i];
        EXPECT_EQ(at(image, x, kHeight * 3 / 4), (Pixel{0, 0, 0, 0}))
            << "distance " << kDistances[i];
    }
}

// Without the depth test, only clipping hides anything: walls nearer than
// the near plane (0.5) or beyond the far plane (100) vanish. A floor 0.2
// below the eye running from 0.3 to 3 is cut where it crosses the near
// plane, at row_of(-0.2, 0.5) = 82.1; with GL's clip volume the cut would
// fall at distance 0.25, below the bottom of the screen.
TEST_F(Perspective, ClippingAtTheNearAndFarPlanes)
{
    ASSERT_EQ(device_->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE), D3D_OK);
    ASSERT_EQ(wall(-1.0, -0.5, 0.45, kRed), D3D_OK);
    ASSERT_EQ(wall(-0.5, 0.0, 0.55, kGreen), D3D_OK);
    ASSERT_EQ(wall(0.0, 0.5, 95.0, kBlue), D3D_OK);
    ASSERT_EQ(wall(0.5, 1.0, 105.0, kRed), D3D_OK);
    auto image = read_back();
    constexpr Pixel kNothing{0, 0, 0, 0};
    EXPECT_EQ(at(image, 24, 54), kNothing);
    EXPECT_EQ(at(image, 72, 54), rgba(kGreen));
    EXPECT_EQ(at(image, 120, 54), rgba(kBlue));
    EXPECT_EQ(at(image, 168, 54), kNothing);

    ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0), D3D_OK);
    ASSERT_EQ(ground(-0.2, 0.3, 3.0, kGreen), D3D_OK);
    image = read_back();
    const double cut = row_of(-0.2, kNear);
    ASSERT_GT(cut, 80.0);
    ASSERT_LT(cut, 84.0);
    for (int x : {10, 96, 180}) {
        EXPECT_EQ(at(image, x, 79), rgba(kGreen)) << x;  // at distance 0.56
        EXPECT_EQ(at(image, x, 85), kNothing) << x;      // nearer than 0.5
    }
}

// The demo's ground seen from its eye height, 2 to 12 away, textured with
// four bands along v (red, green, blue, white). Each band shows at the rows
// where the ground's distance gives its v in 3D: v = (d - 2) / 10. Read in
// screen space instead, v would put three of the four checks in the wrong
// band.
TEST_F(Perspective, TextureCoordinatesArePerspectiveCorrect)
{
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(host_d3d9::create_texture_from_dds(
                  device_,
                  dds_files::file(1, 4, 0, dds_files::kA8R8G8B8,
                                  dds_files::words32({kRed, kGreen, kBlue, kWhite})),
                  &texture),
              D3D_OK)
        << host_d3d9::last_error();
    ASSERT_EQ(device_->SetTexture(0, texture), D3D_OK);
    EXPECT_EQ(texture->Release(), 0u);  // the device holds it while bound
    ASSERT_EQ(ground(-kEyeHeight, 2.0, 12.0, kWhite), D3D_OK);
    const auto image = read_back();
    constexpr D3DCOLOR kBands[] = {kRed, kGreen, kBlue, kWhite};
    for (int band = 0; band < 4; ++band) {
        // The row nearest the middle of the band, v = (band + 0.5) / 4.
        const double d = 2.0 + 10.0 * (band + 0.5) / 4.0;
        const int row = static_cast<int>(std::lround(row_of(-kEyeHeight, d)));
        EXPECT_EQ(at(image, 96, row), rgba(kBands[band])) << "band " << band << ", row " << row;
    }
    ASSERT_EQ(device_->SetTexture(0, nullptr), D3D_OK);
}

// The same ground, white, fogged toward black with the demo's range. Its
// near edge (2) lies before the range and its far edge (12) beyond it, so
// the factors at the vertices are clamped to 1 and 0 and then interpolated:
// f = 1 - (d - 2) / 10 at distance d. Fog computed per pixel,
// clamp((5 - d) / 2.5), differs by 11 to 169 levels at every row checked.
TEST_F(Perspective, VertexFogInterpolatesTheClampedFactorsAcrossTheFogRange)
{
    ASSERT_EQ(device_->SetRenderState(D3DRS_FOGENABLE, TRUE), D3D_OK);
    ASSERT_EQ(device_->SetRenderState(D3DRS_FOGVERTEXMODE, D3DFOG_LINEAR), D3D_OK);
    ASSERT_EQ(device_->SetRenderState(D3DRS_FOGSTART, host_d3d9::bits_from_float(kFogStart)),
              D3D_OK);
    ASSERT_EQ(device_->SetRenderState(D3DRS_FOGEND, host_d3d9::bits_from_float(kFogEnd)), D3D_OK);
    ASSERT_EQ(device_->SetRenderState(D3DRS_FOGCOLOR, 0xff000000), D3D_OK);
    ASSERT_EQ(ground(-kEyeHeight, 2.0, 12.0, kWhite), D3D_OK);
    const auto image = read_back();
    for (int row : {66, 70, 75, 80, 90, 100}) {
        const double d = ground_distance_at_row(row);
        const double f = std::clamp(1.0 - (d - 2.0) / 10.0, 0.0, 1.0);
        const int grey = static_cast<int>(std::lround(255.0 * f));
        EXPECT_TRUE(near(at(image, 96, row), {grey, grey, grey, 255}, 2))
            << "row " << row << ", distance " << d;
    }
}

}  // namespace
}  // namespace d3d9_test
