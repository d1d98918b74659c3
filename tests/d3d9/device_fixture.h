// Shared set-up for the OpenGL device's tests: a fresh offscreen device per
// test with an A8R8G8B8 back buffer (so alpha can be read back) and a D16
// depth buffer, lighting off (vertex colours drawn as they are, as the
// demo's layer sets it), and pixel helpers. DeviceTest adds a projection
// that puts a vertex (x, y, z) on Direct3D's screen pixel coordinate (x, y)
// with depth z.
#pragma once

#include <SDL2/SDL.h>
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <vector>

#include "host/gl/gl_device.h"
#include "platform/platform.h"

namespace d3d9_test {

// FVF 0x152.
struct Vertex {
    float x, y, z;
    float nx, ny, nz;
    D3DCOLOR diffuse;
    float u, v;
};
static_assert(sizeof(Vertex) == 36);

inline Vertex vertex(float x, float y, float z, D3DCOLOR diffuse, float u = 0.0f, float v = 0.0f)
{
    return {x, y, z, 0.0f, 0.0f, 0.0f, diffuse, u, v};
}

using Pixel = std::array<int, 4>;  // r, g, b, a

constexpr D3DCOLOR kWhite = 0xffffffff;
constexpr D3DCOLOR kRed = 0xffff0000;
constexpr D3DCOLOR kGreen = 0xff00ff00;
constexpr D3DCOLOR kBlue = 0xff0000ff;

inline Pixel rgba(D3DCOLOR color)
{
    return {static_cast<int>((color >> 16) & 0xff), static_cast<int>((color >> 8) & 0xff),
            static_cast<int>(color & 0xff), static_cast<int>(color >> 24)};
}

// Channels equal within tolerance.
inline testing::AssertionResult near(const Pixel& actual, const Pixel& expected, int tolerance)
{
    for (size_t i = 0; i < 4; ++i) {
        if (std::abs(actual[i] - expected[i]) > tolerance) {
            return testing::AssertionFailure()
                   << "pixel (" << actual[0] << ", " << actual[1] << ", " << actual[2] << ", "
                   << actual[3] << ") is not within " << tolerance << " of (" << expected[0] << ", "
                   << expected[1] << ", " << expected[2] << ", " << expected[3] << ")";
        }
    }
    return testing::AssertionSuccess();
}

// Keeps SDL's video subsystem up for the whole test program, so that each
// device only makes its context.
class SdlVideoEnvironment : public testing::Environment {
public:
    void SetUp() override { ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0) << SDL_GetError(); }
    void TearDown() override { SDL_QuitSubSystem(SDL_INIT_VIDEO); }
};

inline testing::Environment* const sdl_video_environment =
    testing::AddGlobalTestEnvironment(new SdlVideoEnvironment);

inline IDirect3DDevice9* create_device(uint32_t width, uint32_t height, D3DFORMAT format,
                                       BOOL depth)
{
    IDirect3D9* factory = Direct3DCreate9(D3D_SDK_VERSION);
    if (factory == nullptr) {
        return nullptr;
    }
    D3DPRESENT_PARAMETERS params{};
    params.BackBufferWidth = width;
    params.BackBufferHeight = height;
    params.BackBufferFormat = format;
    params.Windowed = TRUE;
    params.SwapEffect = D3DSWAPEFFECT_DISCARD;
    params.EnableAutoDepthStencil = depth;
    params.AutoDepthStencilFormat = D3DFMT_D16;
    IDirect3DDevice9* device = nullptr;
    factory->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, nullptr,
                          D3DCREATE_SOFTWARE_VERTEXPROCESSING, &params, &device);
    factory->Release();
    return device;
}

// x -> 2x / width - 1, y -> 1 - 2y / height, z -> z * depth_scale.
inline D3DMATRIX screen_projection(uint32_t width, uint32_t height, float depth_scale = 1.0f)
{
    D3DMATRIX m{};
    m.m[0][0] = 2.0f / static_cast<float>(width);
    m.m[1][1] = -2.0f / static_cast<float>(height);
    m.m[2][2] = depth_scale;
    m.m[3][0] = -1.0f;
    m.m[3][1] = 1.0f;
    m.m[3][3] = 1.0f;
    return m;
}

