// Textures through the device: every DDS format as the GPU samples it, the
// stage-0 operations (texture x diffuse, texture alpha), mip chains kept or
// built, the sampler's filters and address modes, how long a texture lives,
// running out of memory, and D3DXCreateTextureFromFileA's refusals. Every
// format, DXT included, is decoded by our own decoder at load, so texels come
// out exactly as it decodes them; the tolerance is 1 where a texel is
// multiplied by a diffuse colour.
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "host/common/dds/dds.h"
#include "host/gl/live_objects.h"
#include "tests/d3d9/device_fixture.h"
#include "tests/dds/dds_files.h"
#include "tests/support/failing_allocation.h"

namespace d3d9_test {
namespace {

using namespace dds_files;

class Textures : public DeviceTest {
protected:
    void TearDown() override
    {
        if (texture_ != nullptr) {
            device_->SetTexture(0, nullptr);
            EXPECT_EQ(texture_->Release(), 0u);
        }
        DeviceTest::TearDown();
    }

    // Loads a DDS file and binds it with point sampling of level 0.
    void load(const std::vector<uint8_t>& file)
    {
        ASSERT_EQ(host_d3d9::create_texture_from_dds(device_, file, &texture_), D3D_OK)
            << host_d3d9::last_error();
        ASSERT_EQ(device_->SetTexture(0, texture_), D3D_OK);
        sampling(D3DTEXF_POINT, D3DTEXF_POINT, D3DTEXF_NONE);
    }

    void sampling(DWORD min, DWORD mag, DWORD mip)
    {
        device_->SetSamplerState(0, D3DSAMP_MINFILTER, min);
        device_->SetSamplerState(0, D3DSAMP_MAGFILTER, mag);
        device_->SetSamplerState(0, D3DSAMP_MIPFILTER, mip);
    }

    // The texture over the whole back buffer.
    void fill(D3DCOLOR diffuse = 0xffffffff)
    {
        ASSERT_EQ(rectangle(-0.5f, -0.5f, 63.5f, 31.5f, 0.5f, diffuse), D3D_OK);
    }

