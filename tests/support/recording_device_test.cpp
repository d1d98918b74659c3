// The recording objects: calls kept in order with their arguments, draw data
// hashed over exactly what is drawn, and COM-style reference counts.
#include "host/recording/recording_device.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <numeric>
#include <string_view>

#include "tests/support/device_calls.h"

using ::testing::ElementsAre;

namespace {

uint64_t hash_of(std::string_view text)
{
    return fnv1a64(text.data(), text.size());
}

// A buffer of n records of stride bytes, every byte distinct enough to notice.
std::vector<std::byte> records(size_t n, size_t stride)
{
    std::vector<std::byte> data(n * stride);
    for (size_t i = 0; i < data.size(); ++i) {
        data[i] = static_cast<std::byte>(i * 7 + 3);
    }
    return data;
}

}  // namespace

TEST(Fnv1a64, MatchesThePublishedTestVectors)
{
    EXPECT_EQ(hash_of(""), 0xcbf29ce484222325ull);
    EXPECT_EQ(hash_of("a"), 0xaf63dc4c8601ec8cull);
    EXPECT_EQ(hash_of("foobar"), 0x85944171f73967e8ull);
}

TEST(Fnv1a64, ContinuesAcrossPieces)
{
    EXPECT_EQ(fnv1a64("bar", 3, hash_of("foo")), hash_of("foobar"));
}

TEST(RecordingDevice, KeepsEveryCallInOrderWithItsArguments)
{
    RecordingDevice device;
    RecordingTexture bark("tree.dds");
    device.BeginScene();
    device.SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
    device.LightEnable(2, TRUE);
    device.SetTexture(0, &bark);
    device.SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_POINT);
    device.SetFVF(0x152);
    device.SetTexture(1, nullptr);
    device.EndScene();
    device.Present(nullptr, nullptr, nullptr, nullptr);

    EXPECT_THAT(device.calls(),
                ElementsAre(DeviceCall{call::BeginScene{}}, render_state(D3DRS_CULLMODE, 3),
                            light_enable(2, TRUE), texture(0, &bark),
                            sampler_state(0, D3DSAMP_MIPFILTER, 1), set_fvf(0x152), no_texture(1),
                            DeviceCall{call::EndScene{}},
                            DeviceCall{call::Present{false, false, nullptr, false}}));
    device.clear_calls();
    EXPECT_TRUE(device.calls().empty());
}

TEST(RecordingDevice, KeepsTheMatrixByValue)
{
    RecordingDevice device;
    Mat4 m = identity_matrix();
    m.m[3][0] = 4.0f;
    device.SetTransform(D3DTS_WORLD, reinterpret_cast<const D3DMATRIX*>(&m));
    const Mat4 passed = m;
    m.m[3][0] = 99.0f;  // the caller's matrix changes after the call
    ASSERT_EQ(device.calls().size(), 1u);
    EXPECT_EQ(device.calls()[0], transform(D3DTS_WORLD, passed));
    EXPECT_EQ(device.SetTransform(D3DTS_VIEW, nullptr), D3DERR_INVALIDCALL);
}

TEST(RecordingDevice, CopiesClearRectangles)
{
    RecordingDevice device;
    const D3DRECT rects[2] = {{1, 2, 3, 4}, {5, 6, 7, 8}};
    device.Clear(2, rects, D3DCLEAR_TARGET, 0xFF102030, 0.5f, 7);
    const auto clears = calls_of<call::Clear>(device.calls());
    ASSERT_EQ(clears.size(), 1u);
    EXPECT_EQ(clears[0].rects, (std::vector<std::array<LONG, 4>>{{1, 2, 3, 4}, {5, 6, 7, 8}}));
    EXPECT_EQ(clears[0].color, 0xFF102030u);
    EXPECT_EQ(clears[0].z, 0.5f);
    EXPECT_EQ(clears[0].stencil, 7u);
}

TEST(RecordingDevice, TakesNoReferenceToABoundTexture)
{
    RecordingDevice device;
    RecordingTexture leaf("leaf.dds");
    device.SetTexture(0, &leaf);
    EXPECT_EQ(leaf.references().count(), 1u);
    EXPECT_EQ(leaf.references().add_ref_calls(), 0);
}

