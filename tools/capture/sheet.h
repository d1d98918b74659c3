// The contact sheet: frames spread over the show, shrunk into one image,
// each labelled with its time.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace capture {

struct Image {
    uint32_t width = 0;
    uint32_t height = 0;
    std::vector<uint8_t> rgba;  // top row first
};

class ContactSheet {
public:
    // A sheet of count tiles, tile_width wide, keeping the frames' aspect.
    ContactSheet(int count, uint32_t tile_width, uint32_t frame_width, uint32_t frame_height);

    // Shrinks one frame (frame_width x frame_height RGBA) into tile index
    // and writes label below its lower-left corner inside the tile.
    void place(int index, const uint8_t* frame, const std::string& label);

    const Image& image() const { return image_; }

private:
    int columns_;
    uint32_t tile_width_;
    uint32_t tile_height_;
    uint32_t frame_width_;
    uint32_t frame_height_;
    Image image_;
};

// The positions of count frames spread evenly over [from, to): the middle of
// each of count equal parts, on a 4-byte sample boundary.
std::vector<int64_t> spread_positions(int64_t from, int64_t to, int count);

// "m:ss.cc" for a music byte position (176400 bytes a second).
std::string format_time(int64_t bytes);

// Box-filters src (sw x sh) into the rectangle (x, y, w, h) of dst.
void shrink_into(const uint8_t* src, uint32_t sw, uint32_t sh, Image& dst, uint32_t x, uint32_t y,
                 uint32_t w, uint32_t h);

// Writes text with a 5x7 pixel font at (x, y), each font pixel scale x scale,
// white on a one-pixel dark shadow. Knows digits, ':' and '.'; other
// characters leave a gap.
void draw_text(Image& image, uint32_t x, uint32_t y, const std::string& text, uint32_t scale);

}  // namespace capture