    IDirect3DTexture9* texture_ = nullptr;
};

// Bytes that exercise every bit of every texel.
std::vector<uint8_t> pattern(size_t size, uint32_t seed)
{
    std::vector<uint8_t> bytes(size);
    uint32_t state = seed;
    for (uint8_t& b : bytes) {
        state = state * 1664525u + 1013904223u;
        b = static_cast<uint8_t>(state >> 24);
    }
    return bytes;
}

struct FormatCase {
    const char* name;
    PixelFormat header;
    dds::Format format;
};

TEST_F(Textures, EveryFormatSamplesAsItDecodes)
{
    const FormatCase cases[] = {
        {"DXT1", kDxt1, dds::Format::dxt1},
        {"DXT3", kDxt3, dds::Format::dxt3},
        {"DXT5", kDxt5, dds::Format::dxt5},
        {"A8R8G8B8", kA8R8G8B8, dds::Format::a8r8g8b8},
        {"X8R8G8B8", kX8R8G8B8, dds::Format::x8r8g8b8},
        {"A8B8G8R8", kA8B8G8R8, dds::Format::a8b8g8r8},
        {"X8B8G8R8", kX8B8G8R8, dds::Format::x8b8g8r8},
        {"R8G8B8", kR8G8B8, dds::Format::r8g8b8},
        {"R5G6B5", kR5G6B5, dds::Format::r5g6b5},
        {"A1R5G5B5", kA1R5G5B5, dds::Format::a1r5g5b5},
        {"X1R5G5B5", kX1R5G5B5, dds::Format::x1r5g5b5},
        {"A4R4G4B4", kA4R4G4B4, dds::Format::a4r4g4b4},
        {"X4R4G4B4", kX4R4G4B4, dds::Format::x4r4g4b4},
        {"L8", kL8, dds::Format::l8},
        {"A8L8", kA8L8, dds::Format::a8l8},
        {"A8", kA8, dds::Format::a8},
    };
    uint32_t seed = 1;
    for (const FormatCase& c : cases) {
        SCOPED_TRACE(c.name);
        // DXT files bring their chain (4 x 4, 2 x 2, 1 x 1), which is kept;
        // the others get their chain built.
        const bool compressed = dds::format_info(c.format).compressed;
        const uint32_t levels = compressed ? 3 : 0;
        size_t size = 0;
        for (uint32_t i = 0; i < std::max(levels, 1u); ++i) {
            size += static_cast<size_t>(dds::level_size(c.format, 4u >> i, 4u >> i));
        }
        const std::vector<uint8_t> bytes = file(4, 4, levels, c.header, pattern(size, seed++));
        const dds::ParseResult parsed = dds::parse(bytes);
        ASSERT_TRUE(parsed.ok) << parsed.error;
        std::vector<uint8_t> expected(dds::rgba8_size(4, 4));
        dds::decode_rgba8(c.format, parsed.image.levels[0], expected);

        load(bytes);
        EXPECT_EQ(host_d3d9::texture_info(texture_).levels, 3u);
        fill();
        const auto image = read_back();
        for (int ty = 0; ty < 4; ++ty) {
            for (int tx = 0; tx < 4; ++tx) {
                const uint8_t* e = &expected[static_cast<size_t>(ty * 4 + tx) * 4];
                EXPECT_EQ(at(image, 16 * tx + 8, 8 * ty + 4), (Pixel{e[0], e[1], e[2], e[3]}))
                    << "texel " << tx << ", " << ty;
            }
        }
        device_->SetTexture(0, nullptr);
        EXPECT_EQ(texture_->Release(), 0u);
        texture_ = nullptr;
    }
}

TEST_F(Textures, ColourIsTextureTimesDiffuseAndAlphaIsTheTextures)
{
    // One texel: red 200, green 100, blue 50, alpha 200.
    load(file(1, 1, 0, kA8R8G8B8, words32({0xc8c86432})));
    fill(0x00808080);  // diffuse alpha 0 is not used
    const Pixel p = at(30, 15);
    EXPECT_TRUE(near(p, {100, 50, 25, 200}, 1));
}

TEST_F(Textures, AlphaTestCutsOnTheTextureAlpha)
{
    // Texels of alpha 63, 64, 65 and 0 side by side.
    load(file(4, 1, 0, kA8R8G8B8, words32({0x3fffffff, 0x40ffffff, 0x41ffffff, 0x00ffffff})));
    device_->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
    device_->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL);
    device_->SetRenderState(D3DRS_ALPHAREF, 64);
    fill(0xffffffff);
    const auto image = read_back();
    EXPECT_EQ(at(image, 8, 10), rgba(kBackground));
    EXPECT_EQ(at(image, 24, 10), (Pixel{255, 255, 255, 64}));
    EXPECT_EQ(at(image, 40, 10), (Pixel{255, 255, 255, 65}));
    EXPECT_EQ(at(image, 56, 10), rgba(kBackground));
}

TEST_F(Textures, UnbindingReturnsToTheDiffuseColour)
{
    load(file(1, 1, 0, kA8R8G8B8, words32({0xff00ff00})));
    ASSERT_EQ(device_->SetTexture(0, nullptr), D3D_OK);
    fill(0xff804020);
    EXPECT_EQ(at(10, 10), (Pixel{0x80, 0x40, 0x20, 0xff}));
}

// 4 x 4 with columns black, black, white, white: level 1 is black | white,
// level 2 the mean grey. A one-pixel quad over u 0..0.9 reads the texture
// 3.6 texels a pixel, level of detail about 1.85, at u = 0.45 (black in
// levels 0 and 1).
class MipLevels : public Textures {
protected:
    void SetUp() override
    {
        Textures::SetUp();
        std::vector<uint32_t> texels;
        for (int i = 0; i < 16; ++i) {
            texels.push_back(i % 4 < 2 ? 0xff000000u : 0xffffffffu);
        }
        std::vector<uint8_t> data;
        for (uint32_t t : texels) {
            const auto w = words32({t});
            data.insert(data.end(), w.begin(), w.end());
        }
        load(file(4, 4, 0, kA8R8G8B8, data));
    }

