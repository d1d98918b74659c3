// Feeds arbitrary bytes to the DDS texture loader as both devices use it:
// dds::parse, then every level the file holds decoded to RGBA8 and, for a
// file without a mip chain, the rest of the chain box-filtered from it (the
// OpenGL device's create_texture and the Windows loader's
// upload_decoded_levels, less the upload). Besides the sanitizers' findings,
// the target stops on a parsed image that breaks the promises of dds.h.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <vector>

#include "host/common/dds/dds.h"

namespace {

void require(bool holds, const char* promise)
{
    if (!holds) {
        std::fprintf(stderr, "dds_fuzzer: broken promise: %s\n", promise);
        std::abort();
    }
}

bool inside(std::span<const uint8_t> part, std::span<const uint8_t> whole)
{
    return part.data() >= whole.data() && part.size() <= whole.size() &&
           part.data() - whole.data() <= static_cast<std::ptrdiff_t>(whole.size() - part.size());
}

// What dds.h promises of an image that parse accepted.
void check_image(const dds::Image& image, std::span<const uint8_t> file)
{
    require(image.width >= 1 && image.width <= dds::kMaxDimension, "width within 1..16384");
    require(image.height >= 1 && image.height <= dds::kMaxDimension, "height within 1..16384");
    require(image.level_count >= 1 &&
                image.level_count <= dds::full_chain_length(image.width, image.height),
            "level count within the image's full chain");
    const dds::FormatInfo& info = dds::format_info(image.format);
    const uint8_t* previous_end = file.data() + dds::kHeaderBytes;
    for (uint32_t i = 0; i < image.level_count; ++i) {
        const dds::Level& level = image.levels[i];
        require(level.width == dds::mip_dimension(image.width, i) &&
                    level.height == dds::mip_dimension(image.height, i),
                "level dimensions halve from the top level");
        require(level.bytes.size() == dds::level_size(image.format, level.width, level.height),
                "a level holds exactly level_size bytes");
        require(inside(level.bytes, file), "a level lies inside the file");
        require(level.bytes.data() == previous_end, "levels follow each other from the header");
        previous_end = level.bytes.data() + level.bytes.size();
        if (info.compressed) {
            // The Windows loader copies compressed levels as whole block rows.
            const size_t block_row = size_t{std::max(1u, (level.width + 3) / 4)} * info.unit_bytes;
            const size_t block_rows = std::max(1u, (level.height + 3) / 4);
            require(block_row * block_rows == level.bytes.size(),
                    "a compressed level is whole rows of blocks");
        }
    }
}

// Decodes one level twice, over different fill bytes: the results agree only
// when every byte of the RGBA8 image was written.
std::vector<uint8_t> decode_level(const dds::Image& image, uint32_t index)
{
    const dds::Level& level = image.levels[index];
    const size_t bytes = dds::rgba8_size(level.width, level.height);
    std::vector<uint8_t> over_zero(bytes, 0x00);
    std::vector<uint8_t> over_ones(bytes, 0xff);
    dds::decode_rgba8(image.format, level, over_zero);
    dds::decode_rgba8(image.format, level, over_ones);
    require(over_zero == over_ones, "decoding writes every pixel of the level");
    return over_zero;
}

// The levels a device makes of the image: the file's own, else a full chain.
void load_levels(const dds::Image& image)
{
    const uint32_t levels = image.level_count > 1
                                ? image.level_count
                                : dds::full_chain_length(image.width, image.height);
    std::vector<uint8_t> pixels;
    for (uint32_t i = 0; i < levels; ++i) {
        if (i < image.level_count) {
            pixels = decode_level(image, i);
            continue;
        }
        const uint32_t width = dds::mip_dimension(image.width, i - 1);
        const uint32_t height = dds::mip_dimension(image.height, i - 1);
        std::vector<uint8_t> next(
            dds::rgba8_size(dds::mip_dimension(width, 1), dds::mip_dimension(height, 1)));
        dds::downsample_rgba8(pixels, width, height, next);
        pixels.swap(next);
    }
    require(pixels.size() == dds::rgba8_size(dds::mip_dimension(image.width, levels - 1),
                                             dds::mip_dimension(image.height, levels - 1)),
            "the chain ends at the last level's size");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::span<const uint8_t> file(data, size);
    const dds::ParseResult parsed = dds::parse(file);
    if (!parsed.ok) {
        require(!parsed.error.empty(), "a refused file has a reason");
        return 0;
    }
    require(parsed.error.empty(), "an accepted file has no reason");
    check_image(parsed.image, file);
    load_levels(parsed.image);
    return 0;
}
