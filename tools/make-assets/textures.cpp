#include "textures.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "noise.h"

namespace assets {

namespace {

constexpr float kPi = std::numbers::pi_v<float>;

float clamp01(float x)
{
    return std::clamp(x, 0.0f, 1.0f);
}

float smoothstep(float edge0, float edge1, float x)
{
    const float t = clamp01((x - edge0) / (edge1 - edge0));
    return t * t * (3.0f - 2.0f * t);
}

// Shortest signed offset from b to a on a unit circle (for tiling textures).
float wrapped_delta(float a, float b)
{
    float d = a - b;
    d -= std::round(d);
    return d;
}

// Separable box blur, repeated: close to a Gaussian. Wraps at the edges.
void blur(std::vector<Color>& pixels, int size, int radius, int passes)
{
    std::vector<Color> tmp(pixels.size());
    const float norm = 1.0f / static_cast<float>(2 * radius + 1);
    auto pass = [&](const std::vector<Color>& src, std::vector<Color>& dst, bool horizontal) {
        for (int line = 0; line < size; ++line) {
            for (int i = 0; i < size; ++i) {
                Color sum{0, 0, 0, 0};
                for (int k = -radius; k <= radius; ++k) {
                    const int j = (i + k + size) % size;
                    const Color& c = horizontal ? src[static_cast<size_t>(line) * size + j]
                                                : src[static_cast<size_t>(j) * size + line];
                    sum.r += c.r;
                    sum.g += c.g;
                    sum.b += c.b;
                }
                Color& out = horizontal ? dst[static_cast<size_t>(line) * size + i]
                                        : dst[static_cast<size_t>(i) * size + line];
                out = {sum.r * norm, sum.g * norm, sum.b * norm, 1.0f};
            }
        }
    };
    for (int p = 0; p < passes; ++p) {
        pass(pixels, tmp, true);
        pass(tmp, pixels, false);
    }
}

// ---------------------------------------------------------------- bark ----

// The fissures follow the zero lines of a noise stretched along v, warped a
// little so they meander.
float bark_noise(float u, float v)
{
    const float warp = 0.035f * tiled_fbm(u, v, 4, 1, 3, 0.5f, 11);
    return tiled_fbm(u + warp, v, 16, 2, 4, 0.5f, 3);
}

// 0 in a fissure, 1 on the plates between fissures. Dividing the noise by its
// slope gives the distance to the zero line, so the fissures keep an even
// width wherever the noise is flat.
std::vector<float> bark_relief(int size)
{
    std::vector<float> noise(static_cast<size_t>(size) * size);
    const float texel = 1.0f / static_cast<float>(size);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            noise[static_cast<size_t>(y) * size + x] = bark_noise(
                (static_cast<float>(x) + 0.5f) * texel, (static_cast<float>(y) + 0.5f) * texel);
        }
    }
    std::vector<float> relief(noise.size());
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            auto at = [&](int i, int j) {
                return noise[static_cast<size_t>((j + size) % size) * size + (i + size) % size];
            };
            // Slope per texture unit; v is stretched twice over on the trunk.
            const float du = (at(x + 1, y) - at(x - 1, y)) / (2.0f * texel);
            const float dv = (at(x, y + 1) - at(x, y - 1)) / (2.0f * texel) * 0.5f;
            const float slope = std::max(std::sqrt(du * du + dv * dv), 1.0f);
            const float distance = std::abs(at(x, y)) / slope;  // texture units
            const float width =
                0.008f +
                0.014f * (0.5f + 0.5f * tiled_fbm(texel * static_cast<float>(x),
                                                  texel * static_cast<float>(y), 4, 2, 2, 0.5f, 5));
            relief[static_cast<size_t>(y) * size + x] = smoothstep(0.3f * width, width, distance);
        }
    }
    return relief;
}

}  // namespace

Image paint_bark(int size)
{
    const std::vector<float> relief = bark_relief(size);
    Canvas canvas(size);
    const Color plate_warm{0.40f, 0.31f, 0.24f};
    const Color plate_grey{0.47f, 0.44f, 0.40f};
    const Color fissure{0.07f, 0.055f, 0.05f};
    const Color moss{0.24f, 0.33f, 0.14f};
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const float u = canvas.u(x);
            const float v = canvas.v(y);
            const float h = relief[static_cast<size_t>(y) * size + x];
            // Light from the left: the left flank of each plate is lit.
            const float left = relief[static_cast<size_t>(y) * size + (x + size - 2) % size];
            const float right = relief[static_cast<size_t>(y) * size + (x + 2) % size];
            const float shade = 1.0f + 0.45f * (right - left);

            const float tone = tiled_fbm(u, v, 4, 2, 3, 0.5f, 7) * 0.5f + 0.5f;
            const float grain = tiled_fbm(u, v, 64, 8, 2, 0.5f, 13);
            Color plate = mix(plate_warm, plate_grey, tone);
            plate = scale_rgb(plate, 0.85f + 0.3f * grain);
            const float moss_amount =
                0.45f * smoothstep(0.25f, 0.65f, tiled_fbm(u, v, 4, 2, 4, 0.55f, 9));
            plate = mix(plate, moss, moss_amount);

            Color c = mix(fissure, plate, h);
            canvas.at(x, y) = scale_rgb(c, shade);
        }
    }
    return quantize(canvas);
}