TEST(RecordingDevice, ReturnsTheConfiguredBeginSceneResultAndRecordsTheCall)
{
    RecordingDevice device;
    EXPECT_EQ(device.BeginScene(), D3D_OK);
    device.set_begin_scene_result(D3DERR_INVALIDCALL);
    EXPECT_EQ(device.BeginScene(), D3DERR_INVALIDCALL);
    EXPECT_EQ(count_of<call::BeginScene>(device.calls()), 2u);
}

// Records used by a plain draw, for each primitive type.
struct PlainDrawCase {
    D3DPRIMITIVETYPE type;
    UINT primitives;
    UINT records;
};

void PrintTo(const PlainDrawCase& c, std::ostream* out)
{
    *out << format_primitive_type(c.type) << " x" << c.primitives;
}

class PlainDrawRecords : public ::testing::TestWithParam<PlainDrawCase> {};

TEST_P(PlainDrawRecords, HashAndCopyCoverExactlyTheRecordsDrawn)
{
    const PlainDrawCase c = GetParam();
    constexpr UINT kStride = 12;
    auto data = records(c.records + 3, kStride);  // three records more than drawn
    RecordingDevice device;
    device.DrawPrimitiveUP(c.type, c.primitives, data.data(), kStride);
    // A record beyond the drawn ones changes; the hash must not.
    data[c.records * kStride] ^= std::byte{0xFF};
    device.DrawPrimitiveUP(c.type, c.primitives, data.data(), kStride);
    // The last drawn record changes; the hash must.
    if (c.records > 0) {
        data[c.records * kStride - 1] ^= std::byte{0xFF};
    }
    device.DrawPrimitiveUP(c.type, c.primitives, data.data(), kStride);

    const auto draws = calls_of<call::Draw>(device.calls());
    ASSERT_EQ(draws.size(), 3u);
    const call::Draw& d = draws[0];
    EXPECT_FALSE(d.indexed);
    EXPECT_EQ(d.type, c.type);
    EXPECT_EQ(d.primitive_count, c.primitives);
    EXPECT_EQ(d.record_count, c.records);
    EXPECT_EQ(d.stride, kStride);
    EXPECT_TRUE(d.data_read);
    EXPECT_EQ(d.records.size(), size_t{c.records} * kStride);
    EXPECT_EQ(d.records_hash, fnv1a64(d.records.data(), d.records.size()));
    EXPECT_EQ(draws[1].records_hash, d.records_hash);
    if (c.records > 0) {
        EXPECT_NE(draws[2].records_hash, d.records_hash);
    }
}

INSTANTIATE_TEST_SUITE_P(EachPrimitiveType, PlainDrawRecords,
                         ::testing::Values(PlainDrawCase{D3DPT_POINTLIST, 5, 5},
                                           PlainDrawCase{D3DPT_LINELIST, 2, 4},
                                           PlainDrawCase{D3DPT_LINESTRIP, 3, 4},
                                           PlainDrawCase{D3DPT_TRIANGLELIST, 2, 6},
                                           PlainDrawCase{D3DPT_TRIANGLESTRIP, 56, 58},
                                           PlainDrawCase{D3DPT_TRIANGLEFAN, 4, 6},
                                           PlainDrawCase{D3DPT_TRIANGLESTRIP, 0, 0},
                                           PlainDrawCase{D3DPT_POINTLIST, 0, 0}));

TEST(RecordingDevice, IndexedDrawReadsNumVerticesRecordsFromTheMinimumAndTheIndicesDrawn)
{
    constexpr UINT kStride = 8;
    const auto data = records(10, kStride);
    std::vector<uint16_t> indices(9);
    std::iota(indices.begin(), indices.end(), uint16_t{0});
    RecordingDevice device;
    device.DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 2, 5, 2, indices.data(), D3DFMT_INDEX16,
                                  data.data(), kStride);
    const auto draws = calls_of<call::Draw>(device.calls());
    ASSERT_EQ(draws.size(), 1u);
    const call::Draw& d = draws[0];
    EXPECT_TRUE(d.indexed);
    EXPECT_EQ(d.min_vertex_index, 2u);
    EXPECT_EQ(d.record_count, 5u);
    EXPECT_EQ(d.index_count, 6u);
    EXPECT_EQ(d.index_format, D3DFMT_INDEX16);
    EXPECT_EQ(d.records_hash, fnv1a64(data.data() + 2 * kStride, 5 * kStride));
    EXPECT_EQ(d.indices_hash, fnv1a64(indices.data(), 6 * sizeof(uint16_t)));
    EXPECT_EQ(d.indices16(), (std::vector<uint16_t>{0, 1, 2, 3, 4, 5}));
    EXPECT_EQ(d.records.size(), 5u * kStride);
}