    int sample(DWORD mip_filter)
    {
        sampling(D3DTEXF_POINT, D3DTEXF_POINT, mip_filter);
        EXPECT_EQ(rectangle(-0.5f, -0.5f, 0.5f, 0.5f, 0.5f, 0xffffffff, 0.0f, 0.0f, 0.9f, 0.9f),
                  D3D_OK);
        return at(0, 0)[0];
    }
};

TEST_F(MipLevels, AFileWithoutAChainGetsAFullOne)
{
    EXPECT_EQ(host_d3d9::texture_info(texture_).levels, 3u);
    EXPECT_EQ(sample(D3DTEXF_NONE), 0);          // level 0 only
    EXPECT_NEAR(sample(D3DTEXF_POINT), 128, 1);  // the nearest level, 2
    const int blended = sample(D3DTEXF_LINEAR);  // between levels 1 and 2
    EXPECT_GT(blended, 20);
    EXPECT_LT(blended, 126);
}

TEST_F(Textures, ChainsFromTheFileAreUsedAsTheyAre)
{
    // 2 x 2 red, then a 1 x 1 level of blue that no box filter would make.
    std::vector<uint8_t> data = words32({0xffff0000, 0xffff0000, 0xffff0000, 0xffff0000});
    const auto blue = words32({0xff0000ff});
    data.insert(data.end(), blue.begin(), blue.end());
    load(file(2, 2, 2, kA8R8G8B8, data));
    EXPECT_EQ(host_d3d9::texture_info(texture_).levels, 2u);
    sampling(D3DTEXF_POINT, D3DTEXF_POINT, D3DTEXF_POINT);
    ASSERT_EQ(rectangle(-0.5f, -0.5f, 0.5f, 0.5f, 0.5f, 0xffffffff), D3D_OK);  // minified 2:1
    EXPECT_EQ(at(0, 0), (Pixel{0, 0, 255, 255}));
}

TEST_F(Textures, DxtChainsAreDecodedLevelForLevel)
{
    // 4 x 4 red, then 2 x 2 and 1 x 1 levels of blue (one block each).
    std::vector<uint8_t> data;
    constexpr uint16_t kLevelColors[] = {0xf800, 0x001f, 0x001f};
    for (const uint16_t color : kLevelColors) {
        const auto block = words16({color, color, 0, 0});
        data.insert(data.end(), block.begin(), block.end());
    }
    load(file(4, 4, 3, kDxt1, data));
    EXPECT_EQ(host_d3d9::texture_info(texture_).levels, 3u);
    sampling(D3DTEXF_POINT, D3DTEXF_POINT, D3DTEXF_POINT);
    ASSERT_EQ(rectangle(-0.5f, -0.5f, 0.5f, 0.5f, 0.5f, 0xffffffff), D3D_OK);  // minified 4:1
    EXPECT_EQ(at(0, 0), (Pixel{0, 0, 255, 255}));
    ASSERT_EQ(rectangle(-0.5f, -0.5f, 3.5f, 3.5f, 0.5f, 0xffffffff), D3D_OK);  // level 0
    EXPECT_EQ(at(1, 1), (Pixel{255, 0, 0, 255}));
}

TEST_F(Textures, DxtWithoutAChainIsDecodedToBuildOne)
{
    std::vector<uint8_t> block = words16({0xf800, 0xf800});
    block.insert(block.end(), 4, 0);
    load(file(4, 4, 0, kDxt1, block));
    const host_d3d9::TextureInfo info = host_d3d9::texture_info(texture_);
    EXPECT_EQ(info.levels, 3u);
    fill();
    EXPECT_EQ(at(5, 5), (Pixel{255, 0, 0, 255}));
}

// A 2 x 1 texture, black | white, stretched over the 64 pixels.
class Filtering : public Textures {
protected:
    void SetUp() override
    {
        Textures::SetUp();
        load(file(2, 1, 0, kA8R8G8B8, words32({0xff000000, 0xffffffff})));
    }
};

TEST_F(Filtering, PointMagnificationGivesAHardEdge)
{
    sampling(D3DTEXF_POINT, D3DTEXF_POINT, D3DTEXF_NONE);
    fill();
    const auto image = read_back();
    EXPECT_EQ(at(image, 31, 10)[0], 0);
    EXPECT_EQ(at(image, 32, 10)[0], 255);
}

TEST_F(Filtering, LinearMagnificationBlendsNeighboursAndWraps)
{
    sampling(D3DTEXF_LINEAR, D3DTEXF_LINEAR, D3DTEXF_NONE);
    fill();
    auto image = read_back();
    // Pixel 31 samples u = 31.5 / 64: halfway between the texel centres.
    EXPECT_NEAR(at(image, 31, 10)[0], 124, 3);
    EXPECT_LT(at(image, 16, 10)[0], 10);  // next to the black texel's centre
    // At pixel 0 the wrapped-around white texel shares the sample...
    EXPECT_NEAR(at(image, 0, 10)[0], 124, 3);

    // ...unless the address mode clamps.
    device_->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
    fill();
    image = read_back();
    EXPECT_EQ(at(image, 0, 10)[0], 0);
}

// u from -1 to 3 over the 64 pixels: 16 pixels per repetition.
TEST_F(Filtering, AddressModesBeyondTheTexture)
{
    sampling(D3DTEXF_POINT, D3DTEXF_POINT, D3DTEXF_NONE);
    auto red_at = [this](DWORD address, int x) {
        device_->SetSamplerState(0, D3DSAMP_ADDRESSU, address);
        EXPECT_EQ(rectangle(-0.5f, -0.5f, 63.5f, 31.5f, 0.5f, 0xffffffff, -1.0f, 0.0f, 3.0f, 1.0f),
                  D3D_OK);
        return at(x, 10)[0];
    };
    // Pixel 4 reads u = -0.72 and pixel 36 u = 1.28: the black texel when
    // the texture repeats, the white one when it mirrors.
    EXPECT_EQ(red_at(D3DTADDRESS_WRAP, 4), 0);
    EXPECT_EQ(red_at(D3DTADDRESS_WRAP, 36), 0);
    EXPECT_EQ(red_at(D3DTADDRESS_MIRROR, 4), 255);
    EXPECT_EQ(red_at(D3DTADDRESS_MIRROR, 36), 255);
    EXPECT_EQ(red_at(D3DTADDRESS_CLAMP, 4), 0);
    EXPECT_EQ(red_at(D3DTADDRESS_CLAMP, 36), 255);
    device_->SetSamplerState(0, D3DSAMP_BORDERCOLOR, 0xff804020);
    EXPECT_EQ(red_at(D3DTADDRESS_BORDER, 4), 0x80);
    EXPECT_EQ(red_at(D3DTADDRESS_BORDER, 20), 0);  // inside the texture
}

TEST_F(Textures, ATextureFromAnotherDeviceIsRefused)
{
    IDirect3DDevice9* other = create_device(8, 8, D3DFMT_UNKNOWN, TRUE);
    ASSERT_NE(other, nullptr);
    IDirect3DTexture9* foreign = nullptr;
    ASSERT_EQ(host_d3d9::create_texture_from_dds(other, file(1, 1, 0, kL8, {7}), &foreign), D3D_OK);
    EXPECT_EQ(device_->SetTexture(0, foreign), D3DERR_INVALIDCALL);
    EXPECT_EQ(foreign->Release(), 0u);
    EXPECT_EQ(other->Release(), 0u);
}

// The texture keeps its device alive; releasing the device first is safe.
TEST(TextureLifetime, TheDeviceLivesUntilItsLastTextureGoes)
{
    IDirect3DDevice9* device = create_device(8, 8, D3DFMT_UNKNOWN, TRUE);
    ASSERT_NE(device, nullptr);
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(host_d3d9::create_texture_from_dds(device, file(1, 1, 0, kL8, {7}), &texture),
              D3D_OK);
    ASSERT_EQ(device->SetTexture(0, texture), D3D_OK);
    EXPECT_EQ(texture->AddRef(), 2u);
    EXPECT_EQ(texture->Release(), 1u);
    EXPECT_EQ(device->Release(), 1u);   // the texture's reference remains
    EXPECT_EQ(texture->Release(), 0u);  // takes the device with it
}

// Like Direct3D's, the device holds a bound texture, once however often it
// is bound: released by its owner, it is still drawn until it is unbound,
// then it goes at once, and one still bound when the device goes is
// released with the device, so nothing is left alive at exit.
TEST(TextureLifetime, ABoundTextureLivesUntilUnboundOrUntilItsDeviceGoes)
{
    const size_t textures_before = host_d3d9::live_objects(host_d3d9::ObjectKind::texture);
    const size_t devices_before = host_d3d9::live_objects(host_d3d9::ObjectKind::device);
    IDirect3DDevice9* device = create_device(8, 8, D3DFMT_UNKNOWN, TRUE);
    ASSERT_NE(device, nullptr) << host_d3d9::last_error();
    const D3DMATRIX projection = screen_projection(8, 8);
    device->SetTransform(D3DTS_PROJECTION, &projection);
    device->SetFVF(0x152);
    device->SetRenderState(D3DRS_LIGHTING, FALSE);
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
    auto drawn = [device] {
        const Vertex quad[] = {
            vertex(-0.5f, -0.5f, 0.5f, 0xffffffff), vertex(7.5f, -0.5f, 0.5f, 0xffffffff),
            vertex(-0.5f, 7.5f, 0.5f, 0xffffffff), vertex(7.5f, 7.5f, 0.5f, 0xffffffff)};
        EXPECT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(Vertex)), D3D_OK);
        std::vector<uint8_t> image(8 * 8 * 4);
        EXPECT_EQ(host_d3d9::read_back_buffer(device, image), D3D_OK);
        return Pixel{image[0], image[1], image[2], image[3]};
    };
    auto texture_of = [device](uint32_t argb) {
        IDirect3DTexture9* texture = nullptr;
        EXPECT_EQ(host_d3d9::create_texture_from_dds(
                      device, file(1, 1, 0, kA8R8G8B8, words32({argb})), &texture),
                  D3D_OK);
        return texture;
    };

    const auto textures_alive = [textures_before] {
        return host_d3d9::live_objects(host_d3d9::ObjectKind::texture) - textures_before;
    };

    IDirect3DTexture9* green = texture_of(0xff00ff00);
    ASSERT_NE(green, nullptr);
    ASSERT_EQ(device->SetTexture(0, green), D3D_OK);
    ASSERT_EQ(device->SetTexture(0, green), D3D_OK);
    EXPECT_EQ(green->Release(), 0u);
    EXPECT_EQ(textures_alive(), 1u) << "released while bound (twice)";
    EXPECT_EQ(drawn(), (Pixel{0, 255, 0, 255}));
    ASSERT_EQ(device->SetTexture(0, nullptr), D3D_OK);
    EXPECT_EQ(textures_alive(), 0u) << "unbound once after being bound twice";
    EXPECT_EQ(drawn(), (Pixel{255, 255, 255, 255}));

    // Binding another lets go of the first, which goes at once.
    IDirect3DTexture9* blue = texture_of(0xff0000ff);
    IDirect3DTexture9* red = texture_of(0xffff0000);
    ASSERT_NE(blue, nullptr);
    ASSERT_NE(red, nullptr);
    ASSERT_EQ(device->SetTexture(0, blue), D3D_OK);
    ASSERT_EQ(device->SetTexture(0, blue), D3D_OK);
    EXPECT_EQ(blue->Release(), 0u);
    ASSERT_EQ(device->SetTexture(0, red), D3D_OK);
    EXPECT_EQ(textures_alive(), 1u);
    ASSERT_EQ(device->SetTexture(0, red), D3D_OK);
    EXPECT_EQ(red->Release(), 0u);
    EXPECT_EQ(textures_alive(), 1u);
    EXPECT_EQ(drawn(), (Pixel{255, 0, 0, 255}));

    EXPECT_EQ(device->Release(), 0u);
    EXPECT_EQ(host_d3d9::live_objects(host_d3d9::ObjectKind::texture), textures_before);
    EXPECT_EQ(host_d3d9::live_objects(host_d3d9::ObjectKind::device), devices_before);
}

