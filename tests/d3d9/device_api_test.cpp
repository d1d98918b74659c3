// The device as an interface: creation (offscreen and on a window of the
// windowing layer), what it refuses, reference counts, and user-memory
// draws that stream through its one buffer: more data than the buffer
// holds, caller memory reused at once, indexed draws with a minimum index.
#include <cmath>
#include <limits>

#include "host/gl/texture.h"
#include "tests/d3d9/device_fixture.h"
#include "tests/dds/dds_files.h"

namespace d3d9_test {
namespace {

using DeviceCalls = DeviceTest;

TEST_F(DeviceCalls, RefusesOtherVertexFormatsAndStrides)
{
    EXPECT_EQ(device_->SetFVF(D3DFVF_XYZ | D3DFVF_DIFFUSE), D3DERR_INVALIDCALL);
    const Vertex quad[4] = {};
    EXPECT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, 32), D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, nullptr, 36), D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->DrawPrimitiveUP(static_cast<D3DPRIMITIVETYPE>(9), 1, quad, 36),
              D3DERR_INVALIDCALL);
    const uint16_t indices[3] = {0, 1, 2};
    EXPECT_EQ(device_->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 0, 3, 1, indices, D3DFMT_A8R8G8B8,
                                              quad, 36),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 0, 3, 1, nullptr, D3DFMT_INDEX16,
                                              quad, 36),
              D3DERR_INVALIDCALL);
    // The valid format is still in force, and an empty draw is fine.
    EXPECT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 0, quad, 36), D3D_OK);
}

// A viewport takes the projection's -1..1 to its own pixels, with pixel
// centres where Direct3D puts them, and a Clear stops at it; the default
// viewport, and the one after Reset, is the whole target.
TEST_F(DeviceCalls, AViewportHoldsTheDrawsAndTheClears)
{
    const D3DVIEWPORT9 inner{8, 4, 16, 8, 0.0f, 1.0f};
    ASSERT_EQ(device_->SetViewport(&inner), D3D_OK);
    ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, kRed, 1.0f, 0),
              D3D_OK);
    // The viewport's own 16 x 8 pixels, its left half drawn green.
    const D3DMATRIX projection = screen_projection(16, 8);
    ASSERT_EQ(device_->SetTransform(D3DTS_PROJECTION, &projection), D3D_OK);
    ASSERT_EQ(pixels(0, 0, 8, 8, 0.5f, kGreen), D3D_OK);
    const D3DRECT everywhere{0, 0, static_cast<LONG>(kWidth), static_cast<LONG>(kHeight)};
    ASSERT_EQ(device_->Clear(1, &everywhere, D3DCLEAR_TARGET, kRed, 1.0f, 0), D3D_OK)
        << "a rectangle is cut to the viewport too";
    ASSERT_EQ(pixels(0, 0, 8, 8, 0.5f, kGreen), D3D_OK);
    const std::vector<uint8_t> image = read_back();
    EXPECT_EQ(at(image, 7, 4), rgba(kBackground)) << "left of the viewport";
    EXPECT_EQ(at(image, 8, 3), rgba(kBackground)) << "above it";
    EXPECT_EQ(at(image, 8, 4), rgba(kGreen)) << "its top left pixel";
    EXPECT_EQ(at(image, 15, 11), rgba(kGreen));
    EXPECT_EQ(at(image, 16, 4), rgba(kRed)) << "its right half, cleared";
    EXPECT_EQ(at(image, 23, 11), rgba(kRed)) << "its bottom right pixel";
    EXPECT_EQ(at(image, 24, 11), rgba(kBackground)) << "right of it";
    EXPECT_EQ(at(image, 23, 12), rgba(kBackground)) << "below it";

    // Outside the target, empty, or a depth range beyond 0..1: refused.
    for (const D3DVIEWPORT9& wrong :
         {D3DVIEWPORT9{60, 0, 8, 8, 0.0f, 1.0f}, D3DVIEWPORT9{0, 30, 8, 8, 0.0f, 1.0f},
          D3DVIEWPORT9{0, 0, 0, 8, 0.0f, 1.0f}, D3DVIEWPORT9{0, 0, 8, 8, 0.5f, 0.25f},
          D3DVIEWPORT9{0, 0, 8, 8, 0.0f, 2.0f}}) {
        EXPECT_EQ(device_->SetViewport(&wrong), D3DERR_INVALIDCALL)
            << wrong.X << "," << wrong.Y << " " << wrong.Width << "x" << wrong.Height;
    }
    EXPECT_EQ(device_->SetViewport(nullptr), D3DERR_INVALIDCALL);
}

