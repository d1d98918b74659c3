#include "host/common/dds/dds.h"

#include <bit>
#include <cstdio>
#include <cstring>
#include <iterator>

namespace dds {
namespace {

// Header fields, by byte offset from the start of the file.
constexpr size_t kMagic = 0;
constexpr size_t kHeaderSize = 4;
constexpr size_t kFlags = 8;
constexpr size_t kHeight = 12;
constexpr size_t kWidth = 16;
constexpr size_t kDepth = 24;
constexpr size_t kMipMapCount = 28;
constexpr size_t kPixelFormatSize = 76;
constexpr size_t kPixelFormatFlags = 80;
constexpr size_t kFourCc = 84;
constexpr size_t kRgbBitCount = 88;
constexpr size_t kRedMask = 92;
constexpr size_t kGreenMask = 96;
constexpr size_t kBlueMask = 100;
constexpr size_t kAlphaMask = 104;
constexpr size_t kCaps2 = 112;

// Header flags.
constexpr uint32_t kFlagMipMapCount = 0x20000;
constexpr uint32_t kFlagDepth = 0x800000;

// Pixel-format flags.
constexpr uint32_t kPfAlphaPixels = 0x1;
constexpr uint32_t kPfAlpha = 0x2;
constexpr uint32_t kPfFourCc = 0x4;
constexpr uint32_t kPfRgb = 0x40;
constexpr uint32_t kPfYuv = 0x200;
constexpr uint32_t kPfLuminance = 0x20000;

// Caps2 flags.
constexpr uint32_t kCaps2Cubemap = 0x200;
constexpr uint32_t kCaps2Volume = 0x200000;

constexpr uint32_t four_cc(const char (&code)[5])
{
    return uint32_t{static_cast<uint8_t>(code[0])} | uint32_t{static_cast<uint8_t>(code[1])} << 8 |
           uint32_t{static_cast<uint8_t>(code[2])} << 16 |
           uint32_t{static_cast<uint8_t>(code[3])} << 24;
}

constexpr FormatInfo kFormats[] = {
    // name, D3DFORMAT, compressed, bytes per block or pixel
    {"DXT1", four_cc("DXT1"), true, 8},
    {"DXT3", four_cc("DXT3"), true, 16},
    {"DXT5", four_cc("DXT5"), true, 16},
    {"A8R8G8B8", 21, false, 4},
    {"X8R8G8B8", 22, false, 4},
    {"A8B8G8R8", 32, false, 4},
    {"X8B8G8R8", 33, false, 4},
    {"R8G8B8", 20, false, 3},
    {"R5G6B5", 23, false, 2},
    {"A1R5G5B5", 25, false, 2},
    {"X1R5G5B5", 24, false, 2},
    {"A4R4G4B4", 26, false, 2},
    {"X4R4G4B4", 30, false, 2},
    {"L8", 50, false, 1},
    {"A8L8", 51, false, 2},
    {"A8", 28, false, 1},
};
static_assert(std::size(kFormats) == static_cast<size_t>(Format::a8) + 1);

// Uncompressed layouts, recognised by their kind, bit count and channel
// masks. The alpha mask counts only when the file says it has alpha.
enum class Kind { rgb, luminance, alpha };

struct MaskedFormat {
    Kind kind;
    uint32_t bits;
    uint32_t red, green, blue, alpha;
    Format format;
};

constexpr MaskedFormat kMaskedFormats[] = {
    {Kind::rgb, 32, 0xff0000, 0xff00, 0xff, 0xff000000, Format::a8r8g8b8},
    {Kind::rgb, 32, 0xff0000, 0xff00, 0xff, 0, Format::x8r8g8b8},
    {Kind::rgb, 32, 0xff, 0xff00, 0xff0000, 0xff000000, Format::a8b8g8r8},
    {Kind::rgb, 32, 0xff, 0xff00, 0xff0000, 0, Format::x8b8g8r8},
    {Kind::rgb, 24, 0xff0000, 0xff00, 0xff, 0, Format::r8g8b8},
    {Kind::rgb, 16, 0xf800, 0x7e0, 0x1f, 0, Format::r5g6b5},
    {Kind::rgb, 16, 0x7c00, 0x3e0, 0x1f, 0x8000, Format::a1r5g5b5},
    {Kind::rgb, 16, 0x7c00, 0x3e0, 0x1f, 0, Format::x1r5g5b5},
    {Kind::rgb, 16, 0xf00, 0xf0, 0xf, 0xf000, Format::a4r4g4b4},
    {Kind::rgb, 16, 0xf00, 0xf0, 0xf, 0, Format::x4r4g4b4},
    {Kind::luminance, 8, 0xff, 0, 0, 0, Format::l8},
    {Kind::luminance, 16, 0xff, 0, 0, 0xff00, Format::a8l8},
    {Kind::alpha, 8, 0, 0, 0, 0xff, Format::a8},
};

uint32_t read_u32(std::span<const uint8_t> bytes, size_t offset)
{
    return uint32_t{bytes[offset]} | uint32_t{bytes[offset + 1]} << 8 |
           uint32_t{bytes[offset + 2]} << 16 | uint32_t{bytes[offset + 3]} << 24;
}

uint16_t read_u16(const uint8_t* bytes)
{
    return static_cast<uint16_t>(bytes[0] | bytes[1] << 8);
}

template <typename... Args>
std::string describe(const char* format, Args... args)
{
    char text[200];
    std::snprintf(text, sizeof text, format, args...);
    return text;
}

// FourCC codes as text, with anything unprintable shown as '?'.
std::string four_cc_text(uint32_t code)
{
    std::string text(4, '?');
    for (size_t i = 0; i < 4; ++i) {
        const auto c = static_cast<char>((code >> (8 * i)) & 0xff);
        if (c >= 0x20 && c < 0x7f) {
            text[i] = c;
        }
    }
    return text;
}

struct FormatMatch {
    bool ok;
    Format format;
    std::string error;
};

FormatMatch match_four_cc(uint32_t code)
{
    if (code == four_cc("DXT1")) {
        return {true, Format::dxt1, {}};
    }
    if (code == four_cc("DXT3")) {
        return {true, Format::dxt3, {}};
    }
    if (code == four_cc("DXT5")) {
        return {true, Format::dxt5, {}};
    }
    if (code == four_cc("DX10")) {
        return {false, {}, "the DX10 extended header is not supported"};
    }
    return {false, {}, describe("unsupported compressed format '%s'", four_cc_text(code).c_str())};
}

FormatMatch match_pixel_format(std::span<const uint8_t> file)
{
    const uint32_t flags = read_u32(file, kPixelFormatFlags);
    if (flags & kPfFourCc) {
        return match_four_cc(read_u32(file, kFourCc));
    }
    if (flags & kPfYuv) {
        return {false, {}, "YUV pixel formats are not supported"};
    }
    Kind kind;
    if (flags & kPfRgb) {
        kind = Kind::rgb;
    } else if (flags & kPfLuminance) {
        kind = Kind::luminance;
    } else if (flags & kPfAlpha) {
        kind = Kind::alpha;
    } else {
        return {false, {}, "the pixel format names no FourCC, RGB, luminance or alpha layout"};
    }
    const uint32_t bits = read_u32(file, kRgbBitCount);
    const uint32_t red = read_u32(file, kRedMask);
    const uint32_t green = read_u32(file, kGreenMask);
    const uint32_t blue = read_u32(file, kBlueMask);
    const bool has_alpha = kind == Kind::alpha || (flags & kPfAlphaPixels) != 0;
    const uint32_t alpha = has_alpha ? read_u32(file, kAlphaMask) : 0;
    for (const MaskedFormat& candidate : kMaskedFormats) {
        const bool colour_masks_match =
            kind == Kind::alpha ||
            (candidate.red == red && candidate.green == green && candidate.blue == blue);
        if (candidate.kind == kind && candidate.bits == bits && colour_masks_match &&
            candidate.alpha == alpha) {
            return {true, candidate.format, {}};
        }
    }
    return {false,
            {},
            describe("unsupported %u-bit pixel format (masks R %08x G %08x B %08x A %08x)", bits,
                     red, green, blue, alpha)};
}

ParseResult refuse(std::string reason)
{
    ParseResult result;
    result.error = std::move(reason);
    return result;
}

}  // namespace

const FormatInfo& format_info(Format format)
{
    return kFormats[static_cast<size_t>(format)];
}

uint64_t level_size(Format format, uint32_t width, uint32_t height)
{
    const FormatInfo& info = format_info(format);
    if (info.compressed) {
        const uint64_t blocks_wide = (uint64_t{width} + 3) / 4;
        const uint64_t blocks_high = (uint64_t{height} + 3) / 4;
        return blocks_wide * blocks_high * info.unit_bytes;
    }
    return uint64_t{width} * height * info.unit_bytes;
}

uint32_t full_chain_length(uint32_t width, uint32_t height)
{
    return static_cast<uint32_t>(std::bit_width(std::max({width, height, 1u})));
}

ParseResult parse(std::span<const uint8_t> file)
{
    if (file.empty()) {
        return refuse("the file is empty");
    }
    if (file.size() < kHeaderBytes) {
        return refuse(describe("the file is %zu bytes, too short for the %zu-byte DDS header",
                               file.size(), kHeaderBytes));
    }
    if (read_u32(file, kMagic) != four_cc("DDS ")) {
        return refuse("not a DDS file (it does not start with \"DDS \")");
    }
    if (const uint32_t size = read_u32(file, kHeaderSize); size != 124) {
        return refuse(describe("the header size field is %u, not 124", size));
    }
    if (const uint32_t size = read_u32(file, kPixelFormatSize); size != 32) {
        return refuse(describe("the pixel format size field is %u, not 32", size));
    }

    const uint32_t flags = read_u32(file, kFlags);
    const uint32_t width = read_u32(file, kWidth);
    const uint32_t height = read_u32(file, kHeight);
    if (width == 0 || height == 0) {
        return refuse(
            describe("the image is %u x %u pixels; both sides must be at least 1", width, height));
    }
    if (width > kMaxDimension || height > kMaxDimension) {
        return refuse(describe("the image is %u x %u pixels, larger than %u on a side", width,
                               height, kMaxDimension));
    }
    if (read_u32(file, kCaps2) & kCaps2Cubemap) {
        return refuse("cube maps are not supported");
    }
    if ((read_u32(file, kCaps2) & kCaps2Volume) ||
        ((flags & kFlagDepth) && read_u32(file, kDepth) > 1)) {
        return refuse("volume textures are not supported");
    }

    const FormatMatch match = match_pixel_format(file);
    if (!match.ok) {
        return refuse(match.error);
    }

    // A file without the mip-count flag holds one level, whatever the count
    // field says (Direct3D's own writer leaves it 0 then).
    const uint32_t stated_levels = read_u32(file, kMipMapCount);
    const uint32_t level_count =
        (flags & kFlagMipMapCount) && stated_levels > 0 ? stated_levels : 1;
    const uint32_t longest = full_chain_length(width, height);
    if (level_count > longest) {
        return refuse(describe("the header claims %u mip levels; a %u x %u image has at most %u",
                               level_count, width, height, longest));
    }

    const uint64_t available = file.size() - kHeaderBytes;
    uint64_t needed = 0;
    for (uint32_t i = 0; i < level_count; ++i) {
        needed += level_size(match.format, mip_dimension(width, i), mip_dimension(height, i));
    }
    if (needed > available) {
        return refuse(describe(
            "the file is truncated: %u level(s) of a %u x %u %s image need "
            "%llu bytes of data, the file holds %llu",
            level_count, width, height, format_info(match.format).name,
            static_cast<unsigned long long>(needed), static_cast<unsigned long long>(available)));
    }

    ParseResult result;
    result.ok = true;
    Image& image = result.image;
    image.format = match.format;
    image.width = width;
    image.height = height;
    image.level_count = level_count;
    size_t offset = kHeaderBytes;
    for (uint32_t i = 0; i < level_count; ++i) {
        Level& level = image.levels[i];
        level.width = mip_dimension(width, i);
        level.height = mip_dimension(height, i);
        const auto size = static_cast<size_t>(level_size(match.format, level.width, level.height));
        level.bytes = file.subspan(offset, size);
        offset += size;
    }
    return result;
}

// ---------------------------------------------------------------------------
// Decoding

namespace {

struct Rgba {
    uint8_t r, g, b, a;
};

// Widens an n-bit channel to 8 bits by repeating its top bits (31 -> 255).
constexpr uint8_t widen(uint32_t value, int bits)
{
    const uint32_t shifted = value << (8 - bits);
    return static_cast<uint8_t>(shifted | (shifted >> bits));
}

Rgba decode_565(uint16_t word)
{
    return {widen((word >> 11) & 0x1f, 5), widen((word >> 5) & 0x3f, 6), widen(word & 0x1f, 5),
            255};
}

Rgba decode_pixel(Format format, const uint8_t* p)
{
    switch (format) {
    case Format::a8r8g8b8:
        return {p[2], p[1], p[0], p[3]};
    case Format::x8r8g8b8:
        return {p[2], p[1], p[0], 255};
    case Format::a8b8g8r8:
        return {p[0], p[1], p[2], p[3]};
    case Format::x8b8g8r8:
        return {p[0], p[1], p[2], 255};
    case Format::r8g8b8:
        return {p[2], p[1], p[0], 255};
    case Format::r5g6b5:
        return decode_565(read_u16(p));
    case Format::a1r5g5b5:
    case Format::x1r5g5b5: {
        const uint16_t w = read_u16(p);
        const bool opaque = format == Format::x1r5g5b5 || (w & 0x8000) != 0;
        return {widen((w >> 10) & 0x1f, 5), widen((w >> 5) & 0x1f, 5), widen(w & 0x1f, 5),
                static_cast<uint8_t>(opaque ? 255 : 0)};
    }
    case Format::a4r4g4b4:
    case Format::x4r4g4b4: {
        const uint16_t w = read_u16(p);
        const uint8_t a = format == Format::x4r4g4b4 ? 255 : widen((w >> 12) & 0xf, 4);
        return {widen((w >> 8) & 0xf, 4), widen((w >> 4) & 0xf, 4), widen(w & 0xf, 4), a};
    }
    case Format::l8:
        return {p[0], p[0], p[0], 255};
    case Format::a8l8:
        return {p[0], p[0], p[0], p[1]};
    case Format::a8:
        return {0, 0, 0, p[0]};
    case Format::dxt1:
    case Format::dxt3:
    case Format::dxt5:
        break;
    }
    return {0, 0, 0, 0};
}

uint8_t mix(uint32_t a, uint32_t b, uint32_t weight_a, uint32_t weight_b)
{
    return static_cast<uint8_t>((a * weight_a + b * weight_b) / (weight_a + weight_b));
}

Rgba mix(Rgba a, Rgba b, uint32_t weight_a, uint32_t weight_b)
{
    return {mix(a.r, b.r, weight_a, weight_b), mix(a.g, b.g, weight_a, weight_b),
            mix(a.b, b.b, weight_a, weight_b), 255};
}

// The colour half of a DXT block: two 5:6:5 end points and sixteen 2-bit
// indices. DXT1 blocks whose first end point is not the larger hold three
// colours and transparent black; DXT3 and DXT5 always use four colours.
void decode_colour_block(const uint8_t* block, bool allow_transparent, Rgba (&out)[16])
{
    const uint16_t c0 = read_u16(block);
    const uint16_t c1 = read_u16(block + 2);
    Rgba palette[4] = {decode_565(c0), decode_565(c1)};
    if (c0 > c1 || !allow_transparent) {
        palette[2] = mix(palette[0], palette[1], 2, 1);
        palette[3] = mix(palette[0], palette[1], 1, 2);
    } else {
        palette[2] = mix(palette[0], palette[1], 1, 1);
        palette[3] = {0, 0, 0, 0};
    }
    for (int i = 0; i < 16; ++i) {
        const int index = (block[4 + i / 4] >> (2 * (i % 4))) & 3;
        out[i] = palette[index];
    }
}

// DXT3 alpha: sixteen explicit 4-bit values.
void decode_explicit_alpha(const uint8_t* block, Rgba (&out)[16])
{
    for (int i = 0; i < 16; ++i) {
        out[i].a = widen((block[i / 2] >> (4 * (i % 2))) & 0xf, 4);
    }
}

// DXT5 alpha: two end points and sixteen 3-bit indices into eight values
// (six between the end points when the first is larger, else four between
// them plus 0 and 255).
void decode_interpolated_alpha(const uint8_t* block, Rgba (&out)[16])
{
    const uint32_t a0 = block[0];
    const uint32_t a1 = block[1];
    uint8_t palette[8] = {static_cast<uint8_t>(a0), static_cast<uint8_t>(a1)};
    if (a0 > a1) {
        for (uint32_t i = 1; i < 7; ++i) {
            palette[i + 1] = mix(a0, a1, 7 - i, i);
        }
    } else {
        for (uint32_t i = 1; i < 5; ++i) {
            palette[i + 1] = mix(a0, a1, 5 - i, i);
        }
        palette[6] = 0;
        palette[7] = 255;
    }
    uint64_t bits = 0;
    for (int i = 0; i < 6; ++i) {
        bits |= uint64_t{block[2 + i]} << (8 * i);
    }
    for (int i = 0; i < 16; ++i) {
        out[i].a = palette[(bits >> (3 * i)) & 7];
    }
}

void decode_block(Format format, const uint8_t* block, Rgba (&out)[16])
{
    switch (format) {
    case Format::dxt1:
        decode_colour_block(block, true, out);
        break;
    case Format::dxt3:
        decode_colour_block(block + 8, false, out);
        decode_explicit_alpha(block, out);
        break;
    default:
        decode_colour_block(block + 8, false, out);
        decode_interpolated_alpha(block, out);
        break;
    }
}

void store(std::span<uint8_t> rgba, size_t pixel, Rgba value)
{
    uint8_t* p = &rgba[pixel * 4];
    p[0] = value.r;
    p[1] = value.g;
    p[2] = value.b;
    p[3] = value.a;
}

}  // namespace

void decode_rgba8(Format format, const Level& level, std::span<uint8_t> rgba)
{
    const FormatInfo& info = format_info(format);
    const uint32_t width = level.width;
    const uint32_t height = level.height;
    if (!info.compressed) {
        const uint8_t* p = level.bytes.data();
        for (size_t i = 0; i < size_t{width} * height; ++i, p += info.unit_bytes) {
            store(rgba, i, decode_pixel(format, p));
        }
        return;
    }
    const uint8_t* block = level.bytes.data();
    for (uint32_t by = 0; by < height; by += 4) {
        for (uint32_t bx = 0; bx < width; bx += 4, block += info.unit_bytes) {
            Rgba texels[16];
            decode_block(format, block, texels);
            // Blocks overhanging the right or bottom edge keep only their
            // texels inside the image.
            for (uint32_t y = by; y < std::min(by + 4, height); ++y) {
                for (uint32_t x = bx; x < std::min(bx + 4, width); ++x) {
                    store(rgba, size_t{y} * width + x, texels[(y - by) * 4 + (x - bx)]);
                }
            }
        }
    }
}

void downsample_rgba8(std::span<const uint8_t> source, uint32_t width, uint32_t height,
                      std::span<uint8_t> destination)
{
    const uint32_t out_width = mip_dimension(width, 1);
    const uint32_t out_height = mip_dimension(height, 1);
    for (uint32_t y = 0; y < out_height; ++y) {
        const size_t row0 = size_t{std::min(2 * y, height - 1)} * width;
        const size_t row1 = size_t{std::min(2 * y + 1, height - 1)} * width;
        for (uint32_t x = 0; x < out_width; ++x) {
            const size_t col0 = std::min(2 * x, width - 1);
            const size_t col1 = std::min(2 * x + 1, width - 1);
            for (size_t c = 0; c < 4; ++c) {
                const uint32_t sum = source[(row0 + col0) * 4 + c] + source[(row0 + col1) * 4 + c] +
                                     source[(row1 + col0) * 4 + c] + source[(row1 + col1) * 4 + c];
                destination[(size_t{y} * out_width + x) * 4 + c] =
                    static_cast<uint8_t>((sum + 2) / 4);
            }
        }
    }
}

}  // namespace dds
