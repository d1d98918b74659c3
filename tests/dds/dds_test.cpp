#include "host/common/dds/dds.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "tests/dds/dds_files.h"

namespace {

using namespace dds_files;

dds::ParseResult parse(const std::vector<uint8_t>& bytes)
{
    return dds::parse(std::span<const uint8_t>(bytes.data(), bytes.size()));
}

std::vector<uint8_t> decode_level0(const std::vector<uint8_t>& bytes)
{
    const dds::ParseResult result = parse(bytes);
    EXPECT_TRUE(result.ok) << result.error;
    if (!result.ok) {
        return {};
    }
    const dds::Level& level = result.image.levels[0];
    std::vector<uint8_t> rgba(dds::rgba8_size(level.width, level.height), 0xcd);
    dds::decode_rgba8(result.image.format, level, rgba);
    return rgba;
}

using Pixel = std::array<uint8_t, 4>;

Pixel pixel(const std::vector<uint8_t>& rgba, size_t index)
{
    return {rgba[index * 4], rgba[index * 4 + 1], rgba[index * 4 + 2], rgba[index * 4 + 3]};
}

// A 4 x 4 A8R8G8B8 image with three levels: 64 + 16 + 4 bytes.
std::vector<uint8_t> valid_mipped_file()
{
    return file(4, 4, 3, kA8R8G8B8, std::vector<uint8_t>(84, 0x40));
}

// ---------------------------------------------------------------------------
// Refused files: each kind of damage gives an error with its reason.

struct Refusal {
    const char* name;
    std::vector<uint8_t> bytes;
    const char* reason_contains;
};

std::vector<Refusal> refusals()
{
    std::vector<Refusal> cases;
    cases.push_back({"empty", {}, "empty"});
    cases.push_back({"shorter than the header", std::vector<uint8_t>(100, 0), "too short"});

    auto bad_magic = valid_mipped_file();
    bad_magic[0] = 'X';
    cases.push_back({"bad magic", bad_magic, "not a DDS file"});

    auto bad_header_size = valid_mipped_file();
    put_u32(bad_header_size, kHeaderSizeOffset, 128);
    cases.push_back({"header size", bad_header_size, "header size"});

    auto bad_format_size = valid_mipped_file();
    put_u32(bad_format_size, kPixelFormatSizeOffset, 0);
    cases.push_back({"pixel format size", bad_format_size, "pixel format size"});

    auto zero_width = valid_mipped_file();
    put_u32(zero_width, kWidthOffset, 0);
    cases.push_back({"zero width", zero_width, "at least 1"});

    auto zero_height = valid_mipped_file();
    put_u32(zero_height, kHeightOffset, 0);
    cases.push_back({"zero height", zero_height, "at least 1"});

    auto huge = valid_mipped_file();
    put_u32(huge, kWidthOffset, 0x80000000u);
    cases.push_back({"huge width", huge, "larger than"});

    auto cube = valid_mipped_file();
    put_u32(cube, kCaps2Offset, 0x200 | 0xfc00);
    cases.push_back({"cube map", cube, "cube"});

    auto volume = valid_mipped_file();
    put_u32(volume, kFlagsOffset, 0x1007 | 0x20000 | 0x800000);
    put_u32(volume, kDepthOffset, 4);
    cases.push_back({"volume", volume, "volume"});

    cases.push_back({"DX10 header",
                     file(4, 4, 0, {kFourCc, code('D', 'X', '1', '0'), 0, 0, 0, 0, 0},
                          std::vector<uint8_t>(200, 0)),
                     "DX10"});
    cases.push_back({"unknown FourCC",
                     file(4, 4, 0, {kFourCc, code('A', 'T', 'I', '2'), 0, 0, 0, 0, 0},
                          std::vector<uint8_t>(16, 0)),
                     "'ATI2'"});
    cases.push_back({"odd masks",
                     file(1, 1, 0, {kRgb, 0, 32, 0xff, 0xff, 0xff, 0}, std::vector<uint8_t>(4, 0)),
                     "unsupported 32-bit"});
    cases.push_back(
        {"YUV", file(1, 1, 0, {kYuv, 0, 16, 0, 0, 0, 0}, std::vector<uint8_t>(2, 0)), "YUV"});
    cases.push_back({"no layout", file(1, 1, 0, {0, 0, 32, 0, 0, 0, 0}, std::vector<uint8_t>(4, 0)),
                     "names no"});
    cases.push_back(
        {"too many levels", file(4, 4, 4, kA8R8G8B8, std::vector<uint8_t>(200, 0)), "at most 3"});
    cases.push_back({"level 0 one byte short",
                     file(4, 4, 0, kA8R8G8B8, std::vector<uint8_t>(63, 0)), "truncated"});
    cases.push_back({"last level one byte short",
                     file(4, 4, 3, kA8R8G8B8, std::vector<uint8_t>(83, 0)), "truncated"});
    cases.push_back(
        {"DXT block short", file(8, 4, 0, kDxt5, std::vector<uint8_t>(31, 0)), "truncated"});
    return cases;
}

TEST(DdsParse, RefusesEachKindOfDamageWithItsReason)
{
    for (const Refusal& refusal : refusals()) {
        const dds::ParseResult result = parse(refusal.bytes);
        EXPECT_FALSE(result.ok) << refusal.name;
        EXPECT_NE(result.error.find(refusal.reason_contains), std::string::npos)
            << refusal.name << ": " << result.error;
    }
}

TEST(DdsParse, RefusesEveryTruncationOfAValidFile)
{
    const std::vector<uint8_t> whole = valid_mipped_file();
    ASSERT_TRUE(parse(whole).ok);
    for (size_t size = 0; size < whole.size(); ++size) {
        const std::vector<uint8_t> part(whole.begin(), whole.begin() + static_cast<long>(size));
        EXPECT_FALSE(parse(part).ok) << "size " << size;
    }
}

// Random damage to the header must never give levels outside the file.
TEST(DdsParse, CorruptHeadersNeverReachOutsideTheFile)
{
    std::mt19937 random(1234);
    const std::vector<uint8_t> original = file(16, 8, 5, kDxt1, std::vector<uint8_t>(104, 0));
    ASSERT_TRUE(parse(original).ok);
    int accepted = 0;
    for (int trial = 0; trial < 20000; ++trial) {
        std::vector<uint8_t> bytes = original;
        const int changes = 1 + static_cast<int>(random() % 4);
        for (int c = 0; c < changes; ++c) {
            bytes[4 + random() % 124] = static_cast<uint8_t>(random());
        }
        const dds::ParseResult result = parse(bytes);
        if (!result.ok) {
            EXPECT_FALSE(result.error.empty());
            continue;
        }
        ++accepted;
        const uint8_t* begin = bytes.data();
        const uint8_t* end = bytes.data() + bytes.size();
        for (uint32_t i = 0; i < result.image.level_count; ++i) {
            const dds::Level& level = result.image.levels[i];
            ASSERT_GE(level.bytes.data(), begin + 128);
            ASSERT_LE(level.bytes.data() + level.bytes.size(), end);
            ASSERT_EQ(level.bytes.size(),
                      dds::level_size(result.image.format, level.width, level.height));
        }
    }
    EXPECT_GT(accepted, 0);  // some damage (reserved fields) is harmless
}

// ---------------------------------------------------------------------------
// Accepted files

TEST(DdsParse, ReadsTheMipChainInFileOrder)
{
    // 8 x 2 A8R8G8B8: levels of 8 x 2, 4 x 1, 2 x 1, 1 x 1, each filled with its number.
    std::vector<uint8_t> data;
    const uint32_t widths[] = {8, 4, 2, 1};
    const uint32_t heights[] = {2, 1, 1, 1};
    for (uint8_t level = 0; level < 4; ++level) {
        data.insert(data.end(), size_t{widths[level]} * heights[level] * 4, level);
    }
    data.push_back(0xee);  // trailing bytes are ignored
    const std::vector<uint8_t> bytes = file(8, 2, 4, kA8R8G8B8, data);
    const dds::ParseResult result = parse(bytes);
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(result.image.format, dds::Format::a8r8g8b8);
    EXPECT_EQ(result.image.width, 8u);
    EXPECT_EQ(result.image.height, 2u);
    ASSERT_EQ(result.image.level_count, 4u);
    size_t offset = 128;
    for (uint8_t level = 0; level < 4; ++level) {
        const dds::Level& l = result.image.levels[level];
        EXPECT_EQ(l.width, widths[level]);
        EXPECT_EQ(l.height, heights[level]);
        EXPECT_EQ(l.bytes.data(), bytes.data() + offset);
        EXPECT_EQ(l.bytes.size(), size_t{widths[level]} * heights[level] * 4);
        EXPECT_EQ(l.bytes.front(), level);
        EXPECT_EQ(l.bytes.back(), level);
        offset += l.bytes.size();
    }
}

TEST(DdsParse, DxtLevelsAreWholeBlocks)
{
    // 6 x 6 DXT1: 2 x 2 blocks, then 1 block each for 3 x 3 and 1 x 1.
    const dds::ParseResult result = parse(file(6, 6, 3, kDxt1, std::vector<uint8_t>(48, 0)));
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(result.image.levels[0].bytes.size(), 32u);
    EXPECT_EQ(result.image.levels[1].bytes.size(), 8u);
    EXPECT_EQ(result.image.levels[2].bytes.size(), 8u);
    EXPECT_EQ(dds::level_size(dds::Format::dxt5, 1, 1), 16u);
    EXPECT_EQ(dds::level_size(dds::Format::dxt3, 5, 9), 2u * 3u * 16u);
}

TEST(DdsParse, WithoutTheMipCountFlagTheFileHasOneLevel)
{
    std::vector<uint8_t> bytes = file(4, 4, 0, kL8, std::vector<uint8_t>(16, 7));
    put_u32(bytes, kMipCountOffset, 3);  // count set, flag clear
    const dds::ParseResult result = parse(bytes);
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(result.image.level_count, 1u);
}

TEST(DdsParse, RecognisesEveryFormatByItsHeader)
{
    struct Case {
        PixelFormat header;
        dds::Format format;
        uint32_t d3d_format;
    };
    const Case cases[] = {
        {kDxt1, dds::Format::dxt1, code('D', 'X', 'T', '1')},
        {kDxt3, dds::Format::dxt3, code('D', 'X', 'T', '3')},
        {kDxt5, dds::Format::dxt5, code('D', 'X', 'T', '5')},
        {kA8R8G8B8, dds::Format::a8r8g8b8, 21},
        {kX8R8G8B8, dds::Format::x8r8g8b8, 22},
        {kA8B8G8R8, dds::Format::a8b8g8r8, 32},
        {kX8B8G8R8, dds::Format::x8b8g8r8, 33},
        {kR8G8B8, dds::Format::r8g8b8, 20},
        {kR5G6B5, dds::Format::r5g6b5, 23},
        {kA1R5G5B5, dds::Format::a1r5g5b5, 25},
        {kX1R5G5B5, dds::Format::x1r5g5b5, 24},
        {kA4R4G4B4, dds::Format::a4r4g4b4, 26},
        {kX4R4G4B4, dds::Format::x4r4g4b4, 30},
        {kL8, dds::Format::l8, 50},
        {kA8L8, dds::Format::a8l8, 51},
        {kA8, dds::Format::a8, 28},
    };
    for (const Case& c : cases) {
        const dds::ParseResult result = parse(file(4, 4, 0, c.header, std::vector<uint8_t>(64, 0)));
        ASSERT_TRUE(result.ok) << dds::format_info(c.format).name << ": " << result.error;
        EXPECT_EQ(result.image.format, c.format) << dds::format_info(c.format).name;
        EXPECT_EQ(dds::format_info(c.format).d3d_format, c.d3d_format);
    }
    // An alpha mask without the alpha flag is an X format.
    PixelFormat unflagged = kA8R8G8B8;
    unflagged.flags = kRgb;
    EXPECT_EQ(parse(file(1, 1, 0, unflagged, {1, 2, 3, 4})).image.format, dds::Format::x8r8g8b8);
}

TEST(DdsChain, FullChainLengthCountsDownToOnePixel)
{
    EXPECT_EQ(dds::full_chain_length(1, 1), 1u);
    EXPECT_EQ(dds::full_chain_length(256, 256), 9u);
    EXPECT_EQ(dds::full_chain_length(256, 1), 9u);
    EXPECT_EQ(dds::full_chain_length(5, 3), 3u);
    EXPECT_EQ(dds::full_chain_length(16384, 16384), dds::kMaxLevels);
}

// ---------------------------------------------------------------------------
// Decoding to RGBA8

TEST(DdsDecode, ThirtyTwoAndTwentyFourBitFormats)
{
    EXPECT_EQ(pixel(decode_level0(file(1, 1, 0, kA8R8G8B8, words32({0x80102030}))), 0),
              (Pixel{0x10, 0x20, 0x30, 0x80}));
    EXPECT_EQ(pixel(decode_level0(file(1, 1, 0, kX8R8G8B8, words32({0x00102030}))), 0),
              (Pixel{0x10, 0x20, 0x30, 0xff}));
    EXPECT_EQ(pixel(decode_level0(file(1, 1, 0, kA8B8G8R8, words32({0x80102030}))), 0),
              (Pixel{0x30, 0x20, 0x10, 0x80}));
    EXPECT_EQ(pixel(decode_level0(file(1, 1, 0, kX8B8G8R8, words32({0x00102030}))), 0),
              (Pixel{0x30, 0x20, 0x10, 0xff}));
    // R8G8B8 stores blue, green, red.
    const auto rgb = decode_level0(file(2, 1, 0, kR8G8B8, {0x30, 0x20, 0x10, 1, 2, 3}));
    EXPECT_EQ(pixel(rgb, 0), (Pixel{0x10, 0x20, 0x30, 0xff}));
    EXPECT_EQ(pixel(rgb, 1), (Pixel{3, 2, 1, 0xff}));
}

TEST(DdsDecode, SixteenBitFormatsWidenByBitReplication)
{
    // 5:6:5 red 31, green 32, blue 1: 255, 130 (32 << 2 | 32 >> 4), 8 (1 << 3 | 1 >> 2).
    const uint16_t r5g6b5 = static_cast<uint16_t>(31 << 11 | 32 << 5 | 1);
    EXPECT_EQ(pixel(decode_level0(file(1, 1, 0, kR5G6B5, words16({r5g6b5}))), 0),
              (Pixel{255, 130, 8, 255}));

    const auto a1 =
        decode_level0(file(2, 1, 0, kA1R5G5B5, words16({0x8000 | 16 << 10 | 0 << 5 | 31, 0x7fff})));
    EXPECT_EQ(pixel(a1, 0), (Pixel{132, 0, 255, 255}));
    EXPECT_EQ(pixel(a1, 1), (Pixel{255, 255, 255, 0}));
    EXPECT_EQ(pixel(decode_level0(file(1, 1, 0, kX1R5G5B5, words16({0x7fff}))), 0),
              (Pixel{255, 255, 255, 255}));

    EXPECT_EQ(pixel(decode_level0(file(1, 1, 0, kA4R4G4B4, words16({0x48cf}))), 0),
              (Pixel{0x88, 0xcc, 0xff, 0x44}));
    EXPECT_EQ(pixel(decode_level0(file(1, 1, 0, kX4R4G4B4, words16({0x08cf}))), 0),
              (Pixel{0x88, 0xcc, 0xff, 0xff}));
}

TEST(DdsDecode, LuminanceAndAlphaFormats)
{
    EXPECT_EQ(pixel(decode_level0(file(1, 1, 0, kL8, {0x5a})), 0), (Pixel{0x5a, 0x5a, 0x5a, 255}));
    EXPECT_EQ(pixel(decode_level0(file(1, 1, 0, kA8L8, {0x5a, 0x40})), 0),
              (Pixel{0x5a, 0x5a, 0x5a, 0x40}));
    EXPECT_EQ(pixel(decode_level0(file(1, 1, 0, kA8, {0x40})), 0), (Pixel{0, 0, 0, 0x40}));
}

// Colour block: red and blue end points, pixels 0..3 of the first row take
// indices 0..3, the rest index 0.
std::vector<uint8_t> colour_block(uint16_t c0, uint16_t c1)
{
    std::vector<uint8_t> block = words16({c0, c1});
    block.insert(block.end(), {0xe4, 0, 0, 0});
    return block;
}

constexpr uint16_t kRed565 = 0xf800;
constexpr uint16_t kBlue565 = 0x001f;

TEST(DdsDecode, Dxt1FourColourBlock)
{
    const auto rgba = decode_level0(file(4, 4, 0, kDxt1, colour_block(kRed565, kBlue565)));
    EXPECT_EQ(pixel(rgba, 0), (Pixel{255, 0, 0, 255}));
    EXPECT_EQ(pixel(rgba, 1), (Pixel{0, 0, 255, 255}));
    EXPECT_EQ(pixel(rgba, 2), (Pixel{170, 0, 85, 255}));
    EXPECT_EQ(pixel(rgba, 3), (Pixel{85, 0, 170, 255}));
    EXPECT_EQ(pixel(rgba, 15), (Pixel{255, 0, 0, 255}));
}

TEST(DdsDecode, Dxt1ThreeColourBlockHasTransparentBlack)
{
    const auto rgba = decode_level0(file(4, 4, 0, kDxt1, colour_block(kBlue565, kRed565)));
    EXPECT_EQ(pixel(rgba, 0), (Pixel{0, 0, 255, 255}));
    EXPECT_EQ(pixel(rgba, 1), (Pixel{255, 0, 0, 255}));
    EXPECT_EQ(pixel(rgba, 2), (Pixel{127, 0, 127, 255}));
    EXPECT_EQ(pixel(rgba, 3), (Pixel{0, 0, 0, 0}));
}

TEST(DdsDecode, Dxt3ExplicitAlphaAlwaysFourColours)
{
    // Alpha nibbles 0, 15, 8, 1 in the first row; colour block in 3-colour order.
    std::vector<uint8_t> block = {0xf0, 0x18, 0, 0, 0, 0, 0, 0};
    const auto colour = colour_block(kBlue565, kRed565);
    block.insert(block.end(), colour.begin(), colour.end());
    const auto rgba = decode_level0(file(4, 4, 0, kDxt3, block));
    EXPECT_EQ(pixel(rgba, 0), (Pixel{0, 0, 255, 0}));
    EXPECT_EQ(pixel(rgba, 1), (Pixel{255, 0, 0, 255}));
    EXPECT_EQ(pixel(rgba, 2), (Pixel{85, 0, 170, 0x88}));
    EXPECT_EQ(pixel(rgba, 3), (Pixel{170, 0, 85, 0x11}));
}

TEST(DdsDecode, Dxt5InterpolatedAlphaInBothModes)
{
    const auto colour = colour_block(kRed565, kBlue565);
    // Eight-value mode (255 > 0): indices 0, 1, 2, 7 -> 255, 0, 218, 36.
    std::vector<uint8_t> eight = {255, 0, 0x88, 0x0e, 0, 0, 0, 0};
    eight.insert(eight.end(), colour.begin(), colour.end());
    const auto a = decode_level0(file(4, 4, 0, kDxt5, eight));
    EXPECT_EQ(a[3], 255);
    EXPECT_EQ(a[7], 0);
    EXPECT_EQ(a[11], 218);
    EXPECT_EQ(a[15], 36);
    // Six-value mode (0 <= 255): indices 2, 6, 7 -> 51, 0, 255.
    std::vector<uint8_t> six = {0, 255, 0x82, 0x0f, 0, 0, 0, 0};  // 2, 0, 6, 7
    six.insert(six.end(), colour.begin(), colour.end());
    const auto b = decode_level0(file(4, 4, 0, kDxt5, six));
    EXPECT_EQ(b[3], 51);
    EXPECT_EQ(b[7], 0);
    EXPECT_EQ(b[11], 0);
    EXPECT_EQ(b[15], 255);
}

TEST(DdsDecode, DxtBlocksOverhangingTheEdgeAreClipped)
{
    // 5 x 2 DXT1: two blocks side by side; the second holds blue at index 1.
    std::vector<uint8_t> data = colour_block(kRed565, kRed565);
    const std::vector<uint8_t> blue = {0x1f, 0, 0x1f, 0, 0, 0, 0, 0};
    data.insert(data.end(), blue.begin(), blue.end());
    const auto rgba = decode_level0(file(5, 2, 0, kDxt1, data));
    ASSERT_EQ(rgba.size(), 5u * 2u * 4u);
    EXPECT_EQ(pixel(rgba, 4), (Pixel{0, 0, 255, 255}));  // row 0, x 4: second block
    EXPECT_EQ(pixel(rgba, 5), (Pixel{255, 0, 0, 255}));  // row 1, x 0: first block
    EXPECT_EQ(pixel(rgba, 9), (Pixel{0, 0, 255, 255}));
}

// ---------------------------------------------------------------------------
// Mip generation

TEST(DdsDownsample, AveragesTwoByTwoBlocksWithRounding)
{
    const std::vector<uint8_t> source = {0, 0, 0, 255, 1, 0, 0, 255,  //
                                         0, 0, 0, 255, 1, 2, 4, 0};
    std::vector<uint8_t> out(4);
    dds::downsample_rgba8(source, 2, 2, out);
    EXPECT_EQ(out, (std::vector<uint8_t>{1, 1, 1, 191}));  // (2+2)/4, (2+2)/4, (4+2)/4, (765+2)/4
}

TEST(DdsDownsample, OddAndThinImages)
{
    // 3 x 1 -> 1 x 1: the last column has no partner and is dropped.
    const std::vector<uint8_t> row = {10, 10, 10, 10, 20, 20, 20, 20, 200, 200, 200, 200};
    std::vector<uint8_t> one(4);
    dds::downsample_rgba8(row, 3, 1, one);
    EXPECT_EQ(one, (std::vector<uint8_t>{15, 15, 15, 15}));
    // 1 x 4 -> 1 x 2.
    const std::vector<uint8_t> column = {0, 0, 0, 0, 4, 4, 4, 4, 8, 8, 8, 8, 9, 9, 9, 9};
    std::vector<uint8_t> two(8);
    dds::downsample_rgba8(column, 1, 4, two);
    EXPECT_EQ(two, (std::vector<uint8_t>{2, 2, 2, 2, 9, 9, 9, 9}));  // (2 * 17 + 2) / 4 = 9
}

}  // namespace
