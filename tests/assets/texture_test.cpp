// The four texture files as a loader sees them: parsed by the project's DDS
// reader, decoded, and compared with what the painters meant.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "asset_files.h"
#include "dds_writer.h"
#include "host/common/dds/dds.h"
#include "textures.h"

namespace {

using namespace assets;

struct Decoded {
    int size = 0;
    std::vector<uint8_t> rgba;  // R, G, B, A per texel, rows top first
    const uint8_t* at(int x, int y) const { return &rgba[static_cast<size_t>(4 * (y * size + x))]; }
};

struct TextureFile {
    std::vector<uint8_t> bytes;
    dds::ParseResult parsed;

    explicit TextureFile(const TextureAsset& asset)
        : bytes(asset_test::read_file(asset_test::built_asset(asset.file_name))),
          parsed(dds::parse(bytes))
    {
    }

    Decoded level(uint32_t index) const
    {
        const dds::Level& level = parsed.image.levels[index];
        Decoded d;
        d.size = static_cast<int>(level.width);
        d.rgba.resize(dds::rgba8_size(level.width, level.height));
        dds::decode_rgba8(parsed.image.format, level, d.rgba);
        return d;
    }

    uint32_t header_field(size_t offset) const
    {
        uint32_t value = 0;
        std::memcpy(&value, bytes.data() + offset, sizeof value);
        return value;
    }
};

const TextureAsset& asset_named(const char* name)
{
    for (const TextureAsset& asset : kTextureAssets) {
        if (std::strcmp(asset.file_name, name) == 0) {
            return asset;
        }
    }
    throw std::invalid_argument(name);
}

class EveryTexture : public ::testing::TestWithParam<TextureAsset> {};

TEST_P(EveryTexture, ParsesAsASquareWithAFullMipChain)
{
    const TextureAsset& asset = GetParam();
    const TextureFile file(asset);
    ASSERT_TRUE(file.parsed.ok) << file.parsed.error;
    const dds::Image& image = file.parsed.image;
    EXPECT_EQ(image.width, static_cast<uint32_t>(asset.size));
    EXPECT_EQ(image.height, image.width);
    EXPECT_TRUE(image.width == 256 || image.width == 512);
    EXPECT_EQ(image.level_count, dds::full_chain_length(image.width, image.height));
    EXPECT_EQ(image.format,
              asset.format == DdsFormat::Dxt1 ? dds::Format::dxt1 : dds::Format::dxt5);
    uint64_t expected_size = dds::kHeaderBytes;
    for (uint32_t level = 0; level < image.level_count; ++level) {
        expected_size +=
            dds::level_size(image.format, image.levels[level].width, image.levels[level].height);
    }
    EXPECT_EQ(file.bytes.size(), expected_size);
}

// D3DX reads the mip count only when the flags say it is there, and treats
// the file as a mipmapped texture by its caps.
TEST_P(EveryTexture, HeaderAnnouncesTheMipChain)
{
    const TextureFile file(GetParam());
    ASSERT_GE(file.bytes.size(), dds::kHeaderBytes);
    EXPECT_EQ(file.header_field(0), kDdsMagic);
    EXPECT_EQ(file.header_field(4), kDdsHeaderSize);
    const uint32_t flags = file.header_field(8);
    for (uint32_t required :
         {kDdsdCaps, kDdsdHeight, kDdsdWidth, kDdsdPixelFormat, kDdsdMipMapCount}) {
        EXPECT_EQ(flags & required, required) << std::hex << required;
    }
    EXPECT_EQ(file.header_field(28), file.parsed.image.level_count);
    EXPECT_EQ(file.header_field(76), kDdsPixelFormatSize);
    EXPECT_EQ(file.header_field(80) & kDdpfFourCC, kDdpfFourCC);
    const uint32_t caps = file.header_field(108);
    EXPECT_EQ(caps, kDdsCapsComplex | kDdsCapsTexture | kDdsCapsMipMap);
}

// Compression keeps the picture: mip 0 decodes close to what was painted, the
// right way up.
TEST_P(EveryTexture, TopLevelDecodesCloseToThePaintedImage)
{
    const TextureAsset& asset = GetParam();
    const Decoded decoded = TextureFile(asset).level(0);
    const Image painted = asset.paint(asset.size);
    double error = 0.0;
    for (int y = 0; y < painted.size; ++y) {
        for (int x = 0; x < painted.size; ++x) {
            const Rgba& p = painted.at(x, y);
            const uint8_t* d = decoded.at(x, y);
            error += std::abs(p.r - d[0]) + std::abs(p.g - d[1]) + std::abs(p.b - d[2]);
        }
    }
    EXPECT_LT(error / (3.0 * painted.size * painted.size), 4.0);
}

INSTANTIATE_TEST_SUITE_P(Assets, EveryTexture, ::testing::ValuesIn(kTextureAssets),
                         [](const ::testing::TestParamInfo<TextureAsset>& param_info) {
                             std::string name = param_info.param.file_name;
                             return name.substr(0, name.find('.'));
                         });

// ------------------------------------------------------------------ grass ----

float coverage(const Decoded& d)
{
    int passing = 0;
    for (size_t i = 3; i < d.rgba.size(); i += 4) {
        passing += d.rgba[i] >= kGrassAlphaRef ? 1 : 0;
    }
    return static_cast<float>(passing) / static_cast<float>(d.size * d.size);
}

TEST(Grass, AlphaIsSolidInsideTheBladesAndZeroAroundThem)
{
    const TextureAsset& asset = asset_named("grass.dds");
    const Decoded decoded = TextureFile(asset).level(0);
    const Image painted = asset.paint(asset.size);
    for (int y = 0; y < painted.size; ++y) {
        for (int x = 0; x < painted.size; ++x) {
            const uint8_t painted_alpha = painted.at(x, y).a;
            const uint8_t alpha = decoded.at(x, y)[3];
            if (painted_alpha == 255) {
                ASSERT_EQ(alpha, 255) << x << ", " << y;
            } else if (painted_alpha == 0) {
                ASSERT_EQ(alpha, 0) << x << ", " << y;
            }
        }
    }
    const float share = coverage(decoded);
    EXPECT_GT(share, 0.15f);
    EXPECT_LT(share, 0.6f);
}

// Blades stand on v = 1 and the tallest tip reaches v = 0.03125; above it and
// at the side edges (where wrapped sampling would join a neighbour) there is
// nothing.
TEST(Grass, BladesRiseFromTheBottomEdgeToTheTipRow)
{
    const Decoded d = TextureFile(asset_named("grass.dds")).level(0);
    const int tip_row = static_cast<int>(kGrassTipV * static_cast<float>(d.size));
    auto row_coverage = [&](int y) {
        int n = 0;
        for (int x = 0; x < d.size; ++x) {
            n += d.at(x, y)[3] >= kGrassAlphaRef ? 1 : 0;
        }
        return n;
    };
    for (int y = 0; y < tip_row; ++y) {
        EXPECT_EQ(row_coverage(y), 0) << "row " << y;
    }
    int first_covered_row = -1;
    for (int y = tip_row; y < d.size && first_covered_row < 0; ++y) {
        if (row_coverage(y) > 0) {
            first_covered_row = y;
        }
    }
    EXPECT_GE(first_covered_row, tip_row);
    EXPECT_LE(first_covered_row, tip_row + 2);
    EXPECT_GT(row_coverage(d.size - 1), d.size / 4);
    for (int y = 0; y < d.size; ++y) {
        EXPECT_EQ(d.at(0, y)[3], 0);
        EXPECT_EQ(d.at(d.size - 1, y)[3], 0);
    }
}

// Alpha testing a plainly averaged mip would thin the grass out with distance;
// each level keeps the share of texels that pass.
TEST(Grass, SmallerMipLevelsKeepTheAlphaTestedCoverage)
{
    const TextureFile file(asset_named("grass.dds"));
    const float top = coverage(file.level(0));
    for (uint32_t level = 1; level < file.parsed.image.level_count; ++level) {
        const Decoded d = file.level(level);
        if (d.size < 8) {
            break;
        }
        EXPECT_NEAR(coverage(d), top, 0.2f * top) << "level " << level << " (" << d.size << ")";
    }
}

// Filtering at a blade's edge mixes in the colour of the transparent texels
// next to it, so they carry the grass colour rather than black.
TEST(Grass, TransparentTexelsCarryTheBladeColour)
{
    const Image painted = paint_grass(asset_named("grass.dds").size);
    int checked = 0;
    for (const Rgba& t : painted.texels) {
        if (t.a == 0) {
            EXPECT_GT(t.g, 20);
            EXPECT_GT(t.g, t.r);
            EXPECT_GT(t.g, t.b);
            ++checked;
        }
    }
    EXPECT_GT(checked, 0);
}

// ------------------------------------------------------------------ leaves ----

// The leaves are added to the picture: black adds nothing, so the border
// must be exactly black for the quad's edges to stay invisible.
TEST(Leaf, GlowsGreenInTheMiddleOnAnExactlyBlackBorder)
{
    const Decoded d = TextureFile(asset_named("leaf.dds")).level(0);
    const int border = d.size / 32;
    for (int y = 0; y < d.size; ++y) {
        for (int x = 0; x < d.size; ++x) {
            const bool edge =
                x < border || y < border || x >= d.size - border || y >= d.size - border;
            if (edge) {
                const uint8_t* t = d.at(x, y);
                ASSERT_EQ(t[0] | t[1] | t[2], 0) << x << ", " << y;
            }
        }
    }
    double r = 0, g = 0, b = 0;
    const int lo = d.size * 3 / 8;
    const int hi = d.size * 5 / 8;
    for (int y = lo; y < hi; ++y) {
        for (int x = lo; x < hi; ++x) {
            r += d.at(x, y)[0];
            g += d.at(x, y)[1];
            b += d.at(x, y)[2];
        }
    }
    const double n = static_cast<double>((hi - lo) * (hi - lo));
    EXPECT_GT(g / n, 80.0);
    EXPECT_GT(g, r);
    EXPECT_GT(g, b);
}

// ------------------------------------------------------------ bark, ground ----

struct Differences {
    double seam;      // across the wrap, last column to first (or row)
    double interior;  // between neighbours inside the image
};

double texel_distance(const Rgba& a, const Rgba& b)
{
    return std::abs(a.r - b.r) + std::abs(a.g - b.g) + std::abs(a.b - b.b);
}

Differences horizontal_differences(const Image& image)
{
    Differences d{0.0, 0.0};
    const int n = image.size;
    for (int y = 0; y < n; ++y) {
        d.seam += texel_distance(image.at(n - 1, y), image.at(0, y));
        for (int x = 0; x + 1 < n; ++x) {
            d.interior += texel_distance(image.at(x, y), image.at(x + 1, y));
        }
    }
    d.seam /= n;
    d.interior /= static_cast<double>(n) * (n - 1);
    return d;
}

Image transposed(const Image& image)
{
    Image t(image.size);
    for (int y = 0; y < image.size; ++y) {
        for (int x = 0; x < image.size; ++x) {
            t.at(y, x) = image.at(x, y);
        }
    }
    return t;
}

// Trunk segments wrap u around and stack along v; the ground is laid in
// tiles. Both must join without a visible seam.
TEST(Tiling, BarkAndGroundJoinSeamlesslyInBothDirections)
{
    for (Image (*paint)(int) : {paint_bark, paint_ground}) {
        const Image image = paint(256);
        for (const Image& oriented : {image, transposed(image)}) {
            const Differences d = horizontal_differences(oriented);
            EXPECT_LT(d.seam, 1.5 * d.interior + 1.0);
        }
    }
}

// The fissures run along the trunk (v), so the bark changes much faster
// around the trunk than along it.
TEST(Bark, FissuresRunAlongTheTrunk)
{
    const Image bark = paint_bark(256);
    const double around = horizontal_differences(bark).interior;
    const double along = horizontal_differences(transposed(bark)).interior;
    EXPECT_GT(around, 1.5 * along);
}

TEST(Ground, IsDark)
{
    const Image ground = paint_ground(256);
    double luma = 0.0;
    for (const Rgba& t : ground.texels) {
        luma += 0.2126 * t.r + 0.7152 * t.g + 0.0722 * t.b;
    }
    EXPECT_LT(luma / static_cast<double>(ground.texels.size()), 60.0);
}

// -------------------------------------------------------------- the writer ----

TEST(DdsWriter, RefusesAChainThatDoesNotHalveDownToOne)
{
    const Image top(8);
    EXPECT_THROW(encode_dds({}, DdsFormat::Dxt1), std::invalid_argument);
    EXPECT_THROW(encode_dds({top, Image(2), Image(1)}, DdsFormat::Dxt1), std::invalid_argument);
    EXPECT_THROW(encode_dds({top, Image(4), Image(2)}, DdsFormat::Dxt1), std::invalid_argument);
    EXPECT_THROW(mip_chain(Image(6), {}), std::invalid_argument);
}

TEST(DdsWriter, LevelsSmallerThanABlockStillTakeOneBlock)
{
    const std::vector<Image> chain = mip_chain(Image(4), {});
    ASSERT_EQ(chain.size(), 3u);
    const std::vector<uint8_t> dxt5 = encode_dds(chain, DdsFormat::Dxt5);
    EXPECT_EQ(dxt5.size(), dds::kHeaderBytes + 3 * 16);
    const dds::ParseResult parsed = dds::parse(dxt5);
    ASSERT_TRUE(parsed.ok) << parsed.error;
    EXPECT_EQ(parsed.image.level_count, 3u);
}

}  // namespace
