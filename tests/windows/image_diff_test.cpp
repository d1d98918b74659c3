#include "tests/windows/image_diff.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::vector<uint8_t> solid(size_t pixels, uint8_t r, uint8_t g, uint8_t b, uint8_t a = 255)
{
    std::vector<uint8_t> image(pixels * 4);
    for (size_t p = 0; p < pixels; ++p) {
        image[4 * p + 0] = r;
        image[4 * p + 1] = g;
        image[4 * p + 2] = b;
        image[4 * p + 3] = a;
    }
    return image;
}

TEST(ImageDiff, IdenticalPicturesDoNotDiffer)
{
    const auto image = solid(6, 10, 200, 30);
    const ImageDiff diff = diff_rgba8(image, image, 6, 0);
    EXPECT_EQ(diff.mean, 0.0);
    EXPECT_EQ(diff.largest, 0);
    EXPECT_EQ(diff.over_fraction, 0.0);
}

TEST(ImageDiff, MeanRunsOverEveryColourChannelAndIgnoresAlpha)
{
    auto a = solid(4, 100, 100, 100, 0);
    auto b = solid(4, 100, 100, 100, 255);
    b[0] = 112;  // one red value 12 too high
    b[6] = 88;   // one blue value 12 too low
    const ImageDiff diff = diff_rgba8(a, b, 4, 100);
    EXPECT_DOUBLE_EQ(diff.mean, 24.0 / 12.0);
    EXPECT_EQ(diff.largest, 12);
}

TEST(ImageDiff, PixelsCountAsOverWhenAnyChannelPassesTheThreshold)
{
    auto a = solid(4, 0, 0, 0);
    auto b = solid(4, 0, 0, 0);
    b[1] = 33;    // pixel 0: green over 32
    b[4] = 32;    // pixel 1: exactly the threshold, not over
    b[10] = 255;  // pixel 2: blue far over
    const ImageDiff diff = diff_rgba8(a, b, 4, 32);
    EXPECT_DOUBLE_EQ(diff.over_fraction, 0.5);
    EXPECT_EQ(diff.largest, 255);
}

TEST(ImageDiff, DifferencePictureScalesAndClampsEachChannel)
{
    const auto a = solid(2, 10, 10, 10, 7);
    auto b = solid(2, 10, 10, 10, 7);
    b[0] = 13;   // 3 x 4 = 12
    b[5] = 200;  // 190 x 4 clamps to 255
    std::vector<uint8_t> out(8);
    difference_image(a, b, 2, 4, out);
    EXPECT_EQ(out, (std::vector<uint8_t>{12, 0, 0, 255, 0, 255, 0, 255}));
}

TEST(ImageDiff, ToleranceBoundsBothTheMeanAndTheShareOverTheThreshold)
{
    const Tolerance tolerance{1.5, 0.01};
    EXPECT_TRUE(within({1.5, 255, 0.01}, tolerance)) << "the bounds themselves are accepted";
    EXPECT_FALSE(within({1.6, 3, 0.0}, tolerance));
    EXPECT_FALSE(within({0.1, 255, 0.02}, tolerance));
}

}  // namespace
