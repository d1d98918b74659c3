#pragma once
// Square RGBA pictures: a float canvas to paint on, the 8-bit image that goes
// into a texture file, and the mip chain made from it.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace assets {

// A colour in display (sRGB) values, each channel nominally 0..1.
struct Color {
    float r = 0.0f;
    float g = 0.0f;
    float b = 0.0f;
    float a = 1.0f;
};

Color mix(const Color& x, const Color& y, float t);
Color scale_rgb(const Color& c, float k);

struct Rgba {
    uint8_t r = 0;
    uint8_t g = 0;
    uint8_t b = 0;
    uint8_t a = 0;

    friend bool operator==(const Rgba&, const Rgba&) = default;
};

// Row 0 is the top of the texture (v = 0), column 0 its left edge (u = 0).
struct Image {
    int size = 0;
    std::vector<Rgba> texels;

    Image() = default;
    explicit Image(int side) : size(side), texels(static_cast<size_t>(side) * side) {}
    Rgba& at(int x, int y) { return texels[static_cast<size_t>(y) * size + x]; }
    const Rgba& at(int x, int y) const { return texels[static_cast<size_t>(y) * size + x]; }
};

struct Canvas {
    int size = 0;
    std::vector<Color> pixels;

    explicit Canvas(int side) : size(side), pixels(static_cast<size_t>(side) * side) {}
    Color& at(int x, int y) { return pixels[static_cast<size_t>(y) * size + x]; }
    const Color& at(int x, int y) const { return pixels[static_cast<size_t>(y) * size + x]; }
    // Texture coordinates of a texel centre.
    float u(int x) const { return (static_cast<float>(x) + 0.5f) / static_cast<float>(size); }
    float v(int y) const { return (static_cast<float>(y) + 0.5f) / static_cast<float>(size); }
};

// Rounds every channel to 8 bits, clamping to 0..1 first.
Image quantize(const Canvas& canvas);

// How the smaller mip levels treat alpha.
struct AlphaTest {
    bool enabled = false;
    // Texels with alpha >= threshold are drawn; each level keeps the share of
    // such texels that the full-size image has, so alpha-tested shapes do not
    // thin out with distance.
    int threshold = 0;
};

// Share of texels whose alpha is at least threshold.
float alpha_coverage(const Image& image, int threshold);

// The full chain from `top` (a power-of-two square) down to 1 x 1. Colours are
// averaged in linear light, weighted by alpha.
std::vector<Image> mip_chain(const Image& top, AlphaTest alpha_test);

}  // namespace assets
