#include "tools/capture/sheet.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace capture {

namespace {

constexpr uint32_t kGap = 4;
constexpr uint8_t kBackground = 24;

// 5x7 glyphs, one byte a row, bit 4 the leftmost pixel.
struct Glyph {
    char character;
    uint8_t rows[7];
};

constexpr Glyph kFont[] = {
    {'0', {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}},
    {'1', {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E}},
    {'2', {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}},
    {'3', {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E}},
    {'4', {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}},
    {'5', {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E}},
    {'6', {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}},
    {'7', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08}},
    {'8', {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E}},
    {'9', {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C}},
    {':', {0x00, 0x0C, 0x0C, 0x00, 0x0C, 0x0C, 0x00}},
    {'.', {0x00, 0x00, 0x00, 0x00, 0x00, 0x0C, 0x0C}},
};

const Glyph* find_glyph(char c)
{
    for (const Glyph& glyph : kFont) {
        if (glyph.character == c)
            return &glyph;
    }
    return nullptr;
}

void fill_block(Image& image, uint32_t x, uint32_t y, uint32_t size, uint8_t value)
{
    for (uint32_t row = y; row < std::min(y + size, image.height); ++row) {
        for (uint32_t col = x; col < std::min(x + size, image.width); ++col) {
            uint8_t* p = &image.rgba[(static_cast<size_t>(row) * image.width + col) * 4];
            p[0] = p[1] = p[2] = value;
            p[3] = 255;
        }
    }
}

}  // namespace

ContactSheet::ContactSheet(int count, uint32_t tile_width, uint32_t frame_width,
                           uint32_t frame_height)
    : columns_(static_cast<int>(std::ceil(std::sqrt(static_cast<double>(count))))),
      tile_width_(tile_width),
      tile_height_(static_cast<uint32_t>(
          std::lround(static_cast<double>(tile_width) * frame_height / frame_width))),
      frame_width_(frame_width),
      frame_height_(frame_height)
{
    const auto columns = static_cast<uint32_t>(columns_);
    const auto rows = static_cast<uint32_t>((count + columns_ - 1) / columns_);
    image_.width = columns * tile_width_ + (columns + 1) * kGap;
    image_.height = rows * tile_height_ + (rows + 1) * kGap;
    image_.rgba.assign(static_cast<size_t>(image_.width) * image_.height * 4, kBackground);
    for (size_t i = 3; i < image_.rgba.size(); i += 4)
        image_.rgba[i] = 255;
}

void ContactSheet::place(int index, const uint8_t* frame, const std::string& label)
{
    const auto column = static_cast<uint32_t>(index % columns_);
    const auto row = static_cast<uint32_t>(index / columns_);
    const uint32_t x = kGap + column * (tile_width_ + kGap);
    const uint32_t y = kGap + row * (tile_height_ + kGap);
    shrink_into(frame, frame_width_, frame_height_, image_, x, y, tile_width_, tile_height_);
    const uint32_t scale = std::max(1u, tile_width_ / 160);
    draw_text(image_, x + 2 * scale, y + tile_height_ - 9 * scale, label, scale);
}

std::vector<int64_t> spread_positions(int64_t from, int64_t to, int count)
{
    std::vector<int64_t> positions;
    for (int i = 0; i < count; ++i) {
        const int64_t middle = from + (to - from) * (2 * i + 1) / (2 * count);
        positions.push_back(middle - middle % 4);
    }
    return positions;
}

std::string format_time(int64_t bytes)
{
    const int64_t centiseconds = bytes * 100 / 176400;
    char text[32];
    std::snprintf(text, sizeof text, "%lld:%02lld.%02lld",
                  static_cast<long long>(centiseconds / 6000),
                  static_cast<long long>(centiseconds / 100 % 60),
                  static_cast<long long>(centiseconds % 100));
    return text;
}

void shrink_into(const uint8_t* src, uint32_t sw, uint32_t sh, Image& dst, uint32_t x, uint32_t y,
                 uint32_t w, uint32_t h)
{
    for (uint32_t dy = 0; dy < h; ++dy) {
        const uint32_t y0 = static_cast<uint32_t>(static_cast<uint64_t>(dy) * sh / h);
        const uint32_t y1 =
            std::max(y0 + 1, static_cast<uint32_t>(static_cast<uint64_t>(dy + 1) * sh / h));
        for (uint32_t dx = 0; dx < w; ++dx) {
            const uint32_t x0 = static_cast<uint32_t>(static_cast<uint64_t>(dx) * sw / w);
            const uint32_t x1 =
                std::max(x0 + 1, static_cast<uint32_t>(static_cast<uint64_t>(dx + 1) * sw / w));
            uint32_t sum[4] = {0, 0, 0, 0};
            for (uint32_t sy = y0; sy < y1; ++sy) {
                const uint8_t* p = src + (static_cast<size_t>(sy) * sw + x0) * 4;
                for (uint32_t sx = x0; sx < x1; ++sx, p += 4) {
                    for (int c = 0; c < 4; ++c)
                        sum[c] += p[c];
                }
            }
            const uint32_t area = (x1 - x0) * (y1 - y0);
            uint8_t* out = &dst.rgba[(static_cast<size_t>(y + dy) * dst.width + x + dx) * 4];
            for (int c = 0; c < 4; ++c) {
                out[c] = static_cast<uint8_t>((sum[c] + area / 2) / area);
            }
        }
    }
}

void draw_text(Image& image, uint32_t x, uint32_t y, const std::string& text, uint32_t scale)
{
    for (int pass = 0; pass < 2; ++pass) {
        // The shadow first, one font pixel down and right; then the text.
        const uint32_t offset = pass == 0 ? scale : 0;
        const uint8_t value = pass == 0 ? 0 : 255;
        uint32_t pen = x;
        for (char c : text) {
            if (const Glyph* glyph = find_glyph(c)) {
                for (uint32_t row = 0; row < 7; ++row) {
                    for (uint32_t col = 0; col < 5; ++col) {
                        if (glyph->rows[row] & (0x10 >> col)) {
                            fill_block(image, pen + col * scale + offset, y + row * scale + offset,
                                       scale, value);
                        }
                    }
                }
            }
            pen += 6 * scale;
        }
    }
}

}  // namespace capture
