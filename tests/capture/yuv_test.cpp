// The capture's RGBA to 4:2:0 YUV conversion: BT.601 studio-swing values for
// the primaries, the plane layout, both row orders, and chroma from the
// mean of each 2 x 2 block.
#include "tools/capture/yuv.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <vector>

namespace {

using namespace capture;

using Rgb = std::array<int, 3>;

struct Planes {
    std::vector<uint8_t> y, u, v;
};

// Converts a frame given as rows of pixels, top row first.
Planes convert(const std::vector<std::vector<Rgb>>& rows, RowOrder order = RowOrder::top_first)
{
    const auto height = static_cast<uint32_t>(rows.size());
    const auto width = static_cast<uint32_t>(rows[0].size());
    std::vector<uint8_t> rgba;
    for (uint32_t i = 0; i < height; ++i) {
        const auto& row = rows[order == RowOrder::top_first ? i : height - 1 - i];
        for (const Rgb& p : row) {
            rgba.insert(rgba.end(), {static_cast<uint8_t>(p[0]), static_cast<uint8_t>(p[1]),
                                     static_cast<uint8_t>(p[2]), 77});
        }
    }
    std::vector<uint8_t> i420(i420_size(width, height), 0xEE);
    rgba_to_i420(rgba, order, width, height, i420);
    const size_t luma = size_t{width} * height;
    const size_t chroma = luma / 4;
    return {
        {i420.begin(), i420.begin() + static_cast<long>(luma)},
        {i420.begin() + static_cast<long>(luma), i420.begin() + static_cast<long>(luma + chroma)},
        {i420.begin() + static_cast<long>(luma + chroma), i420.end()}};
}

Planes uniform(Rgb color)
{
    return convert({{color, color}, {color, color}});
}

TEST(RgbaToI420, GivesBt601StudioSwingValues)
{
    // Y, U, V of the usual BT.601 tables, within one step of rounding.
    struct Case {
        Rgb rgb;
        std::array<int, 3> yuv;
    };
    const Case cases[] = {
        {{0, 0, 0}, {16, 128, 128}},   {{255, 255, 255}, {235, 128, 128}},
        {{255, 0, 0}, {82, 90, 240}},  {{0, 255, 0}, {145, 54, 34}},
        {{0, 0, 255}, {41, 240, 110}}, {{128, 128, 128}, {126, 128, 128}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.rgb[0] << ", " << c.rgb[1] << ", " << c.rgb[2]);
        const Planes p = uniform(c.rgb);
        for (const uint8_t y : p.y) {
            EXPECT_LE(std::abs(y - c.yuv[0]), 1) << int{y};
        }
        EXPECT_LE(std::abs(p.u[0] - c.yuv[1]), 1) << int{p.u[0]};
        EXPECT_LE(std::abs(p.v[0] - c.yuv[2]), 1) << int{p.v[0]};
    }
}

TEST(RgbaToI420, LaysOutFullLumaThenQuarterChromaPlanes)
{
    // 4 x 2: white over black on the left block, red on the right one.
    const Rgb w{255, 255, 255}, k{0, 0, 0}, r{255, 0, 0};
    const Planes p = convert({{w, w, r, r}, {k, k, r, r}});
    ASSERT_EQ(p.y.size(), 8u);
    ASSERT_EQ(p.u.size(), 2u);
    ASSERT_EQ(p.v.size(), 2u);
    EXPECT_EQ(p.y, (std::vector<uint8_t>{235, 235, 82, 82, 16, 16, 82, 82}));
    EXPECT_EQ(p.u[1], uniform(r).u[0]);
    EXPECT_EQ(p.v[1], uniform(r).v[0]);
}

TEST(RgbaToI420, ChromaComesFromTheMeanOfEachBlock)
{
    // Four different pixels whose mean is a whole colour: (50, 10, 25).
    const Planes mixed = convert({{{200, 0, 0}, {0, 0, 100}}, {{0, 40, 0}, {0, 0, 0}}});
    const Planes mean = uniform({50, 10, 25});
    EXPECT_EQ(mixed.u, mean.u);
    EXPECT_EQ(mixed.v, mean.v);
    // Half white, half black averages to mid grey: no colour.
    const Planes grey = convert({{{255, 255, 255}, {0, 0, 0}}, {{0, 0, 0}, {255, 255, 255}}});
    EXPECT_EQ(grey.u[0], 128);
    EXPECT_EQ(grey.v[0], 128);
}

TEST(RgbaToI420, ReadsEitherRowOrderIntoTheSameTopFirstPlanes)
{
    // Rows of distinct colours over a frame wider than one working chunk.
    std::vector<std::vector<Rgb>> rows;
    for (int y = 0; y < 6; ++y) {
        std::vector<Rgb> row;
        for (int x = 0; x < 600; ++x) {
            row.push_back({(x * 7 + y * 40) % 256, (x * 3) % 256, (y * 50 + x) % 256});
        }
        rows.push_back(row);
    }
    const Planes top_first = convert(rows, RowOrder::top_first);
    const Planes bottom_first = convert(rows, RowOrder::bottom_first);
    EXPECT_EQ(top_first.y, bottom_first.y);
    EXPECT_EQ(top_first.u, bottom_first.u);
    EXPECT_EQ(top_first.v, bottom_first.v);
    // The first luma row is the top row's.
    EXPECT_EQ(top_first.y[1], convert({{rows[0][0], rows[0][1]}, {rows[0][0], rows[0][1]}}).y[1]);
}

}  // namespace