TEST(DeviceWithoutFormat, DrawsFailUntilTheVertexFormatIsSet)
{
    IDirect3DDevice9* device = create_device(8, 8, D3DFMT_UNKNOWN, TRUE);
    ASSERT_NE(device, nullptr);
    const Vertex triangle[3] = {};
    EXPECT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, triangle, 36), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->SetFVF(0x152), D3D_OK);
    EXPECT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, triangle, 36), D3D_OK);
    EXPECT_EQ(device->Release(), 0u);
}

TEST_F(DeviceCalls, ScenesPairUp)
{
    EXPECT_EQ(device_->EndScene(), D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->BeginScene(), D3D_OK);
    EXPECT_EQ(device_->BeginScene(), D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->EndScene(), D3D_OK);
    EXPECT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
}

TEST_F(DeviceCalls, UnknownStatesAndValuesAreAcceptedAndHarmless)
{
    EXPECT_EQ(device_->SetRenderState(static_cast<D3DRENDERSTATETYPE>(250), 7), D3D_OK);
    EXPECT_EQ(device_->SetRenderState(static_cast<D3DRENDERSTATETYPE>(100000), 7), D3D_OK);
    EXPECT_EQ(device_->SetRenderState(D3DRS_CULLMODE, 77), D3D_OK);
    EXPECT_EQ(device_->SetRenderState(D3DRS_ZFUNC, 0), D3D_OK);
    EXPECT_EQ(device_->SetRenderState(D3DRS_SRCBLEND, 99), D3D_OK);
    EXPECT_EQ(device_->SetRenderState(D3DRS_POINTSIZE, 0x7fc00000), D3D_OK);  // NaN
    EXPECT_EQ(device_->SetSamplerState(3, D3DSAMP_MINFILTER, 2), D3D_OK);
    EXPECT_EQ(device_->SetSamplerState(0, static_cast<D3DSAMPLERSTATETYPE>(400), 2), D3D_OK);
    EXPECT_EQ(device_->SetTransform(static_cast<D3DTRANSFORMSTATETYPE>(17), nullptr),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->LightEnable(3, TRUE), D3D_OK);
    EXPECT_EQ(device_->SetTexture(5, nullptr), D3D_OK);
    ASSERT_EQ(pixels(0, 0, 8, 8, 0.5f, kRed), D3D_OK);
    EXPECT_EQ(at(4, 4), rgba(kRed));  // the unknown cull value culls as the default does
}

TEST(DeviceWithoutDepth, ClearingDepthIsAnInvalidCall)
{
    IDirect3DDevice9* device = create_device(8, 8, D3DFMT_UNKNOWN, FALSE);
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(device->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.0f, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0), D3D_OK);
    EXPECT_EQ(device->Release(), 0u);
}