inline D3DMATRIX translation(float x, float y, float z)
{
    D3DMATRIX m{};
    m.m[0][0] = m.m[1][1] = m.m[2][2] = m.m[3][3] = 1.0f;
    m.m[3][0] = x;
    m.m[3][1] = y;
    m.m[3][2] = z;
    return m;
}

// A device of W x H pixels, its back buffer read back as rows of R, G, B, A
// bytes from the top.
template <uint32_t W, uint32_t H>
class DeviceOfSize : public testing::Test {
public:
    static constexpr uint32_t kWidth = W;
    static constexpr uint32_t kHeight = H;

protected:
    // Opens the device with FVF 0x152, lighting off and `projection`, and
    // clears it to `background` and depth 1.
    void open(const D3DMATRIX& projection, D3DCOLOR background)
    {
        device_ = create_device(kWidth, kHeight, D3DFMT_A8R8G8B8, TRUE);
        ASSERT_NE(device_, nullptr) << host_d3d9::last_error();
        ASSERT_EQ(device_->SetFVF(0x152), D3D_OK);
        ASSERT_EQ(device_->SetRenderState(D3DRS_LIGHTING, FALSE), D3D_OK);
        ASSERT_EQ(device_->SetTransform(D3DTS_PROJECTION, &projection), D3D_OK);
        ASSERT_EQ(
            device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, background, 1.0f, 0),
            D3D_OK);
    }

    void TearDown() override
    {
        if (device_ != nullptr) {
            EXPECT_EQ(device_->Release(), 0u);
        }
    }

    std::vector<uint8_t> read_back()
    {
        std::vector<uint8_t> image(size_t{kWidth} * kHeight * 4);
        EXPECT_EQ(host_d3d9::read_back_buffer(device_, image), D3D_OK);
        return image;
    }

    static Pixel at(const std::vector<uint8_t>& image, int x, int y)
    {
        const size_t i = (static_cast<size_t>(y) * kWidth + static_cast<size_t>(x)) * 4;
        return {image[i], image[i + 1], image[i + 2], image[i + 3]};
    }

    Pixel at(int x, int y) { return at(read_back(), x, y); }

    IDirect3DDevice9* device_ = nullptr;
};

class DeviceTest : public DeviceOfSize<64, 32> {
public:
    static constexpr D3DCOLOR kBackground = 0xff102030;

protected:
    void SetUp() override { open(screen_projection(kWidth, kHeight), kBackground); }

    // An axis-aligned rectangle from (x0, y0) to (x1, y1) as a two-triangle
    // strip, clockwise on screen, texture coordinates 0..1 unless given.
    HRESULT rectangle(float x0, float y0, float x1, float y1, float z, D3DCOLOR color,
                      float u0 = 0.0f, float v0 = 0.0f, float u1 = 1.0f, float v1 = 1.0f)
    {
        const Vertex strip[4] = {vertex(x0, y0, z, color, u0, v0), vertex(x1, y0, z, color, u1, v0),
                                 vertex(x0, y1, z, color, u0, v1),
                                 vertex(x1, y1, z, color, u1, v1)};
        return device_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, strip, sizeof(Vertex));
    }

    // The rectangle covering pixels x0..x1-1, y0..y1-1 exactly (edges on
    // half-pixel coordinates, away from every pixel centre).
    HRESULT pixels(int x0, int y0, int x1, int y1, float z, D3DCOLOR color)
    {
        return rectangle(static_cast<float>(x0) - 0.5f, static_cast<float>(y0) - 0.5f,
                         static_cast<float>(x1) - 0.5f, static_cast<float>(y1) - 0.5f, z, color);
    }
};

}  // namespace d3d9_test
