// Vertex conversion and drawing: every vtype component, the draw table, the
// index rule, and what the static buffers hold afterwards.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/mman.h>
#include <unistd.h>

#include <bit>
#include <cstring>
#include <numeric>

#include "tests/support/layer_fixture.h"

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

// Packed input built float by float (and colour word by colour word).
class Packed {
public:
    Packed& f(float value) { return word(std::bit_cast<uint32_t>(value)); }
    Packed& word(uint32_t value)
    {
        words_.push_back(value);
        return *this;
    }
    const void* data() const { return words_.data(); }

private:
    std::vector<uint32_t> words_;
};

// The converted record as text, field by field, for exact and readable comparisons.
std::string fields(const DeviceVertex& v)
{
    return "xyz " + format_float(v.x) + " " + format_float(v.y) + " " + format_float(v.z) +
           ", normal " + format_float(v.nx) + " " + format_float(v.ny) + " " + format_float(v.nz) +
           ", diffuse " + format_color(v.diffuse) + ", uv " + format_float(v.u) + " " +
           format_float(v.v);
}

DeviceVertex device_vertex(float x, float y, float z, float nx, float ny, float nz,
                           uint32_t diffuse, float u, float v)
{
    return {x, y, z, nx, ny, nz, diffuse, u, v};
}

void expect_record(int i, const DeviceVertex& expected)
{
    EXPECT_EQ(fields(gu_vertex_buffer[i]), fields(expected)) << "record " << i;
}

// Fills the layer's buffers with a pattern no conversion produces.
void poison_buffers()
{
    std::memset(gu_vertex_buffer, 0xAB, sizeof(DeviceVertex) * 64);
    std::memset(gu_index_buffer, 0xCD, sizeof(uint16_t) * 64);
}

constexpr uint16_t kPoisonIndex = 0xCDCD;

}  // namespace

class DrawArray : public LayerTest {
protected:
    void SetUp() override
    {
        LayerTest::SetUp();
        poison_buffers();
    }

    std::vector<call::Draw> draws() const { return calls_of<call::Draw>(calls()); }
};

// ---- conversion of each vertex format ----

TEST_F(DrawArray, VtypeZeroReadsNoInputAndWritesEveryDefault)
{
    gu_draw_array(GU_POINTS, 0, 3, nullptr, nullptr);  // no input at all: must not be read
    for (int i = 0; i < 3; ++i) {
        expect_record(i, device_vertex(0, 0, 0, 0, 0, 0, 0xFFFFFFFF, 0, 0));
    }
}

TEST_F(DrawArray, TexturePositionRecordsBecomeWhiteWithAZeroNormal)
{
    Packed in;
    in.f(0.25f).f(0.75f).f(1).f(2).f(3);
    in.f(0.5f).f(1).f(-4).f(-5).f(-6);
    gu_draw_array(GU_TRIANGLE_STRIP, 0x183, 2, nullptr, in.data());
    expect_record(0, device_vertex(1, 2, 3, 0, 0, 0, 0xFFFFFFFF, 0.25f, 0.75f));
    expect_record(1, device_vertex(-4, -5, -6, 0, 0, 0, 0xFFFFFFFF, 0.5f, 1));
}

TEST_F(DrawArray, ColourPositionRecordsKeepTheColourWordAndZeroTheTextureCoordinates)
{
    Packed in;
    in.word(0x80FF4020).f(1).f(2).f(3);
    in.word(0xFF000001).f(7).f(8).f(9);
    gu_draw_array(GU_POINTS, 0x19C, 2, nullptr, in.data());
    expect_record(0, device_vertex(1, 2, 3, 0, 0, 0, 0x80FF4020, 0, 0));
    expect_record(1, device_vertex(7, 8, 9, 0, 0, 0, 0xFF000001, 0, 0));
}

TEST_F(DrawArray, AnyNonzeroTextureFieldReadsTwoFloats)
{
    Packed in;
    in.f(0.125f).f(0.5f).f(4).f(5).f(6);
    gu_draw_array(GU_POINTS, 0x181, 1, nullptr, in.data());
    expect_record(0, device_vertex(4, 5, 6, 0, 0, 0, 0xFFFFFFFF, 0.125f, 0.5f));
}