TEST(DeviceCreation, AnOffscreenDeviceNeedsASize)
{
    IDirect3D9* factory = Direct3DCreate9(D3D_SDK_VERSION);
    ASSERT_NE(factory, nullptr);
    D3DPRESENT_PARAMETERS params{};
    params.Windowed = TRUE;
    params.SwapEffect = D3DSWAPEFFECT_DISCARD;
    auto* device = reinterpret_cast<IDirect3DDevice9*>(uintptr_t{0x1234});
    EXPECT_EQ(factory->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, 0, &params, &device),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(device, nullptr);
    EXPECT_NE(std::string(host_d3d9::last_error()).find("BackBufferWidth"), std::string::npos);
    EXPECT_EQ(factory->CreateDevice(1, D3DDEVTYPE_HAL, nullptr, 0, &params, &device),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(factory->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, 0, nullptr, &device),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(factory->Release(), 0u);
}

TEST(DeviceCreation, TheDeviceKeepsItsFactoryAndReportsItsBackBuffer)
{
    IDirect3D9* factory = Direct3DCreate9(D3D_SDK_VERSION);
    ASSERT_NE(factory, nullptr);
    D3DPRESENT_PARAMETERS params{};
    params.BackBufferWidth = 40;
    params.BackBufferHeight = 24;
    params.Windowed = TRUE;
    params.SwapEffect = D3DSWAPEFFECT_DISCARD;
    IDirect3DDevice9* device = nullptr;
    ASSERT_EQ(factory->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, 0, &params, &device), D3D_OK);
    EXPECT_EQ(params.BackBufferFormat, D3DFMT_X8R8G8B8);
    EXPECT_EQ(params.BackBufferCount, 1u);
    EXPECT_EQ(factory->Release(), 1u);  // the device's reference
    const host_d3d9::Size size = host_d3d9::back_buffer_size(device);
    EXPECT_EQ(size.width, 40u);
    EXPECT_EQ(size.height, 24u);
    EXPECT_TRUE(host_d3d9::is_gl_device(device));
    EXPECT_EQ(device->AddRef(), 2u);
    EXPECT_EQ(device->Release(), 1u);
    EXPECT_EQ(device->Release(), 0u);
}

// ---------------------------------------------------------------------------

using Streaming = DeviceTest;

// Many point draws, each from the same caller array rewritten at once, with
// more data in total than the stream buffer holds: every draw keeps its own
// data.
TEST_F(Streaming, EveryDrawKeepsItsDataThoughTheCallerReusesIt)
{
    constexpr int kPointsPerDraw = 2000;  // 72 KB a draw, 12 MB in all
    constexpr int kDraws = 160;
    std::vector<Vertex> points(kPointsPerDraw);
    for (int d = 0; d < kDraws; ++d) {
        const float x = static_cast<float>(d % 64);
        const float y = static_cast<float>(d / 64);
        const D3DCOLOR color = 0xff000000u | static_cast<D3DCOLOR>(d + 1) << 8;
        for (Vertex& p : points) {
            p = vertex(x, y, 0.5f, color);
        }
        ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_POINTLIST, kPointsPerDraw, points.data(),
                                           sizeof(Vertex)),
                  D3D_OK);
    }
    const auto image = read_back();
    for (int d = 0; d < kDraws; ++d) {
        EXPECT_EQ(at(image, d % 64, d / 64), (Pixel{0, d + 1, 0, 255})) << "draw " << d;
    }
}

TEST_F(Streaming, ADrawLargerThanTheBufferStillDraws)
{
    std::vector<Vertex> points(300000, vertex(1.0f, 1.0f, 0.5f, kRed));  // 10.8 MB
    points.back() = vertex(2.0f, 2.0f, 0.5f, kGreen);
    ASSERT_EQ(device_->DrawPrimitiveUP(D3DPT_POINTLIST, static_cast<UINT>(points.size()),
                                       points.data(), sizeof(Vertex)),
              D3D_OK);
    const auto image = read_back();
    EXPECT_EQ(at(image, 1, 1), rgba(kRed));
    EXPECT_EQ(at(image, 2, 2), rgba(kGreen));
}