// 8192 x 8192 DXT1 blocks (32 MiB) decode to 256 MiB of RGBA8. In a child
// process whose address space may grow by only 64 MiB, loading them must
// fail with E_OUTOFMEMORY: no exception, no end of the program. Exits 0 on
// that result.
[[noreturn]] void load_beyond_the_memory_limit()
{
    IDirect3DDevice9* device = create_device(8, 8, D3DFMT_UNKNOWN, TRUE);
    if (device == nullptr) {
        std::fprintf(stderr, "no device: %s\n", host_d3d9::last_error());
        std::exit(2);
    }
    constexpr uint32_t kSide = 8192;
    std::vector<uint8_t> bytes = header(kSide, kSide, 0, kDxt1);
    bytes.resize(bytes.size() + size_t{kSide / 4} * (kSide / 4) * 8, 0x55);

    rlimit unlimited{};
    getrlimit(RLIMIT_AS, &unlimited);
    long pages = 0;
    std::ifstream("/proc/self/statm") >> pages;
    rlimit tight = unlimited;
    tight.rlim_cur = static_cast<rlim_t>(pages) * static_cast<rlim_t>(sysconf(_SC_PAGESIZE)) +
                     (rlim_t{64} << 20);
    setrlimit(RLIMIT_AS, &tight);
    auto* texture = reinterpret_cast<IDirect3DTexture9*>(uintptr_t{0x1234});
    const HRESULT result = host_d3d9::create_texture_from_dds(device, bytes, &texture);
    setrlimit(RLIMIT_AS, &unlimited);

    std::fprintf(stderr, "result 0x%08x, texture %s: %s\n", static_cast<unsigned>(result),
                 texture == nullptr ? "none" : "set", host_d3d9::last_error());
    if (texture != nullptr) {
        texture->Release();
    }
    device->Release();
    std::exit(result == E_OUTOFMEMORY && texture == nullptr ? 0 : 1);
}

