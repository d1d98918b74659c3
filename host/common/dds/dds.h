// DDS (DirectDraw Surface) texture files: parsing and validation from a byte
// buffer, conversion of every supported format to RGBA8, and the box filter
// that builds a mip chain for files that carry none. Plain C++ with no
// graphics API, so both hosts load the demo's textures through it: the Linux
// device uploads the result to OpenGL, the Windows host to a Direct3D 9
// texture when D3DX is not installed.
//
// Layout of a file: the magic "DDS ", a 124-byte header, then the mip levels
// one after another, largest first, with rows packed tightly (blocks of 4 x 4
// pixels for the DXT formats). The pitch / linear-size field of the header is
// not used: writers disagree on it, and every level size follows from the
// dimensions and the format.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace dds {

enum class Format : uint8_t {
    dxt1,
    dxt3,
    dxt5,
    a8r8g8b8,
    x8r8g8b8,
    a8b8g8r8,
    x8b8g8r8,
    r8g8b8,
    r5g6b5,
    a1r5g5b5,
    x1r5g5b5,
    a4r4g4b4,
    x4r4g4b4,
    l8,
    a8l8,
    a8,
};

struct FormatInfo {
    const char* name;     // the Direct3D name without its prefix: "DXT1", "A8R8G8B8"
    uint32_t d3d_format;  // its D3DFORMAT value
    bool compressed;      // stored in 4 x 4 blocks
    uint32_t unit_bytes;  // bytes per block when compressed, else per pixel
};

const FormatInfo& format_info(Format format);

// The largest width or height accepted (Direct3D 9 hardware stops at 4096
// or 8192), and so the longest mip chain: 16384 down to 1 is 15 levels.
inline constexpr uint32_t kMaxDimension = 16384;
inline constexpr uint32_t kMaxLevels = 15;

// The header is 124 bytes after the 4-byte magic.
inline constexpr size_t kHeaderBytes = 128;

struct Level {
    uint32_t width;
    uint32_t height;
    std::span<const uint8_t> bytes;  // exactly level_size() bytes of the file
};

struct Image {
    Format format;
    uint32_t width;
    uint32_t height;
    uint32_t level_count;  // 1 when the file carries no mip chain
    std::array<Level, kMaxLevels> levels;
};

struct ParseResult {
    bool ok = false;
    Image image{};
    std::string error;  // why the file was refused, when !ok
};

// Validates a whole file held in memory. The levels of the result point into
// `file`, which must outlive them. Every size is checked against the file's
// length before a byte of pixel data is looked at; data after the last level
// is ignored.
ParseResult parse(std::span<const uint8_t> file);

// Bytes of one level of the given dimensions.
uint64_t level_size(Format format, uint32_t width, uint32_t height);

// Dimension of mip level `level` of a side of `size` pixels.
inline uint32_t mip_dimension(uint32_t size, uint32_t level)
{
    return std::max(1u, size >> level);
}

// Number of levels from width x height down to 1 x 1.
uint32_t full_chain_length(uint32_t width, uint32_t height);

// Bytes of a width x height RGBA8 image.
inline size_t rgba8_size(uint32_t width, uint32_t height)
{
    return size_t{width} * height * 4;
}

// Writes the level as RGBA8 (bytes R, G, B, A; rows top first, packed) into
// `rgba`, which holds at least rgba8_size(level.width, level.height) bytes.
// Formats without alpha give 255; A8 gives black with its alpha, as Direct3D
// samples it. 5- and 6-bit channels widen by bit replication (31 -> 255).
void decode_rgba8(Format format, const Level& level, std::span<uint8_t> rgba);

// Box-filters an RGBA8 image into the next mip level, of
// mip_dimension(width, 1) x mip_dimension(height, 1) pixels: each pixel is the
// rounded mean of a 2 x 2 block (of the pixel itself where a side is 1).
void downsample_rgba8(std::span<const uint8_t> source, uint32_t width, uint32_t height,
                      std::span<uint8_t> destination);

}  // namespace dds