// Records below the minimum index are never read: here they are NaN.
TEST_F(Streaming, IndexedDrawsUseOnlyRecordsFromTheMinimumIndex)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    std::vector<Vertex> records(9, vertex(nan, nan, nan, 0));
    records[5] = vertex(-0.5f, -0.5f, 0.5f, kRed);
    records[6] = vertex(9.5f, -0.5f, 0.5f, kRed);
    records[7] = vertex(-0.5f, 9.5f, 0.5f, kRed);
    records[8] = vertex(9.5f, 9.5f, 0.5f, kRed);
    const uint16_t indices16[] = {5, 6, 7, 6, 8, 7, 0};  // the last entry is not in a triangle
    ASSERT_EQ(device_->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 5, 4, 2, indices16,
                                              D3DFMT_INDEX16, records.data(), sizeof(Vertex)),
              D3D_OK);
    for (int i = 5; i < 9; ++i) {
        records[static_cast<size_t>(i)].x += 20.0f;
        records[static_cast<size_t>(i)].diffuse = kGreen;
    }
    const uint32_t indices32[] = {5, 6, 7, 6, 8, 7};
    ASSERT_EQ(device_->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 5, 4, 2, indices32,
                                              D3DFMT_INDEX32, records.data(), sizeof(Vertex)),
              D3D_OK);
    const auto image = read_back();
    EXPECT_EQ(at(image, 0, 0), rgba(kRed));
    EXPECT_EQ(at(image, 9, 9), rgba(kRed));
    EXPECT_EQ(at(image, 20, 0), rgba(kGreen));
    EXPECT_EQ(at(image, 29, 9), rgba(kGreen));
    EXPECT_EQ(at(image, 15, 5), rgba(kBackground));
}

// ---------------------------------------------------------------------------
// A device on a window of the windowing layer.

LRESULT CALLBACK plain_window_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    return DefWindowProcA(window, message, wparam, lparam);
}

class WindowDevice : public testing::Test {
protected:
    void SetUp() override
    {
        WNDCLASSEXA window_class{};
        window_class.cbSize = sizeof window_class;
        window_class.lpfnWndProc = plain_window_procedure;
        window_class.hInstance = GetModuleHandleA(nullptr);
        window_class.lpszClassName = "d3d9 test";
        RegisterClassExA(&window_class);
        window_ = CreateWindowExA(0, "d3d9 test", "d3d9 test", WS_OVERLAPPEDWINDOW, 0, 0, 96, 40,
                                  nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(window_, nullptr);
        factory_ = Direct3DCreate9(D3D_SDK_VERSION);
        ASSERT_NE(factory_, nullptr);
    }

    void TearDown() override
    {
        if (window_ != nullptr) {
            DestroyWindow(window_);
        }
        if (factory_ != nullptr) {
            factory_->Release();
        }
        UnregisterClassA("d3d9 test", GetModuleHandleA(nullptr));
    }

    D3DPRESENT_PARAMETERS demo_parameters()
    {
        D3DPRESENT_PARAMETERS params{};
        params.Windowed = TRUE;
        params.SwapEffect = D3DSWAPEFFECT_DISCARD;
        params.EnableAutoDepthStencil = TRUE;
        params.AutoDepthStencilFormat = D3DFMT_D16;
        return params;
    }

    // The demo's device on the window; null on failure.
    IDirect3DDevice9* create_demo_device(D3DPRESENT_PARAMETERS* params)
    {
        IDirect3DDevice9* device = nullptr;
        factory_->CreateDevice(0, D3DDEVTYPE_HAL, window_, D3DCREATE_SOFTWARE_VERTEXPROCESSING,
                               params, &device);
        return device;
    }

    HWND window_ = nullptr;
    IDirect3D9* factory_ = nullptr;
};

TEST_F(WindowDevice, TheBackBufferTakesTheClientSizeAndPresents)
{
    D3DPRESENT_PARAMETERS params = demo_parameters();
    IDirect3DDevice9* device = create_demo_device(&params);
    ASSERT_NE(device, nullptr) << host_d3d9::last_error();
    EXPECT_EQ(params.BackBufferWidth, 96u);
    EXPECT_EQ(params.BackBufferHeight, 40u);
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, kRed, 1.0f, 0), D3D_OK);
    std::vector<uint8_t> image(96 * 40 * 4);
    ASSERT_EQ(host_d3d9::read_back_buffer(device, image), D3D_OK);
    EXPECT_EQ((Pixel{image[0], image[1], image[2], image[3]}), rgba(kRed));
    EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    EXPECT_EQ(device->Release(), 0u);
}

