// Builds DDS files in memory for the loader's tests: a header with the given
// dimensions, mip count and pixel format, followed by the caller's data.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <vector>

namespace dds_files {

struct PixelFormat {
    uint32_t flags;
    uint32_t four_cc;
    uint32_t bits;
    uint32_t red, green, blue, alpha;
};

constexpr uint32_t code(char a, char b, char c, char d)
{
    return uint32_t{static_cast<uint8_t>(a)} | uint32_t{static_cast<uint8_t>(b)} << 8 |
           uint32_t{static_cast<uint8_t>(c)} << 16 | uint32_t{static_cast<uint8_t>(d)} << 24;
}

// Pixel-format flags: alpha pixels, alpha only, FourCC, RGB, YUV, luminance.
constexpr uint32_t kAlphaPixels = 0x1;
constexpr uint32_t kAlphaOnly = 0x2;
constexpr uint32_t kFourCc = 0x4;
constexpr uint32_t kRgb = 0x40;
constexpr uint32_t kYuv = 0x200;
constexpr uint32_t kLuminance = 0x20000;

constexpr PixelFormat kDxt1{kFourCc, code('D', 'X', 'T', '1'), 0, 0, 0, 0, 0};
constexpr PixelFormat kDxt3{kFourCc, code('D', 'X', 'T', '3'), 0, 0, 0, 0, 0};
constexpr PixelFormat kDxt5{kFourCc, code('D', 'X', 'T', '5'), 0, 0, 0, 0, 0};
constexpr PixelFormat kA8R8G8B8{kRgb | kAlphaPixels, 0, 32, 0xff0000, 0xff00, 0xff, 0xff000000};
constexpr PixelFormat kX8R8G8B8{kRgb, 0, 32, 0xff0000, 0xff00, 0xff, 0};
constexpr PixelFormat kA8B8G8R8{kRgb | kAlphaPixels, 0, 32, 0xff, 0xff00, 0xff0000, 0xff000000};
constexpr PixelFormat kX8B8G8R8{kRgb, 0, 32, 0xff, 0xff00, 0xff0000, 0};
constexpr PixelFormat kR8G8B8{kRgb, 0, 24, 0xff0000, 0xff00, 0xff, 0};
constexpr PixelFormat kR5G6B5{kRgb, 0, 16, 0xf800, 0x7e0, 0x1f, 0};
constexpr PixelFormat kA1R5G5B5{kRgb | kAlphaPixels, 0, 16, 0x7c00, 0x3e0, 0x1f, 0x8000};
constexpr PixelFormat kX1R5G5B5{kRgb, 0, 16, 0x7c00, 0x3e0, 0x1f, 0};
constexpr PixelFormat kA4R4G4B4{kRgb | kAlphaPixels, 0, 16, 0xf00, 0xf0, 0xf, 0xf000};
constexpr PixelFormat kX4R4G4B4{kRgb, 0, 16, 0xf00, 0xf0, 0xf, 0};
constexpr PixelFormat kL8{kLuminance, 0, 8, 0xff, 0, 0, 0};
constexpr PixelFormat kA8L8{kLuminance | kAlphaPixels, 0, 16, 0xff, 0, 0, 0xff00};
constexpr PixelFormat kA8{kAlphaOnly, 0, 8, 0, 0, 0, 0xff};

// Header byte offsets the tests corrupt on purpose.
constexpr size_t kHeaderSizeOffset = 4;
constexpr size_t kFlagsOffset = 8;
constexpr size_t kHeightOffset = 12;
constexpr size_t kWidthOffset = 16;
constexpr size_t kDepthOffset = 24;
constexpr size_t kMipCountOffset = 28;
constexpr size_t kPixelFormatSizeOffset = 76;
constexpr size_t kCaps2Offset = 112;

inline void put_u32(std::vector<uint8_t>& bytes, size_t offset, uint32_t value)
{
    for (size_t i = 0; i < 4; ++i) {
        bytes[offset + i] = static_cast<uint8_t>(value >> (8 * i));
    }
}

// The 128-byte header. mip_count 0 leaves the mip-count flag clear.
inline std::vector<uint8_t> header(uint32_t width, uint32_t height, uint32_t mip_count,
                                   const PixelFormat& format)
{
    std::vector<uint8_t> bytes(128, 0);
    put_u32(bytes, 0, code('D', 'D', 'S', ' '));
    put_u32(bytes, 4, 124);
    // caps, height, width, pixel format (+ mip-map count)
    put_u32(bytes, 8, 0x1 | 0x2 | 0x4 | 0x1000 | (mip_count > 0 ? 0x20000u : 0u));
    put_u32(bytes, 12, height);
    put_u32(bytes, 16, width);
    put_u32(bytes, 28, mip_count);
    put_u32(bytes, 76, 32);
    put_u32(bytes, 80, format.flags);
    put_u32(bytes, 84, format.four_cc);
    put_u32(bytes, 88, format.bits);
    put_u32(bytes, 92, format.red);
    put_u32(bytes, 96, format.green);
    put_u32(bytes, 100, format.blue);
    put_u32(bytes, 104, format.alpha);
    put_u32(bytes, 108, 0x1000);  // DDSCAPS_TEXTURE
    return bytes;
}

inline std::vector<uint8_t> file(uint32_t width, uint32_t height, uint32_t mip_count,
                                 const PixelFormat& format, const std::vector<uint8_t>& data)
{
    std::vector<uint8_t> bytes = header(width, height, mip_count, format);
    bytes.resize(bytes.size() + data.size());
    std::copy(data.begin(), data.end(), bytes.end() - static_cast<std::ptrdiff_t>(data.size()));
    return bytes;
}

// Little-endian bytes of 16- and 32-bit words, for pixel data.
inline std::vector<uint8_t> words16(std::initializer_list<uint16_t> words)
{
    std::vector<uint8_t> bytes;
    for (uint16_t w : words) {
        bytes.push_back(static_cast<uint8_t>(w));
        bytes.push_back(static_cast<uint8_t>(w >> 8));
    }
    return bytes;
}

inline std::vector<uint8_t> words32(std::initializer_list<uint32_t> words)
{
    std::vector<uint8_t> bytes;
    for (uint32_t w : words) {
        for (int i = 0; i < 4; ++i) {
            bytes.push_back(static_cast<uint8_t>(w >> (8 * i)));
        }
    }
    return bytes;
}

}  // namespace dds_files