TEST_F(DrawArray, AllComponentsAreReadInTextureColourNormalPositionOrder)
{
    Packed in;
    in.f(0.1f).f(0.2f).word(0x11223344).f(0.3f).f(0.4f).f(0.5f).f(6).f(7).f(8);
    in.f(1.1f).f(1.2f).word(0x55667788).f(1.3f).f(1.4f).f(1.5f).f(16).f(17).f(18);
    gu_draw_array(GU_POINTS, 0x1FF, 2, nullptr, in.data());
    expect_record(0, device_vertex(6, 7, 8, 0.3f, 0.4f, 0.5f, 0x11223344, 0.1f, 0.2f));
    expect_record(1, device_vertex(16, 17, 18, 1.3f, 1.4f, 1.5f, 0x55667788, 1.1f, 1.2f));
}

TEST_F(DrawArray, EveryCombinationOfFieldsPacksAndDefaultsItsComponents)
{
    // Each field at one of its nonzero values, in all sixteen combinations;
    // nine records apiece, so a wrong record size shows from the second on,
    // and the layouts converted four at a time have two whole blocks and a
    // record left over.
    constexpr uint32_t kTexture = 0x2;
    constexpr uint32_t kColor = 0x10;
    constexpr uint32_t kNormal = 0x40;
    constexpr uint32_t kPosition = 0x100;
    for (uint32_t combination = 0; combination < 16; ++combination) {
        const bool texture = (combination & 1) != 0;
        const bool color = (combination & 2) != 0;
        const bool normal = (combination & 4) != 0;
        const bool position = (combination & 8) != 0;
        const uint32_t vtype = (texture ? kTexture : 0) | (color ? kColor : 0) |
                               (normal ? kNormal : 0) | (position ? kPosition : 0);
        Packed in;
        std::vector<DeviceVertex> expected;
        for (int i = 0; i < 9; ++i) {
            const auto base = static_cast<float>(10 * i + 1);
            DeviceVertex v = device_vertex(0, 0, 0, 0, 0, 0, 0xFFFFFFFF, 0, 0);
            if (texture) {
                in.f(base + 0.25f).f(base + 0.5f);
                v.u = base + 0.25f;
                v.v = base + 0.5f;
            }
            if (color) {
                v.diffuse = 0x01020304u * static_cast<uint32_t>(i + 1);
                in.word(v.diffuse);
            }
            if (normal) {
                in.f(-base).f(-base - 1).f(-base - 2);
                v.nx = -base;
                v.ny = -base - 1;
                v.nz = -base - 2;
            }
            if (position) {
                in.f(base + 3).f(base + 4).f(base + 5);
                v.x = base + 3;
                v.y = base + 4;
                v.z = base + 5;
            }
            expected.push_back(v);
        }
        SCOPED_TRACE("vtype " + format_color(vtype));
        poison_buffers();
        gu_draw_array(GU_POINTS, vtype, 9, nullptr, in.data());
        for (int i = 0; i < 9; ++i) {
            expect_record(i, expected[static_cast<size_t>(i)]);
        }
        EXPECT_EQ(gu_vertex_buffer[9].diffuse, 0xABABABABu) << "record 9 was written";
    }
}