// Direct3D 9 takes Present's rectangles on a copy swap chain only, and
// Reset changes the swap chain: new buffers of the asked size, every state
// back to its default, the textures still good.
TEST_F(WindowDevice, RectanglesNeedACopySwapChainWhichResetCanGive)
{
    D3DPRESENT_PARAMETERS params = demo_parameters();
    IDirect3DDevice9* device = create_demo_device(&params);
    ASSERT_NE(device, nullptr) << host_d3d9::last_error();
    const RECT left_half{0, 0, 48, 40};
    EXPECT_EQ(device->Present(nullptr, &left_half, nullptr, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->Present(&left_half, nullptr, nullptr, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);

    IDirect3DTexture9* green = nullptr;
    ASSERT_EQ(
        host_d3d9::create_texture_from_dds(
            device, dds_files::file(1, 1, 0, dds_files::kA8R8G8B8, dds_files::words32({kGreen})),
            &green),
        D3D_OK);
    ASSERT_EQ(device->SetFVF(0x152), D3D_OK);
    ASSERT_EQ(device->SetTexture(0, green), D3D_OK);

    D3DPRESENT_PARAMETERS copy = demo_parameters();
    copy.SwapEffect = D3DSWAPEFFECT_COPY;
    copy.BackBufferWidth = 32;
    copy.BackBufferHeight = 16;
    ASSERT_EQ(device->Reset(&copy), D3D_OK) << host_d3d9::last_error();
    EXPECT_EQ(host_d3d9::back_buffer_size(device).width, 32u);
    EXPECT_EQ(host_d3d9::back_buffer_size(device).height, 16u);
    EXPECT_EQ(copy.BackBufferFormat, D3DFMT_X8R8G8B8);
    EXPECT_EQ(device->Present(nullptr, &left_half, nullptr, nullptr), D3D_OK);

    // The vertex format and the lighting are back to their defaults: no
    // draw until a format is set, and lit (black) until lighting is off.
    const Vertex quad[] = {
        vertex(-0.5f, -0.5f, 0.5f, 0xffffffff), vertex(31.5f, -0.5f, 0.5f, 0xffffffff),
        vertex(-0.5f, 15.5f, 0.5f, 0xffffffff), vertex(31.5f, 15.5f, 0.5f, 0xffffffff)};
    EXPECT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(Vertex)),
              D3DERR_INVALIDCALL);
    const D3DMATRIX projection = screen_projection(32, 16);
    ASSERT_EQ(device->SetTransform(D3DTS_PROJECTION, &projection), D3D_OK);
    ASSERT_EQ(device->SetFVF(0x152), D3D_OK);
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, kRed, 1.0f, 0), D3D_OK);
    ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(Vertex)), D3D_OK);
    std::vector<uint8_t> image(32 * 16 * 4);
    ASSERT_EQ(host_d3d9::read_back_buffer(device, image), D3D_OK);
    EXPECT_EQ((Pixel{image[0], image[1], image[2], image[3]}), rgba(0xff000000));

    // The texture was unbound by Reset, and is still there to bind again.
    ASSERT_EQ(device->SetRenderState(D3DRS_LIGHTING, FALSE), D3D_OK);
    ASSERT_EQ(device->SetTexture(0, green), D3D_OK);
    ASSERT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(Vertex)), D3D_OK);
    ASSERT_EQ(host_d3d9::read_back_buffer(device, image), D3D_OK);
    EXPECT_EQ((Pixel{image[0], image[1], image[2], image[3]}), rgba(kGreen));

    // Back to the discard swap effect and the client area's size, with the
    // whole of it as the viewport again.
    const D3DVIEWPORT9 corner{0, 0, 4, 4, 0.0f, 1.0f};
    ASSERT_EQ(device->SetViewport(&corner), D3D_OK);
    D3DPRESENT_PARAMETERS discard = demo_parameters();
    ASSERT_EQ(device->Reset(&discard), D3D_OK);
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, kGreen, 1.0f, 0), D3D_OK);
    image.resize(96 * 40 * 4);
    ASSERT_EQ(host_d3d9::read_back_buffer(device, image), D3D_OK);
    EXPECT_EQ((Pixel{image[image.size() - 4], image[image.size() - 3], image[image.size() - 2],
                     image[image.size() - 1]}),
              rgba(kGreen));
    EXPECT_EQ(discard.BackBufferWidth, 96u);
    EXPECT_EQ(discard.BackBufferHeight, 40u);
    EXPECT_EQ(device->Present(nullptr, &left_half, nullptr, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->Reset(nullptr), D3DERR_INVALIDCALL);

    EXPECT_EQ(green->Release(), 0u);
    EXPECT_EQ(device->Release(), 0u);
}

