// dds-uncompressed: rewrites a DDS texture as uncompressed A8R8G8B8, every
// mip level decoded, or only the first with --single-level. The Wine tests
// load such files with D3DX and with our own reader, whose path for them
// (decoding, and building the mip chain of a single image) the demo's DXT
// textures never take.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "host/common/dds/dds.h"

namespace {

constexpr const char* kUsage =
    "usage: dds-uncompressed [--single-level] IN.dds OUT.dds\n"
    "Writes IN.dds as an uncompressed A8R8G8B8 DDS file: all of its mip levels,\n"
    "or with --single-level only the largest.\n";

void put32(std::vector<uint8_t>& out, uint32_t value)
{
    for (int shift = 0; shift < 32; shift += 8) {
        out.push_back(static_cast<uint8_t>(value >> shift));
    }
}

// Magic and the 124-byte header of an A8R8G8B8 texture of `levels` mip levels.
std::vector<uint8_t> header(uint32_t width, uint32_t height, uint32_t levels)
{
    constexpr uint32_t kCaps = 0x1, kHeight = 0x2, kWidth = 0x4, kPitch = 0x8;
    constexpr uint32_t kPixelFormat = 0x1000, kMipMapCount = 0x20000;
    constexpr uint32_t kAlphaPixels = 0x1, kRgb = 0x40;
    constexpr uint32_t kTexture = 0x1000, kComplex = 0x8, kMipMap = 0x400000;
    const bool mipmapped = levels > 1;

    std::vector<uint8_t> out = {'D', 'D', 'S', ' '};
    put32(out, 124);
    put32(out, kCaps | kHeight | kWidth | kPitch | kPixelFormat | (mipmapped ? kMipMapCount : 0));
    put32(out, height);
    put32(out, width);
    put32(out, width * 4);  // pitch
    put32(out, 0);          // depth
    put32(out, mipmapped ? levels : 0);
    for (int i = 0; i < 11; ++i) {
        put32(out, 0);
    }
    put32(out, 32);  // pixel format size
    put32(out, kRgb | kAlphaPixels);
    put32(out, 0);  // no FourCC
    put32(out, 32);
    put32(out, 0x00FF0000);
    put32(out, 0x0000FF00);
    put32(out, 0x000000FF);
    put32(out, 0xFF000000);
    put32(out, kTexture | (mipmapped ? kComplex | kMipMap : 0));
    for (int i = 0; i < 4; ++i) {
        put32(out, 0);  // caps 2-4, reserved
    }
    return out;
}

}  // namespace

int main(int argc, char** argv)
{
    bool single_level = false;
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (arg == "--single-level") {
            single_level = true;
        } else {
            files.push_back(arg);
        }
    }
    if (files.size() != 2) {
        std::fputs(kUsage, stderr);
        return 2;
    }

    std::ifstream in(files[0], std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "dds-uncompressed: %s: cannot open the file\n", files[0].c_str());
        return 1;
    }
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                     std::istreambuf_iterator<char>());
    const dds::ParseResult parsed = dds::parse(bytes);
    if (!parsed.ok) {
        std::fprintf(stderr, "dds-uncompressed: %s: %s\n", files[0].c_str(), parsed.error.c_str());
        return 1;
    }
    const dds::Image& image = parsed.image;
    const uint32_t levels = single_level ? 1 : image.level_count;

    std::vector<uint8_t> out = header(image.width, image.height, levels);
    std::vector<uint8_t> rgba;
    for (uint32_t i = 0; i < levels; ++i) {
        const dds::Level& level = image.levels[i];
        rgba.resize(dds::rgba8_size(level.width, level.height));
        dds::decode_rgba8(image.format, level, rgba);
        for (size_t p = 0; p < rgba.size(); p += 4) {
            // A8R8G8B8 lies in memory as B, G, R, A.
            out.insert(out.end(), {rgba[p + 2], rgba[p + 1], rgba[p], rgba[p + 3]});
        }
    }

    std::ofstream file(files[1], std::ios::binary);
    file.write(reinterpret_cast<const char*>(out.data()), static_cast<std::streamsize>(out.size()));
    if (!file) {
        std::fprintf(stderr, "dds-uncompressed: %s: cannot write the file\n", files[1].c_str());
        return 1;
    }
    return 0;
}
