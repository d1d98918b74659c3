#pragma once
// DirectDraw Surface files: the 128-byte header (magic + DDS_HEADER) followed
// by every mip level, compressed with stb_dxt.

#include <cstdint>
#include <vector>

#include "image.h"

namespace assets {

enum class DdsFormat {
    Dxt1,  // opaque colour, 8 bytes per 4 x 4 block
    Dxt5,  // colour plus interpolated alpha, 16 bytes per block
};

inline constexpr uint32_t kDdsMagic = 0x20534444;  // "DDS "
inline constexpr uint32_t kDdsHeaderSize = 124;
inline constexpr uint32_t kDdsPixelFormatSize = 32;

// DDS_HEADER.dwFlags
inline constexpr uint32_t kDdsdCaps = 0x1;
inline constexpr uint32_t kDdsdHeight = 0x2;
inline constexpr uint32_t kDdsdWidth = 0x4;
inline constexpr uint32_t kDdsdPixelFormat = 0x1000;
inline constexpr uint32_t kDdsdMipMapCount = 0x20000;
inline constexpr uint32_t kDdsdLinearSize = 0x80000;
// DDS_PIXELFORMAT.dwFlags
inline constexpr uint32_t kDdpfFourCC = 0x4;
// DDS_HEADER.dwCaps
inline constexpr uint32_t kDdsCapsComplex = 0x8;
inline constexpr uint32_t kDdsCapsTexture = 0x1000;
inline constexpr uint32_t kDdsCapsMipMap = 0x400000;

constexpr uint32_t four_cc(char a, char b, char c, char d)
{
    return static_cast<uint32_t>(static_cast<uint8_t>(a)) |
           static_cast<uint32_t>(static_cast<uint8_t>(b)) << 8 |
           static_cast<uint32_t>(static_cast<uint8_t>(c)) << 16 |
           static_cast<uint32_t>(static_cast<uint8_t>(d)) << 24;
}

// Bytes of one compressed level of side `size` (at least one block).
uint32_t dds_level_bytes(int size, DdsFormat format);

// A whole file: `mips` runs from the full-size square down to 1 x 1.
std::vector<uint8_t> encode_dds(const std::vector<Image>& mips, DdsFormat format);

}  // namespace assets