// ---------------------------------------------------------------- leaves ----

namespace {

struct Leaf {
    float cx, cy;         // centre, texture units
    float angle;          // direction of the leaf's axis
    float length, width;  // texture units
    Color color;
};

std::vector<Leaf> scatter_leaves(int count, uint32_t seed)
{
    Rng rng(seed);
    const Color lime{0.62f, 1.00f, 0.30f};
    const Color jade{0.25f, 0.95f, 0.62f};
    const Color gold{1.00f, 0.88f, 0.36f};
    std::vector<Leaf> leaves;
    for (int i = 0; i < count; ++i) {
        const float theta = rng.range(0.0f, 2.0f * kPi);
        // More leaves near the centre than at the rim.
        const float r = 0.34f * std::pow(rng.unit(), 0.7f);
        Leaf leaf{};
        leaf.cx = 0.5f + r * std::cos(theta);
        leaf.cy = 0.5f + r * std::sin(theta);
        leaf.angle = theta + rng.range(-0.7f, 0.7f);
        leaf.length = rng.range(0.10f, 0.17f) * (1.0f - 0.8f * r);
        leaf.width = leaf.length * rng.range(0.38f, 0.5f);
        Color hue = mix(lime, jade, rng.unit());
        if (rng.unit() < 0.15f) {
            hue = gold;
        }
        leaf.color = scale_rgb(hue, rng.range(0.55f, 1.0f) * (1.0f - 0.9f * r));
        leaves.push_back(leaf);
    }
    return leaves;
}

// Paints one leaf over the canvas: a pointed oval, brightest along its midrib.
void paint_leaf(Canvas& canvas, const Leaf& leaf)
{
    const float n = static_cast<float>(canvas.size);
    const float reach = 0.5f * leaf.length + 2.0f / n;
    const int x0 = std::max(0, static_cast<int>((leaf.cx - reach) * n));
    const int x1 = std::min(canvas.size - 1, static_cast<int>((leaf.cx + reach) * n) + 1);
    const int y0 = std::max(0, static_cast<int>((leaf.cy - reach) * n));
    const int y1 = std::min(canvas.size - 1, static_cast<int>((leaf.cy + reach) * n) + 1);
    const float ca = std::cos(leaf.angle);
    const float sa = std::sin(leaf.angle);
    for (int y = y0; y <= y1; ++y) {
        for (int x = x0; x <= x1; ++x) {
            const float dx = canvas.u(x) - leaf.cx;
            const float dy = canvas.v(y) - leaf.cy;
            const float along = (dx * ca + dy * sa) / leaf.length + 0.5f;  // 0 stem .. 1 tip
            const float across = -dx * sa + dy * ca;
            if (along <= 0.0f || along >= 1.0f) {
                continue;
            }
            const float half_width = 0.5f * leaf.width * std::pow(std::sin(kPi * along), 0.8f);
            const float coverage = clamp01((half_width - std::abs(across)) * n + 0.5f);
            if (coverage <= 0.0f) {
                continue;
            }
            const float side = std::abs(across) / std::max(half_width, 1e-4f);
            const float midrib = std::abs(across) * n < 0.8f ? 0.25f : 0.0f;
            const float glow = 1.0f - 0.5f * side * side + midrib;
            const Color lit = scale_rgb(leaf.color, glow);
            Color& c = canvas.at(x, y);
            c = mix(c, lit, 0.92f * coverage);
        }
    }
}

}  // namespace

Image paint_leaf_cluster(int size)
{
    Canvas leaves(size);
    for (Color& c : leaves.pixels) {
        c = {0.0f, 0.0f, 0.0f, 1.0f};
    }
    for (const Leaf& leaf : scatter_leaves(52, 31)) {
        paint_leaf(leaves, leaf);
    }
    // The leaves glow: a soft halo from the leaves themselves plus a faint
    // light in the heart of the cluster.
    std::vector<Color> halo = leaves.pixels;
    blur(halo, size, std::max(1, size / 64), 3);

    Canvas canvas(size);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const float dx = canvas.u(x) - 0.5f;
            const float dy = canvas.v(y) - 0.5f;
            const float r = std::sqrt(dx * dx + dy * dy);
            const Color& leaf = leaves.at(x, y);
            const Color& soft = halo[static_cast<size_t>(y) * size + x];
            const float heart = 0.22f * std::exp(-(r * r) / (0.2f * 0.2f));
            // Exactly black from r = 0.48 on, so the quad's outline never shows.
            const float window = smoothstep(0.48f, 0.36f, r);
            canvas.at(x, y) = {
                (leaf.r + 0.7f * soft.r + 0.25f * heart) * window,
                (leaf.g + 0.7f * soft.g + 0.85f * heart) * window,
                (leaf.b + 0.7f * soft.b + 0.55f * heart) * window,
                1.0f,
            };
        }
    }
    return quantize(canvas);
}