TEST(TextureMemory, DecodingBeyondTheAvailableMemoryIsOutOfMemory)
{
    // The child starts afresh rather than forking a process with driver threads.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // Under AddressSanitizer a failed allocation ends the program unless its
    // allocator may return null, as the ordinary one does; the child takes
    // the option from its environment.
    const char* const options = std::getenv("ASAN_OPTIONS");
    const std::string saved = options != nullptr ? options : "";
    setenv("ASAN_OPTIONS", (saved + ":allocator_may_return_null=1").c_str(), 1);
    EXPECT_EXIT(load_beyond_the_memory_limit(), testing::ExitedWithCode(0),
                "result 0x8007000e, texture none: not enough memory");
    if (options != nullptr) {
        setenv("ASAN_OPTIONS", saved.c_str(), 1);
    } else {
        unsetenv("ASAN_OPTIONS");
    }
}

// ---------------------------------------------------------------------------
// D3DXCreateTextureFromFileA

class TextureFiles : public DeviceTest {
protected:
    std::string write(const std::string& name, const std::vector<uint8_t>& bytes)
    {
        const std::string path = testing::TempDir() + "d3d9_texture_test_" + name;
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
        return path;
    }

    // Loads the file expecting a refusal; returns the reason given.
    std::string refused(const std::string& path, HRESULT expected = D3DXERR_INVALIDDATA)
    {
        auto* texture = reinterpret_cast<IDirect3DTexture9*>(uintptr_t{0x1234});
        EXPECT_EQ(D3DXCreateTextureFromFileA(device_, path.c_str(), &texture), expected) << path;
        EXPECT_EQ(texture, nullptr);
        return host_d3d9::last_error();
    }
};

