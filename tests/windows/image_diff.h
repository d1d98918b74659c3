// How far apart two pictures of the same frame are, channel by channel.
#pragma once

#include <cstdint>
#include <span>

struct ImageDiff {
    double mean;  // mean absolute difference over every R, G and B value (0..255)
    int largest;  // the largest absolute difference of any R, G or B value
    double
        over_fraction;  // fraction of pixels with some channel differing by more than the threshold
};

// Compares two RGBA8 images of `pixels` pixels each; alpha is not compared
// (the back buffers have none worth comparing).
ImageDiff diff_rgba8(std::span<const uint8_t> a, std::span<const uint8_t> b, size_t pixels,
                     int threshold);

// A picture of where the images differ: each channel's absolute difference,
// scaled by `gain` and clamped, alpha opaque. `out` holds 4 * pixels bytes.
void difference_image(std::span<const uint8_t> a, std::span<const uint8_t> b, size_t pixels,
                      int gain, std::span<uint8_t> out);

struct Tolerance {
    double mean;           // largest mean difference accepted
    double over_fraction;  // largest fraction of pixels over the threshold accepted
};

bool within(const ImageDiff& diff, const Tolerance& tolerance);