// ---------------------------------------------------------------- ground ----

namespace {

struct Pebble {
    float cx, cy, radius, squash, angle, tone;
};

// One pebble per cell at most, on a grid that wraps, so the ground still tiles.
std::vector<Pebble> scatter_pebbles(int cells, uint32_t seed)
{
    std::vector<Pebble> pebbles;
    for (int j = 0; j < cells; ++j) {
        for (int i = 0; i < cells; ++i) {
            Rng rng(hash2(i, j, seed));
            if (rng.unit() > 0.16f) {
                continue;
            }
            const float cell = 1.0f / static_cast<float>(cells);
            pebbles.push_back({(static_cast<float>(i) + rng.unit()) * cell,
                               (static_cast<float>(j) + rng.unit()) * cell,
                               cell * rng.range(0.12f, 0.36f), rng.range(0.55f, 1.0f),
                               rng.range(0.0f, kPi), rng.range(0.16f, 0.3f)});
        }
    }
    return pebbles;
}

}  // namespace

Image paint_ground(int size)
{
    Canvas canvas(size);
    const Color soil{0.15f, 0.125f, 0.10f};
    const Color damp{0.075f, 0.07f, 0.065f};
    const Color moss{0.11f, 0.17f, 0.075f};
    const Color litter{0.22f, 0.16f, 0.10f};
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const float u = canvas.u(x);
            const float v = canvas.v(y);
            const float large = tiled_fbm(u, v, 4, 4, 5, 0.55f, 21);
            const float medium = tiled_fbm(u, v, 16, 16, 4, 0.5f, 22);
            const float fine = tiled_fbm(u, v, 128, 128, 2, 0.5f, 23);
            const float speck = unit_from_hash(hash2(x, y, 24)) - 0.5f;
            Color c = mix(soil, moss, smoothstep(-0.2f, 0.5f, large));
            c = mix(c, damp, 0.7f * smoothstep(0.1f, 0.6f, medium));
            c = mix(c, litter,
                    0.6f * smoothstep(0.35f, 0.7f, tiled_fbm(u, v, 32, 32, 2, 0.5f, 25)));
            canvas.at(x, y) = scale_rgb(c, 0.9f + 0.25f * fine + 0.12f * speck);
        }
    }
    const float n = static_cast<float>(size);
    for (const Pebble& p : scatter_pebbles(24, 26)) {
        const int reach = static_cast<int>(p.radius * n) + 3;
        const int px = static_cast<int>(p.cx * n);
        const int py = static_cast<int>(p.cy * n);
        const float ca = std::cos(p.angle);
        const float sa = std::sin(p.angle);
        for (int y = py - reach; y <= py + reach; ++y) {
            for (int x = px - reach; x <= px + reach; ++x) {
                const int wx = (x + size) % size;
                const int wy = (y + size) % size;
                const float dx = wrapped_delta(canvas.u(wx), p.cx);
                const float dy = wrapped_delta(canvas.v(wy), p.cy);
                const float a = (dx * ca + dy * sa) / p.radius;
                const float b = (-dx * sa + dy * ca) / (p.radius * p.squash);
                const float d = std::sqrt(a * a + b * b);
                Color& c = canvas.at(wx, wy);
                if (d < 1.0f) {
                    // A rounded stone lit from the upper left.
                    const float lit = clamp01(0.75f - 0.5f * (dx + dy) / p.radius);
                    const float edge = clamp01((1.0f - d) * p.radius * n);
                    const Color stone{p.tone, p.tone * 0.97f, p.tone * 0.92f};
                    c = mix(c, scale_rgb(stone, 0.55f + 0.6f * lit * (1.0f - 0.5f * d * d)), edge);
                } else if (d < 1.5f) {
                    // Contact shadow, heavier below-right.
                    const float shadow =
                        (1.5f - d) * 0.8f * clamp01(0.6f + 2.0f * (dx + dy) / p.radius);
                    c = scale_rgb(c, 1.0f - 0.5f * shadow);
                }
            }
        }
    }
    return quantize(canvas);
}

// ---------------------------------------------------------------- grass ----

