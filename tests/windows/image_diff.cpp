#include "tests/windows/image_diff.h"

#include <algorithm>
#include <cstdlib>

namespace {

int channel_difference(uint8_t a, uint8_t b)
{
    return std::abs(int{a} - int{b});
}

}  // namespace

ImageDiff diff_rgba8(std::span<const uint8_t> a, std::span<const uint8_t> b, size_t pixels,
                     int threshold)
{
    uint64_t sum = 0;
    int largest = 0;
    size_t over = 0;
    for (size_t p = 0; p < pixels; ++p) {
        int pixel_largest = 0;
        for (size_t c = 0; c < 3; ++c) {
            const int d = channel_difference(a[4 * p + c], b[4 * p + c]);
            sum += static_cast<uint64_t>(d);
            pixel_largest = std::max(pixel_largest, d);
        }
        largest = std::max(largest, pixel_largest);
        over += pixel_largest > threshold ? 1 : 0;
    }
    if (pixels == 0) {
        return {0.0, 0, 0.0};
    }
    return {static_cast<double>(sum) / static_cast<double>(pixels * 3), largest,
            static_cast<double>(over) / static_cast<double>(pixels)};
}

void difference_image(std::span<const uint8_t> a, std::span<const uint8_t> b, size_t pixels,
                      int gain, std::span<uint8_t> out)
{
    for (size_t p = 0; p < pixels; ++p) {
        for (size_t c = 0; c < 3; ++c) {
            const int d = channel_difference(a[4 * p + c], b[4 * p + c]) * gain;
            out[4 * p + c] = static_cast<uint8_t>(std::min(d, 255));
        }
        out[4 * p + 3] = 255;
    }
}

bool within(const ImageDiff& diff, const Tolerance& tolerance)
{
    return diff.mean <= tolerance.mean && diff.over_fraction <= tolerance.over_fraction;
}
