#include "image.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <stdexcept>

namespace assets {

Color mix(const Color& x, const Color& y, float t)
{
    return {x.r + (y.r - x.r) * t, x.g + (y.g - x.g) * t, x.b + (y.b - x.b) * t,
            x.a + (y.a - x.a) * t};
}

Color scale_rgb(const Color& c, float k)
{
    return {c.r * k, c.g * k, c.b * k, c.a};
}

namespace {

uint8_t to_byte(float value)
{
    return static_cast<uint8_t>(std::lround(std::clamp(value, 0.0f, 1.0f) * 255.0f));
}

float srgb_to_linear(float c)
{
    return c <= 0.04045f ? c / 12.92f : std::pow((c + 0.055f) / 1.055f, 2.4f);
}

float linear_to_srgb(float c)
{
    return c <= 0.0031308f ? c * 12.92f : 1.055f * std::pow(c, 1.0f / 2.4f) - 0.055f;
}

const std::array<float, 256>& linear_table()
{
    static const std::array<float, 256> table = [] {
        std::array<float, 256> t{};
        for (int i = 0; i < 256; ++i) {
            t[static_cast<size_t>(i)] = srgb_to_linear(static_cast<float>(i) / 255.0f);
        }
        return t;
    }();
    return table;
}

// One level down: colour averaged in linear light with alpha as weight, alpha
// averaged plainly (kept as float so later levels do not pile up rounding).
struct Level {
    int size = 0;
    std::vector<float> r, g, b, a;  // linear colour, alpha 0..1
};

Level level_from_image(const Image& image)
{
    Level level{image.size, {}, {}, {}, {}};
    const auto& lin = linear_table();
    for (const Rgba& t : image.texels) {
        level.r.push_back(lin[t.r]);
        level.g.push_back(lin[t.g]);
        level.b.push_back(lin[t.b]);
        level.a.push_back(static_cast<float>(t.a) / 255.0f);
    }
    return level;
}

Level downsample(const Level& src)
{
    const int n = src.size / 2;
    Level dst{n, {}, {}, {}, {}};
    const size_t count = static_cast<size_t>(n) * n;
    dst.r.resize(count);
    dst.g.resize(count);
    dst.b.resize(count);
    dst.a.resize(count);
    for (int y = 0; y < n; ++y) {
        for (int x = 0; x < n; ++x) {
            float r = 0, g = 0, b = 0, a = 0, weight = 0;
            for (int dy = 0; dy < 2; ++dy) {
                for (int dx = 0; dx < 2; ++dx) {
                    const size_t i = static_cast<size_t>(2 * y + dy) * src.size + (2 * x + dx);
                    // A fully transparent texel still lends its colour a
                    // little, so a level that is transparent throughout keeps
                    // a sensible colour.
                    const float w = src.a[i] + 1e-3f;
                    r += src.r[i] * w;
                    g += src.g[i] * w;
                    b += src.b[i] * w;
                    a += src.a[i];
                    weight += w;
                }
            }
            const size_t o = static_cast<size_t>(y) * n + x;
            dst.r[o] = r / weight;
            dst.g[o] = g / weight;
            dst.b[o] = b / weight;
            dst.a[o] = a * 0.25f;
        }
    }
    return dst;
}

Image image_from_level(const Level& level, float alpha_scale)
{
    Image image(level.size);
    for (size_t i = 0; i < image.texels.size(); ++i) {
        image.texels[i] = {to_byte(linear_to_srgb(level.r[i])), to_byte(linear_to_srgb(level.g[i])),
                           to_byte(linear_to_srgb(level.b[i])), to_byte(level.a[i] * alpha_scale)};
    }
    return image;
}

float scaled_coverage(const Level& level, float alpha_scale, int threshold)
{
    size_t passing = 0;
    for (float a : level.a) {
        if (to_byte(a * alpha_scale) >= threshold) {
            ++passing;
        }
    }
    return static_cast<float>(passing) / static_cast<float>(level.a.size());
}

// The alpha scale whose coverage comes closest to `target` (coverage grows
// with the scale, so a bisection finds it).
float coverage_preserving_scale(const Level& level, float target, int threshold)
{
    float lo = 0.0f;
    float hi = 8.0f;
    for (int step = 0; step < 24; ++step) {
        const float mid = 0.5f * (lo + hi);
        if (scaled_coverage(level, mid, threshold) < target) {
            lo = mid;
        } else {
            hi = mid;
        }
    }
    const float below = std::abs(scaled_coverage(level, lo, threshold) - target);
    const float above = std::abs(scaled_coverage(level, hi, threshold) - target);
    return below < above ? lo : hi;
}

}  // namespace

Image quantize(const Canvas& canvas)
{
    Image image(canvas.size);
    for (size_t i = 0; i < canvas.pixels.size(); ++i) {
        const Color& c = canvas.pixels[i];
        image.texels[i] = {to_byte(c.r), to_byte(c.g), to_byte(c.b), to_byte(c.a)};
    }
    return image;
}

float alpha_coverage(const Image& image, int threshold)
{
    const auto passing = std::count_if(image.texels.begin(), image.texels.end(),
                                       [threshold](const Rgba& t) { return t.a >= threshold; });
    return static_cast<float>(passing) / static_cast<float>(image.texels.size());
}

std::vector<Image> mip_chain(const Image& top, AlphaTest alpha_test)
{
    if (top.size <= 0 || (top.size & (top.size - 1)) != 0) {
        throw std::invalid_argument("mip_chain: the image side must be a power of two");
    }
    std::vector<Image> chain{top};
    const float target = alpha_coverage(top, alpha_test.threshold);
    Level level = level_from_image(top);
    while (level.size > 1) {
        level = downsample(level);
        const float scale = alpha_test.enabled
                                ? coverage_preserving_scale(level, target, alpha_test.threshold)
                                : 1.0f;
        chain.push_back(image_from_level(level, scale));
    }
    return chain;
}

}  // namespace assets