TEST_F(DrawArray, NoLayoutReadsABytePastTheLastRecord)
{
    // The records end exactly where an unreadable page begins: a read past
    // the last record, by any layout and any count (whole blocks of four or
    // not), stops the test with a fault.
    const long page = sysconf(_SC_PAGESIZE);
    auto* pages = static_cast<unsigned char*>(mmap(nullptr, 2 * static_cast<size_t>(page),
                                                   PROT_READ | PROT_WRITE,
                                                   MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    ASSERT_NE(pages, MAP_FAILED);
    ASSERT_EQ(mprotect(pages + page, static_cast<size_t>(page), PROT_NONE), 0);
    for (size_t i = 0; i < static_cast<size_t>(page); ++i) {
        pages[i] = static_cast<unsigned char>(i);
    }
    for (uint32_t vtype = 0; vtype < 0x200; vtype += 0x1) {
        const bool texture = (vtype & 0x3) != 0, color = (vtype & 0x1C) != 0;
        const bool normal = (vtype & 0x60) != 0, position = (vtype & 0x180) != 0;
        if ((vtype & ~0x1FFu) != 0 || vtype != ((texture ? 0x3u : 0) | (color ? 0x1Cu : 0) |
                                                (normal ? 0x60u : 0) | (position ? 0x180u : 0))) {
            continue;  // one vtype for each of the 16 layouts
        }
        const size_t stride =
            (texture ? 8 : 0) + (color ? 4 : 0) + (normal ? 12 : 0) + (position ? 12 : 0);
        for (int32_t count = 1; count <= 9; ++count) {
            const unsigned char* in = pages + page - static_cast<size_t>(count) * stride;
            gu_draw_array(GU_POINTS, vtype, count, nullptr, in);
            if (stride == 0) {
                continue;  // nothing to read, nothing to compare
            }
            // The last record's first word landed where its layout puts it.
            uint32_t first_word;
            std::memcpy(&first_word, in + static_cast<size_t>(count - 1) * stride, 4);
            const DeviceVertex& last = gu_vertex_buffer[count - 1];
            const uint32_t got = texture  ? std::bit_cast<uint32_t>(last.u)
                                 : color  ? last.diffuse
                                 : normal ? std::bit_cast<uint32_t>(last.nx)
                                          : std::bit_cast<uint32_t>(last.x);
            EXPECT_EQ(got, first_word) << "vtype " << format_color(vtype) << ", count " << count;
        }
    }
    munmap(pages, 2 * static_cast<size_t>(page));
}

TEST_F(DrawArray, NormalOnlyRecordsAreTwelveBytesWithTheRestDefaulted)
{
    Packed in;
    in.f(1).f(0).f(0).f(0).f(1).f(0);
    gu_draw_array(GU_POINTS, 0x20, 2, nullptr, in.data());
    expect_record(0, device_vertex(0, 0, 0, 1, 0, 0, 0xFFFFFFFF, 0, 0));
    expect_record(1, device_vertex(0, 0, 0, 0, 1, 0, 0xFFFFFFFF, 0, 0));
}

TEST_F(DrawArray, BitsNineToElevenAreIgnored)
{
    Packed in;
    in.word(0xFF102030).f(1).f(2).f(3);
    gu_draw_array(GU_POINTS, 0x19C | 0xE00, 1, nullptr, in.data());
    expect_record(0, device_vertex(1, 2, 3, 0, 0, 0, 0xFF102030, 0, 0));
    EXPECT_FALSE(draws().at(0).indexed);
}

TEST_F(DrawArray, ConvertsExactlyCountRecordsAndLeavesTheRestAlone)
{
    Packed in;
    in.f(0).f(0).f(1).f(1).f(1).f(0).f(0).f(2).f(2).f(2);
    gu_draw_array(GU_TRIANGLE_STRIP, 0x183, 2, nullptr, in.data());
    DeviceVertex untouched;
    std::memset(&untouched, 0xAB, sizeof untouched);
    expect_record(2, untouched);
}

// ---- SetFVF and the draw table ----

TEST_F(DrawArray, SetsTheDeviceFormatFirstOnEveryCall)
{
    for (int32_t prim : {0, 1, 2, 3, 4, 5, -1}) {
        device.clear_calls();
        gu_draw_array(prim, 0, 0, nullptr, nullptr);
        ASSERT_FALSE(calls().empty()) << "prim " << prim;
        EXPECT_EQ(calls()[0], set_fvf(0x152)) << "prim " << prim;
    }
}

struct PlainDraw {
    int32_t prim;
    int32_t count;
    D3DPRIMITIVETYPE type;
    UINT primitives;
};

void PrintTo(const PlainDraw& d, std::ostream* out)
{
    *out << "prim " << d.prim << " count " << d.count;
}

class DrawTable : public DrawArray, public ::testing::WithParamInterface<PlainDraw> {};

TEST_P(DrawTable, DrawsWholePrimitivesFromTheConvertedRecords)
{
    const PlainDraw p = GetParam();
    std::vector<float> in(5 * static_cast<size_t>(p.count) + 1);
    std::iota(in.begin(), in.end(), 1.0f);
    gu_draw_array(p.prim, 0x183, p.count, nullptr, in.data());
    ASSERT_EQ(calls().size(), 2u);
    const auto d = draws();
    ASSERT_EQ(d.size(), 1u);
    EXPECT_FALSE(d[0].indexed);
    EXPECT_EQ(d[0].type, p.type);
    EXPECT_EQ(d[0].primitive_count, p.primitives);
    EXPECT_EQ(d[0].stride, sizeof(DeviceVertex));
    // The draw reads the layer's converted records.
    const auto drawn = d[0].records_as<DeviceVertex>();
    for (size_t i = 0; i < drawn.size(); ++i) {
        EXPECT_EQ(fields(drawn[i]), fields(gu_vertex_buffer[i])) << "record " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, DrawTable,
                         ::testing::Values(PlainDraw{0, 5, D3DPT_POINTLIST, 5},
                                           PlainDraw{1, 5, D3DPT_LINELIST, 2},
                                           PlainDraw{1, 4, D3DPT_LINELIST, 2},
                                           PlainDraw{3, 7, D3DPT_TRIANGLELIST, 2},
                                           PlainDraw{3, 9, D3DPT_TRIANGLELIST, 3},
                                           PlainDraw{4, 58, D3DPT_TRIANGLESTRIP, 56},
                                           PlainDraw{4, 4, D3DPT_TRIANGLESTRIP, 2},
                                           PlainDraw{4, 2, D3DPT_TRIANGLESTRIP, 0}));

TEST_F(DrawArray, CountZeroStillDrawsWithAPrimitiveCountOfZero)
{
    const uint16_t indices[1] = {0};
    gu_draw_array(GU_POINTS, 0x183, 0, nullptr, nullptr);
    gu_draw_array(GU_LINES, 0x183, 0, nullptr, nullptr);
    gu_draw_array(GU_TRIANGLES, 0x183, 0, nullptr, nullptr);
    gu_draw_array(GU_TRIANGLES, 0x1183, 0, indices, nullptr);
    const auto d = draws();
    ASSERT_EQ(d.size(), 4u);
    for (const call::Draw& draw : d) {
        EXPECT_EQ(draw.primitive_count, 0u);
    }
    EXPECT_EQ(d[0].type, D3DPT_POINTLIST);
    EXPECT_EQ(d[1].type, D3DPT_LINELIST);
    EXPECT_EQ(d[2].type, D3DPT_TRIANGLELIST);
    EXPECT_TRUE(d[3].indexed);
    EXPECT_EQ(count_of<call::Fvf>(calls()), 4u);
    EXPECT_EQ(gu_index_buffer[0], kPoisonIndex);  // nothing to copy
}

class NoDrawCode : public DrawArray, public ::testing::WithParamInterface<int32_t> {};

TEST_P(NoDrawCode, ConvertsAndCopiesIndicesButDrawsNothing)
{
    Packed in;
    for (int i = 0; i < 3; ++i) {
        in.f(0).f(0).f(static_cast<float>(i)).f(0).f(0);
    }
    const uint16_t indices[3] = {2, 1, 0};
    gu_draw_array(GetParam(), 0x1183, 3, indices, in.data());
    EXPECT_THAT(calls(), ElementsAre(set_fvf(0x152)));
    expect_record(2, device_vertex(2, 0, 0, 0, 0, 0, 0xFFFFFFFF, 0, 0));
    EXPECT_THAT(std::vector<uint16_t>(gu_index_buffer, gu_index_buffer + 4),
                ElementsAre(2, 1, 0, kPoisonIndex));
}

// 1 and 4 draw nothing only when indexed; 2, 5 and negative codes never draw.
INSTANTIATE_TEST_SUITE_P(Codes, NoDrawCode, ::testing::Values(1, 2, 4, 5, -1, INT32_MIN));

TEST_F(DrawArray, NoDrawCodesWithoutIndicesDrawNothingEither)
{
    for (int32_t prim : {2, 5, -1}) {
        gu_draw_array(prim, 0x183, 0, nullptr, nullptr);
    }
    EXPECT_THAT(draws(), IsEmpty());
}

// ---- the index rule ----

TEST_F(DrawArray, IndexedTrianglesUseTheCopiedIndicesAndCountRecords)
{
    std::vector<float> in(5 * 7, 0.0f);
    const uint16_t indices[7] = {6, 5, 4, 3, 2, 1, 0};
    gu_draw_array(GU_TRIANGLES, 0x1183, 7, indices, in.data());
    const auto d = draws();
    ASSERT_EQ(d.size(), 1u);
    EXPECT_TRUE(d[0].indexed);
    EXPECT_EQ(d[0].type, D3DPT_TRIANGLELIST);
    EXPECT_EQ(d[0].min_vertex_index, 0u);
    EXPECT_EQ(d[0].record_count, 7u);
    EXPECT_EQ(d[0].primitive_count, 2u);
    EXPECT_EQ(d[0].index_format, D3DFMT_INDEX16);
    EXPECT_EQ(d[0].stride, sizeof(DeviceVertex));
    EXPECT_THAT(d[0].indices16(), ElementsAre(6, 5, 4, 3, 2, 1));
    // All count entries are copied, the seventh too, though it is not drawn.
    EXPECT_THAT(std::vector<uint16_t>(gu_index_buffer, gu_index_buffer + 8),
                ElementsAre(6, 5, 4, 3, 2, 1, 0, kPoisonIndex));
}

TEST_F(DrawArray, IndexBitWithoutIndicesDrawsAPlainList)
{
    std::vector<float> in(5 * 6, 0.0f);
    gu_draw_array(GU_TRIANGLES, 0x1183, 6, nullptr, in.data());
    const auto d = draws();
    ASSERT_EQ(d.size(), 1u);
    EXPECT_FALSE(d[0].indexed);
    EXPECT_EQ(d[0].primitive_count, 2u);
}

TEST_F(DrawArray, IndicesWithoutTheIndexBitAreIgnoredAndNotCopied)
{
    std::vector<float> in(5 * 6, 0.0f);
    const uint16_t indices[6] = {0, 1, 2, 3, 4, 5};
    gu_draw_array(GU_TRIANGLES, 0x183, 6, indices, in.data());
    gu_draw_array(GU_TRIANGLES, 0x983, 6, indices, in.data());  // bit 11 is not the index bit
    const auto d = draws();
    ASSERT_EQ(d.size(), 2u);
    EXPECT_FALSE(d[0].indexed);
    EXPECT_FALSE(d[1].indexed);
    EXPECT_EQ(d[0].primitive_count, 2u);
    EXPECT_EQ(gu_index_buffer[0], kPoisonIndex);
}

TEST_F(DrawArray, IndexedPointsIgnoreTheIndexListButCopyIt)
{
    Packed in;
    for (int i = 0; i < 4; ++i) {
        in.word(0xFF000000u + static_cast<uint32_t>(i)).f(0).f(0).f(0);
    }
    const uint16_t indices[4] = {3, 3, 3, 3};
    gu_draw_array(GU_POINTS, 0x119C, 4, indices, in.data());
    const auto d = draws();
    ASSERT_EQ(d.size(), 1u);
    EXPECT_FALSE(d[0].indexed);
    EXPECT_EQ(d[0].type, D3DPT_POINTLIST);
    EXPECT_EQ(d[0].primitive_count, 4u);
    const auto drawn = d[0].records_as<DeviceVertex>();
    ASSERT_EQ(drawn.size(), 4u);
    EXPECT_EQ(drawn[1].diffuse, 0xFF000001u);  // in record order, not index order
    EXPECT_EQ(gu_index_buffer[3], 3);
}

TEST_F(DrawArray, GrassSizedDrawConvertsAndCopies16384AndDraws5461Triangles)
{
    std::vector<float> in(5 * 16384);
    for (size_t i = 0; i < in.size(); ++i) {
        in[i] = static_cast<float>(i);
    }
    std::vector<uint16_t> indices(16384);
    std::iota(indices.begin(), indices.end(), uint16_t{0});
    gu_draw_array(GU_TRIANGLES, 0x1183, 16384, indices.data(), in.data());
    const auto d = draws();
    ASSERT_EQ(d.size(), 1u);
    EXPECT_EQ(d[0].record_count, 16384u);
    EXPECT_EQ(d[0].primitive_count, 5461u);
    EXPECT_EQ(d[0].index_count, 16383u);
    EXPECT_EQ(gu_index_buffer[16383], 16383);
    // The last record: u, v, x, y, z from the last five input floats.
    const float last = static_cast<float>(5 * 16383);
    expect_record(16383,
                  device_vertex(last + 2, last + 3, last + 4, 0, 0, 0, 0xFFFFFFFF, last, last + 1));
}