TEST_F(TextureFiles, LoadsAValidFile)
{
    const std::string path = write("valid.dds", file(8, 4, 0, kX8R8G8B8, pattern(128, 5)));
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(D3DXCreateTextureFromFileA(device_, path.c_str(), &texture), D3D_OK)
        << host_d3d9::last_error();
    const host_d3d9::TextureInfo info = host_d3d9::texture_info(texture);
    EXPECT_EQ(info.width, 8u);
    EXPECT_EQ(info.height, 4u);
    EXPECT_EQ(info.levels, 4u);
    EXPECT_EQ(texture->Release(), 0u);
}

TEST_F(TextureFiles, RefusesFilesThatCannotBeRead)
{
    const std::string missing = testing::TempDir() + "d3d9_texture_test_missing.dds";
    std::remove(missing.c_str());
    std::string reason = refused(missing);
    EXPECT_NE(reason.find(missing), std::string::npos) << reason;
    EXPECT_NE(reason.find("cannot open"), std::string::npos) << reason;

    // Not files at all: each is named, and said what it is.
    const std::string directory = testing::TempDir() + "d3d9_texture_test_directory.dds";
    std::filesystem::create_directories(directory);
    EXPECT_EQ(refused(directory), directory + ": a directory, not a file");
    const std::string fifo = testing::TempDir() + "d3d9_texture_test_fifo.dds";
    std::remove(fifo.c_str());
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(refused(fifo), fifo + ": a FIFO (named pipe), not a file");
    const std::string device = testing::TempDir() + "d3d9_texture_test_device.dds";
    std::remove(device.c_str());
    std::filesystem::create_symlink("/dev/zero", device);
    EXPECT_EQ(refused(device), device + ": a character device, not a file");
}

