#include "dds_writer.h"

#include <stb/stb_dxt.h>

#include <algorithm>
#include <array>
#include <stdexcept>

namespace assets {

namespace {

uint32_t block_bytes(DdsFormat format)
{
    return format == DdsFormat::Dxt1 ? 8u : 16u;
}

void put_u32(std::vector<uint8_t>& out, uint32_t value)
{
    for (int shift = 0; shift < 32; shift += 8) {
        out.push_back(static_cast<uint8_t>(value >> shift));
    }
}

void put_header(std::vector<uint8_t>& out, int size, int levels, DdsFormat format)
{
    const uint32_t side = static_cast<uint32_t>(size);
    put_u32(out, kDdsMagic);
    put_u32(out, kDdsHeaderSize);
    put_u32(out, kDdsdCaps | kDdsdHeight | kDdsdWidth | kDdsdPixelFormat | kDdsdMipMapCount |
                     kDdsdLinearSize);
    put_u32(out, side);                           // dwHeight
    put_u32(out, side);                           // dwWidth
    put_u32(out, dds_level_bytes(size, format));  // dwPitchOrLinearSize: the top level
    put_u32(out, 0);                              // dwDepth
    put_u32(out, static_cast<uint32_t>(levels));  // dwMipMapCount
    for (int i = 0; i < 11; ++i) {
        put_u32(out, 0);  // dwReserved1
    }
    put_u32(out, kDdsPixelFormatSize);
    put_u32(out, kDdpfFourCC);
    put_u32(out,
            format == DdsFormat::Dxt1 ? four_cc('D', 'X', 'T', '1') : four_cc('D', 'X', 'T', '5'));
    for (int i = 0; i < 5; ++i) {
        put_u32(out, 0);  // bit count and the four channel masks: unused with a FourCC
    }
    put_u32(out, kDdsCapsComplex | kDdsCapsTexture | kDdsCapsMipMap);
    for (int i = 0; i < 4; ++i) {
        put_u32(out, 0);  // dwCaps2..4, dwReserved2
    }
}

// Levels smaller than a block repeat their edge texels to fill it.
std::array<uint8_t, 64> gather_block(const Image& image, int bx, int by)
{
    std::array<uint8_t, 64> block{};
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 4; ++x) {
            const Rgba& t = image.at(std::min(4 * bx + x, image.size - 1),
                                     std::min(4 * by + y, image.size - 1));
            const size_t o = static_cast<size_t>(4 * (4 * y + x));
            block[o + 0] = t.r;
            block[o + 1] = t.g;
            block[o + 2] = t.b;
            block[o + 3] = t.a;
        }
    }
    return block;
}

void put_level(std::vector<uint8_t>& out, const Image& image, DdsFormat format)
{
    const int blocks = std::max(1, (image.size + 3) / 4);
    const int with_alpha = format == DdsFormat::Dxt5 ? 1 : 0;
    std::array<uint8_t, 16> packed{};
    for (int by = 0; by < blocks; ++by) {
        for (int bx = 0; bx < blocks; ++bx) {
            const auto block = gather_block(image, bx, by);
            stb_compress_dxt_block(packed.data(), block.data(), with_alpha, STB_DXT_HIGHQUAL);
            out.insert(out.end(), packed.begin(), packed.begin() + block_bytes(format));
        }
    }
}

}  // namespace

uint32_t dds_level_bytes(int size, DdsFormat format)
{
    const uint32_t blocks = static_cast<uint32_t>(std::max(1, (size + 3) / 4));
    return blocks * blocks * block_bytes(format);
}

std::vector<uint8_t> encode_dds(const std::vector<Image>& mips, DdsFormat format)
{
    if (mips.empty()) {
        throw std::invalid_argument("encode_dds: no image");
    }
    for (size_t level = 1; level < mips.size(); ++level) {
        if (mips[level].size != std::max(1, mips[level - 1].size / 2)) {
            throw std::invalid_argument("encode_dds: each mip level must halve the previous one");
        }
    }
    if (mips.back().size != 1) {
        throw std::invalid_argument("encode_dds: the mip chain must end at 1 x 1");
    }
    std::vector<uint8_t> out;
    put_header(out, mips.front().size, static_cast<int>(mips.size()), format);
    for (const Image& level : mips) {
        put_level(out, level, format);
    }
    return out;
}

}  // namespace assets