namespace {

struct Blade {
    float base_u;      // centre of the blade's foot
    float half_width;  // at the foot
    float tip_v;       // where it ends (smaller v is higher)
    float lean;        // sideways offset of the tip
    Color foot, tip;
};

std::vector<Blade> grow_blades(int count, uint32_t seed)
{
    Rng rng(seed);
    std::vector<Blade> blades;
    for (int i = 0; i < count; ++i) {
        Blade b{};
        const float slot = (static_cast<float>(i) + 0.5f) / static_cast<float>(count);
        b.base_u = 0.2f + 0.6f * slot + rng.range(-0.03f, 0.03f);
        b.half_width = rng.range(0.03f, 0.05f);
        // The middle blade is the tallest and reaches the top of the quad.
        b.tip_v = i == count / 2 ? kGrassTipV : rng.range(0.08f, 0.4f);
        const float outward = (slot - 0.5f) * 0.35f;
        b.lean = outward + rng.range(-0.08f, 0.08f);
        const float tint = rng.range(-0.04f, 0.04f);
        b.foot = {0.06f + tint, 0.14f + tint, 0.04f};
        b.tip = {0.30f + 2.0f * tint, 0.45f + tint, 0.15f};
        blades.push_back(b);
    }
    return blades;
}

void paint_blade(Canvas& canvas, const Blade& b)
{
    const float n = static_cast<float>(canvas.size);
    for (int y = 0; y < canvas.size; ++y) {
        const float v = canvas.v(y);
        if (v < b.tip_v) {
            continue;
        }
        const float s = (1.0f - v) / (1.0f - b.tip_v);  // 0 at the foot, 1 at the tip
        const float centre = b.base_u + b.lean * std::pow(s, 1.7f);
        const float half_width = b.half_width * std::pow(1.0f - s, 0.9f);
        for (int x = 0; x < canvas.size; ++x) {
            const float offset = canvas.u(x) - centre;
            const float coverage = clamp01((half_width - std::abs(offset)) * n + 0.5f);
            if (coverage <= 0.0f) {
                continue;
            }
            // Folded along the midrib: one half catches more light.
            const float fold = offset < 0.0f ? 1.0f : 0.78f;
            const Color lit = scale_rgb(mix(b.foot, b.tip, std::pow(s, 0.8f)), fold);
            // "Over" with straight alpha: a texel the blade covers partly
            // still takes the blade's full colour, not a blend with the empty
            // background.
            Color& c = canvas.at(x, y);
            const float alpha = coverage + c.a * (1.0f - coverage);
            const float below = c.a * (1.0f - coverage) / alpha;
            c = mix(lit, c, below);
            c.a = alpha;
        }
    }
}

// Gives transparent texels the colour of the nearest blades, so bilinear
// filtering at a blade's edge does not pull in black.
void bleed_colour(Canvas& canvas)
{
    const int n = canvas.size;
    std::vector<bool> known(canvas.pixels.size());
    for (size_t i = 0; i < known.size(); ++i) {
        known[i] = canvas.pixels[i].a > 0.0f;
    }
    for (int round = 0; round < n; ++round) {
        std::vector<size_t> filled;
        std::vector<Color> colours;
        for (int y = 0; y < n; ++y) {
            for (int x = 0; x < n; ++x) {
                const size_t i = static_cast<size_t>(y) * n + x;
                if (known[i]) {
                    continue;
                }
                Color sum{0, 0, 0, 0};
                int count = 0;
                for (int dy = -1; dy <= 1; ++dy) {
                    for (int dx = -1; dx <= 1; ++dx) {
                        const size_t j =
                            static_cast<size_t>((y + dy + n) % n) * n + (x + dx + n) % n;
                        if (known[j]) {
                            sum.r += canvas.pixels[j].r;
                            sum.g += canvas.pixels[j].g;
                            sum.b += canvas.pixels[j].b;
                            ++count;
                        }
                    }
                }
                if (count > 0) {
                    const float k = 1.0f / static_cast<float>(count);
                    filled.push_back(i);
                    colours.push_back({sum.r * k, sum.g * k, sum.b * k, 0.0f});
                }
            }
        }
        if (filled.empty()) {
            break;
        }
        for (size_t k = 0; k < filled.size(); ++k) {
            canvas.pixels[filled[k]] = colours[k];
            known[filled[k]] = true;
        }
    }
}

}  // namespace

Image paint_grass(int size)
{
    Canvas canvas(size);
    for (Color& c : canvas.pixels) {
        c = {0.0f, 0.0f, 0.0f, 0.0f};
    }
    for (const Blade& blade : grow_blades(9, 41)) {
        paint_blade(canvas, blade);
    }
    bleed_colour(canvas);
    return quantize(canvas);
}

// ---------------------------------------------------------------- files ----

std::vector<uint8_t> make_texture_file(const TextureAsset& asset)
{
    return encode_dds(mip_chain(asset.paint(asset.size), asset.alpha_test), asset.format);
}

}  // namespace assets