TEST_F(TextureFiles, LoadsAFileThroughASymbolicLink)
{
    const std::string path = write("linked.dds", file(8, 4, 0, kX8R8G8B8, pattern(128, 5)));
    const std::string link = testing::TempDir() + "d3d9_texture_test_link.dds";
    std::remove(link.c_str());
    std::filesystem::create_symlink(path, link);
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(D3DXCreateTextureFromFileA(device_, link.c_str(), &texture), D3D_OK)
        << host_d3d9::last_error();
    EXPECT_EQ(host_d3d9::texture_info(texture).width, 8u);
    EXPECT_EQ(texture->Release(), 0u);
}

TEST_F(TextureFiles, NoRoomForTheFileIsOutOfMemory)
{
    const std::vector<uint8_t> bytes = file(64, 64, 0, kA8R8G8B8, pattern(64 * 64 * 4, 3));
    const std::string path = write("no_room.dds", bytes);
    test_support::FailingAllocations no_room(bytes.size());
    EXPECT_EQ(refused(path, E_OUTOFMEMORY),
              path + ": no room in memory for its " + std::to_string(bytes.size()) + " bytes");
    EXPECT_GE(no_room.refused(), 1u);
}

TEST_F(TextureFiles, RefusesEmptyTruncatedMalformedAndUnsupportedFiles)
{
    EXPECT_NE(refused(write("empty.dds", {})).find("empty"), std::string::npos);
    EXPECT_NE(refused(write("truncated.dds", file(8, 8, 0, kA8R8G8B8, pattern(255, 1))))
                  .find("truncated"),
              std::string::npos);
    EXPECT_NE(refused(write("text.dds", {'h', 'e', 'l', 'l', 'o'})).find("too short"),
              std::string::npos);
    auto bad_magic = file(1, 1, 0, kL8, {1});
    bad_magic[1] = 'X';
    EXPECT_NE(refused(write("magic.dds", bad_magic)).find("not a DDS"), std::string::npos);
    EXPECT_NE(
        refused(write("ati2.dds", file(4, 4, 0, {kFourCc, code('A', 'T', 'I', '2'), 0, 0, 0, 0, 0},
                                       pattern(16, 2))))
            .find("ATI2"),
        std::string::npos);
}

TEST_F(TextureFiles, NullArgumentsAreInvalidCalls)
{
    IDirect3DTexture9* texture = nullptr;
    EXPECT_EQ(D3DXCreateTextureFromFileA(nullptr, "x.dds", &texture), D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXCreateTextureFromFileA(device_, nullptr, &texture), D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXCreateTextureFromFileA(device_, "x.dds", nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(texture, nullptr);
}

}  // namespace
}  // namespace d3d9_test