TEST(RecordingDevice, WithoutKeepingDrawDataStillHashes)
{
    const auto data = records(4, 36);
    RecordingDevice device;
    device.set_keep_draw_data(false);
    device.DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, data.data(), 36);
    const auto draws = calls_of<call::Draw>(device.calls());
    ASSERT_EQ(draws.size(), 1u);
    EXPECT_TRUE(draws[0].records.empty());
    EXPECT_EQ(draws[0].records_hash, fnv1a64(data.data(), data.size()));
}

TEST(RecordingDevice, DoesNotReadDataForAbsurdCounts)
{
    const auto data = records(4, 36);
    RecordingDevice device;
    device.DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 0xFFFFFFFEu, data.data(), 36);
    device.DrawPrimitiveUP(D3DPT_POINTLIST, 3, nullptr, 36);
    const auto draws = calls_of<call::Draw>(device.calls());
    ASSERT_EQ(draws.size(), 2u);
    EXPECT_FALSE(draws[0].data_read);
    EXPECT_FALSE(draws[1].data_read);
}

TEST(ReferenceCount, CountsLikeComAndNotesOverReleases)
{
    RecordingTexture texture("grass.dds");
    EXPECT_EQ(texture.references().count(), 1u);
    EXPECT_EQ(texture.AddRef(), 2u);
    EXPECT_EQ(texture.Release(), 1u);
    EXPECT_EQ(texture.Release(), 0u);
    EXPECT_EQ(texture.references().over_releases(), 0);
    EXPECT_EQ(texture.Release(), 0u);
    EXPECT_EQ(texture.references().over_releases(), 1);
    EXPECT_EQ(texture.references().add_ref_calls(), 1);
    EXPECT_EQ(texture.references().release_calls(), 3);
}

TEST(RecordingFactory, CreatesADeviceItOwnsAndRecordsTheArguments)
{
    RecordingFactory factory;
    D3DPRESENT_PARAMETERS params{};
    params.Windowed = TRUE;
    params.AutoDepthStencilFormat = D3DFMT_D16;
    HWND window = reinterpret_cast<HWND>(0x1234);
    IDirect3DDevice9* device = nullptr;
    EXPECT_EQ(factory.CreateDevice(0, D3DDEVTYPE_HAL, window, D3DCREATE_SOFTWARE_VERTEXPROCESSING,
                                   &params, &device),
              D3D_OK);
    ASSERT_EQ(factory.device_count(), 1u);
    EXPECT_EQ(device, factory.device(0));
    EXPECT_EQ(factory.device(0)->references().count(), 1u);
    ASSERT_EQ(factory.create_device_calls().size(), 1u);
    const CreateDeviceCall& created = factory.create_device_calls()[0];
    EXPECT_EQ(created.device_type, D3DDEVTYPE_HAL);
    EXPECT_EQ(created.focus_window, window);
    EXPECT_EQ(created.behavior_flags, static_cast<DWORD>(D3DCREATE_SOFTWARE_VERTEXPROCESSING));
    EXPECT_TRUE(created.has_params);
    EXPECT_EQ(created.params.Windowed, TRUE);
    EXPECT_EQ(created.params.AutoDepthStencilFormat, D3DFMT_D16);
    EXPECT_EQ(created.device, factory.device(0));
    // Released to zero, the device stays readable.
    EXPECT_EQ(device->Release(), 0u);
    EXPECT_EQ(factory.device(0)->references().release_calls(), 1);
}

TEST(RecordingFactory, FailsWithTheConfiguredResultAndStoresNull)
{
    RecordingFactory factory;
    factory.set_create_device_result(E_FAIL);
    IDirect3DDevice9* device = reinterpret_cast<IDirect3DDevice9*>(0x1);
    EXPECT_EQ(factory.CreateDevice(0, D3DDEVTYPE_HAL, nullptr, 0, nullptr, &device), E_FAIL);
    EXPECT_EQ(device, nullptr);
    EXPECT_EQ(factory.device_count(), 0u);
    ASSERT_EQ(factory.create_device_calls().size(), 1u);
    EXPECT_EQ(factory.create_device_calls()[0].result, E_FAIL);
    EXPECT_FALSE(factory.create_device_calls()[0].has_params);
    EXPECT_EQ(factory.create_device_calls()[0].device, nullptr);
}