// Once its window is gone a device's context cannot be made current, and
// its texture's GL name must not be deleted in whichever context is current:
// here another device's, whose own texture has the same name.
TEST_F(WindowDevice, ReleasingAfterTheWindowIsGoneIsSafeAndLeavesOtherDevicesAlone)
{
    D3DPRESENT_PARAMETERS params = demo_parameters();
    IDirect3DDevice9* device = nullptr;
    ASSERT_EQ(factory_->CreateDevice(0, D3DDEVTYPE_HAL, window_, 0, &params, &device), D3D_OK);
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(host_d3d9::create_texture_from_dds(
                  device, dds_files::file(1, 1, 0, dds_files::kL8, {7}), &texture),
              D3D_OK);
    ASSERT_EQ(device->SetTexture(0, texture), D3D_OK);

    IDirect3DDevice9* other = create_device(8, 8, D3DFMT_UNKNOWN, TRUE);
    ASSERT_NE(other, nullptr) << host_d3d9::last_error();
    const D3DMATRIX projection = screen_projection(8, 8);
    other->SetTransform(D3DTS_PROJECTION, &projection);
    other->SetFVF(0x152);
    other->SetRenderState(D3DRS_LIGHTING, FALSE);
    other->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
    IDirect3DTexture9* green = nullptr;
    ASSERT_EQ(
        host_d3d9::create_texture_from_dds(
            other, dds_files::file(1, 1, 0, dds_files::kA8R8G8B8, dds_files::words32({kGreen})),
            &green),
        D3D_OK);
    ASSERT_EQ(other->SetTexture(0, green), D3D_OK);
    ASSERT_EQ(dynamic_cast<host_d3d9::GlTexture*>(texture)->name(),
              dynamic_cast<host_d3d9::GlTexture*>(green)->name())
        << "the case needs both textures to have the same GL name";

    DestroyWindow(window_);
    window_ = nullptr;
    EXPECT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET, kRed, 1.0f, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->Release(), 1u);
    EXPECT_EQ(texture->Release(), 0u);  // the device goes too

    const Vertex quad[] = {
        vertex(-0.5f, -0.5f, 0.5f, 0xffffffff), vertex(7.5f, -0.5f, 0.5f, 0xffffffff),
        vertex(-0.5f, 7.5f, 0.5f, 0xffffffff), vertex(7.5f, 7.5f, 0.5f, 0xffffffff)};
    ASSERT_EQ(other->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(Vertex)), D3D_OK);
    std::vector<uint8_t> image(8 * 8 * 4);
    ASSERT_EQ(host_d3d9::read_back_buffer(other, image), D3D_OK);
    EXPECT_EQ((Pixel{image[0], image[1], image[2], image[3]}), rgba(kGreen));
    ASSERT_EQ(other->SetTexture(0, nullptr), D3D_OK);
    EXPECT_EQ(green->Release(), 0u);
    EXPECT_EQ(other->Release(), 0u);
}

TEST_F(WindowDevice, AnUnknownWindowIsRefused)
{
    D3DPRESENT_PARAMETERS params = demo_parameters();
    IDirect3DDevice9* device = nullptr;
    EXPECT_EQ(factory_->CreateDevice(0, D3DDEVTYPE_HAL, reinterpret_cast<HWND>(uintptr_t{0x9999}),
                                     0, &params, &device),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(device, nullptr);
}

}  // namespace
}  // namespace d3d9_test
